// The kept clipboard in a Wayland session, through the data-control
// protocol of wlroots compositors (zwlr_data_control_manager_v1, the one
// wl-copy uses), which lets a program without a window own the selection.
// The protocol's interfaces are stated here, as the wayland-scanner would
// make them from its description.

#include "ClipboardServers.h"

#include <wayland-client.h>

#include <cerrno>
#include <cstring>
#include <thread>
#include <vector>

#include <poll.h>
#include <unistd.h>

namespace BPrivate {

namespace {

wl_interface sManager, sDevice, sSource, sOffer;

const wl_interface* sNoTypes[] = {nullptr, nullptr};
const wl_interface* sCreateSourceTypes[] = {&sSource};
const wl_interface* sGetDeviceTypes[] = {&sDevice, &wl_seat_interface};
const wl_interface* sSourceTypes[] = {&sSource};
const wl_interface* sOfferTypes[] = {&sOffer};

const wl_message sManagerRequests[] = {
    {"create_data_source", "n", sCreateSourceTypes},
    {"get_data_device", "no", sGetDeviceTypes},
    {"destroy", "", sNoTypes},
};
const wl_message sDeviceRequests[] = {
    {"set_selection", "?o", sSourceTypes},
    {"destroy", "", sNoTypes},
    {"set_primary_selection", "2?o", sSourceTypes},
};
const wl_message sDeviceEvents[] = {
    {"data_offer", "n", sOfferTypes},
    {"selection", "?o", sOfferTypes},
    {"finished", "", sNoTypes},
    {"primary_selection", "2?o", sOfferTypes},
};
const wl_message sSourceRequests[] = {
    {"offer", "s", sNoTypes},
    {"destroy", "", sNoTypes},
};
const wl_message sSourceEvents[] = {
    {"send", "sh", sNoTypes},
    {"cancelled", "", sNoTypes},
};
const wl_message sOfferRequests[] = {
    {"receive", "sh", sNoTypes},
    {"destroy", "", sNoTypes},
};
const wl_message sOfferEvents[] = {
    {"offer", "s", sNoTypes},
};

void describe_protocol()
{
    sManager = {"zwlr_data_control_manager_v1", 2, 3, sManagerRequests, 0, nullptr};
    sDevice = {"zwlr_data_control_device_v1", 2, 3, sDeviceRequests, 4, sDeviceEvents};
    sSource = {"zwlr_data_control_source_v1", 1, 2, sSourceRequests, 2, sSourceEvents};
    sOffer = {"zwlr_data_control_offer_v1", 1, 2, sOfferRequests, 1, sOfferEvents};
}

// Request numbers, in the order above.
enum {
    kCreateDataSource = 0,
    kGetDataDevice = 1,
    kSetSelection = 0,
    kDeviceDestroy = 1,
    kSourceOffer = 0,
    kSourceDestroy = 1,
    kOfferDestroy = 1,
};

void destroy(void* proxy, uint32_t opcode)
{
    auto* p = static_cast<wl_proxy*>(proxy);
    wl_proxy_marshal_flags(p, opcode, nullptr, wl_proxy_get_version(p), WL_MARSHAL_FLAG_DESTROY);
}

// Writes data to fd whole, however slowly the reader takes it, and closes it.
void write_all(int fd, const std::string* data)
{
    size_t done = 0;
    while (data && done < data->size()) {
        ssize_t wrote = write(fd, data->data() + done, data->size() - done);
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote <= 0)
            break;
        done += (size_t)wrote;
    }
    close(fd);
}

struct Keeper
{
    KeptPicture* picture = nullptr;
    wl_proxy* manager = nullptr;
    wl_seat* seat = nullptr;
    bool cancelled = false;
    std::vector<std::thread> writers;
};

void global(void* data, wl_registry* registry, uint32_t name, const char* interface,
            uint32_t version)
{
    auto* keeper = static_cast<Keeper*>(data);
    if (strcmp(interface, sManager.name) == 0 && !keeper->manager)
        keeper->manager = static_cast<wl_proxy*>(wl_registry_bind(registry, name, &sManager, 1));
    else if (strcmp(interface, wl_seat_interface.name) == 0 && !keeper->seat)
        keeper->seat =
            static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
}

void global_removed(void*, wl_registry*, uint32_t) {}

void source_send(void* data, wl_proxy*, const char* type, int32_t fd)
{
    auto* keeper = static_cast<Keeper*>(data);
    // What was made stays until every writer has ended.
    keeper->writers.emplace_back(write_all, fd, keeper->picture->Data(type));
}

void source_cancelled(void* data, wl_proxy*)
{
    static_cast<Keeper*>(data)->cancelled = true;
}

// Offers of other programs' selections are of no interest: they go at once.
void device_data_offer(void*, wl_proxy*, wl_proxy*) {}
void device_selection(void*, wl_proxy*, wl_proxy* offer)
{
    if (offer)
        destroy(offer, kOfferDestroy);
}
void device_finished(void* data, wl_proxy*)
{
    static_cast<Keeper*>(data)->cancelled = true;
}

struct SourceListener
{
    void (*send)(void*, wl_proxy*, const char*, int32_t);
    void (*cancelled)(void*, wl_proxy*);
};
struct DeviceListener
{
    void (*data_offer)(void*, wl_proxy*, wl_proxy*);
    void (*selection)(void*, wl_proxy*, wl_proxy*);
    void (*finished)(void*, wl_proxy*);
};

const SourceListener kSourceListener = {source_send, source_cancelled};
const DeviceListener kDeviceListener = {device_data_offer, device_selection, device_finished};

} // namespace

int serve_wayland_clipboard(KeptPicture* picture, const KeeperReport& report)
{
    describe_protocol();
    wl_display* display = wl_display_connect(nullptr);
    if (!display) {
        report(false);
        return 1;
    }
    Keeper keeper;
    keeper.picture = picture;
    wl_registry* registry = wl_display_get_registry(display);
    static const wl_registry_listener listener = {global, global_removed};
    wl_registry_add_listener(registry, &listener, &keeper);
    if (wl_display_roundtrip(display) < 0 || !keeper.manager || !keeper.seat) {
        wl_display_disconnect(display);
        report(false);
        return 1;
    }
    wl_proxy* device =
        wl_proxy_marshal_flags(keeper.manager, kGetDataDevice, &sDevice,
                               wl_proxy_get_version(keeper.manager), 0, nullptr, keeper.seat);
    wl_proxy_add_listener(device, (void (**)(void)) & kDeviceListener, &keeper);
    wl_proxy* source = wl_proxy_marshal_flags(keeper.manager, kCreateDataSource, &sSource,
                                              wl_proxy_get_version(keeper.manager), 0, nullptr);
    wl_proxy_add_listener(source, (void (**)(void)) & kSourceListener, &keeper);
    for (const std::string& type : picture->Types())
        wl_proxy_marshal_flags(source, kSourceOffer, nullptr, wl_proxy_get_version(source), 0,
                               type.c_str());
    wl_proxy_marshal_flags(device, kSetSelection, nullptr, wl_proxy_get_version(device), 0, source);
    if (wl_display_roundtrip(display) < 0 || keeper.cancelled) {
        wl_display_disconnect(display);
        report(false);
        return 1;
    }
    report(true);
    while (!keeper.cancelled && wl_display_dispatch(display) >= 0) {
    }
    for (std::thread& writer : keeper.writers)
        writer.join();
    destroy(source, kSourceDestroy);
    destroy(device, kDeviceDestroy);
    wl_display_disconnect(display);
    return 0;
}

} // namespace BPrivate
