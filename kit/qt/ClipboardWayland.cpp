// The kept clipboard in a Wayland session, through the data-control
// protocol of wlroots compositors (zwlr_data_control_manager_v1, the one
// wl-copy uses), which lets a program without a window own the selection.
// The protocol's interfaces are stated here, as the wayland-scanner would
// make them from its description.

#include "ClipboardServers.h"

#include <wayland-client.h>

#include <cerrno>
#include <cstring>
#include <mutex>
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
    ClipSource* source = nullptr;
    wl_proxy* manager = nullptr;
    wl_seat* seat = nullptr;
    bool cancelled = false;
    std::vector<std::thread> writers;
    std::mutex making;
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
    // The data is made on the writer's thread, so that the connection goes
    // on meanwhile; what was made stays until every writer has ended.
    std::string wanted(type);
    keeper->writers.emplace_back([keeper, wanted, fd]() {
        const std::string* data;
        {
            std::lock_guard<std::mutex> lock(keeper->making);
            data = keeper->source->Data(wanted);
        }
        write_all(fd, data);
    });
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

class WaylandServer : public ClipServer
{
public:
    explicit WaylandServer(ClipSource* source) { fKeeper.source = source; }

    ~WaylandServer() override
    {
        for (std::thread& writer : fKeeper.writers)
            writer.join();
        if (fSource)
            destroy(fSource, kSourceDestroy);
        if (fDevice)
            destroy(fDevice, kDeviceDestroy);
        if (fDisplay)
            wl_display_disconnect(fDisplay);
    }

    bool Open()
    {
        describe_protocol();
        fDisplay = wl_display_connect(nullptr);
        if (!fDisplay)
            return false;
        wl_registry* registry = wl_display_get_registry(fDisplay);
        static const wl_registry_listener listener = {global, global_removed};
        wl_registry_add_listener(registry, &listener, &fKeeper);
        return wl_display_roundtrip(fDisplay) >= 0 && fKeeper.manager && fKeeper.seat;
    }

    bool Take() override
    {
        wl_proxy* manager = fKeeper.manager;
        fDevice = wl_proxy_marshal_flags(manager, kGetDataDevice, &sDevice,
                                         wl_proxy_get_version(manager), 0, nullptr, fKeeper.seat);
        wl_proxy_add_listener(fDevice, (void (**)(void)) & kDeviceListener, &fKeeper);
        fSource = wl_proxy_marshal_flags(manager, kCreateDataSource, &sSource,
                                         wl_proxy_get_version(manager), 0, nullptr);
        wl_proxy_add_listener(fSource, (void (**)(void)) & kSourceListener, &fKeeper);
        for (const std::string& type : fKeeper.source->Types())
            wl_proxy_marshal_flags(fSource, kSourceOffer, nullptr, wl_proxy_get_version(fSource), 0,
                                   type.c_str());
        wl_proxy_marshal_flags(fDevice, kSetSelection, nullptr, wl_proxy_get_version(fDevice), 0,
                               fSource);
        fHolding = wl_display_roundtrip(fDisplay) >= 0 && !fKeeper.cancelled;
        return fHolding;
    }

    void Serve(int stopFd) override
    {
        struct pollfd wait[2] = {{wl_display_get_fd(fDisplay), POLLIN, 0}, {stopFd, POLLIN, 0}};
        while (!fKeeper.cancelled) {
            while (wl_display_prepare_read(fDisplay) != 0)
                wl_display_dispatch_pending(fDisplay);
            wl_display_flush(fDisplay);
            wait[0].revents = wait[1].revents = 0;
            if (poll(wait, stopFd >= 0 ? 2 : 1, -1) < 0 && errno != EINTR) {
                wl_display_cancel_read(fDisplay);
                break;
            }
            if (wait[1].revents) {
                wl_display_cancel_read(fDisplay);
                break;
            }
            if (wait[0].revents & POLLIN) {
                if (wl_display_read_events(fDisplay) < 0)
                    break;
            } else {
                wl_display_cancel_read(fDisplay);
                if (wait[0].revents)
                    break;
            }
            if (wl_display_dispatch_pending(fDisplay) < 0)
                break;
        }
        fHolding = false;
    }

private:
    Keeper fKeeper;
    wl_display* fDisplay = nullptr;
    wl_proxy* fDevice = nullptr;
    wl_proxy* fSource = nullptr;
};

} // namespace

std::unique_ptr<ClipServer> make_wayland_clip_server(ClipSource* source)
{
    auto server = std::make_unique<WaylandServer>(source);
    if (!server->Open())
        return nullptr;
    return server;
}

} // namespace BPrivate
