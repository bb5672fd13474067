// The kept clipboard on X11 (ICCCM selections), on a connection of its own:
// TARGETS, TIMESTAMP and the offered types, large data in increments (INCR),
// and the freedesktop clipboard manager's SAVE_TARGETS, which hands a
// running manager the picture at once.

#include "ClipboardServers.h"
#include "X11.h"

#include <chrono>
#include <list>

#include <poll.h>

namespace BPrivate {

namespace {

using Clock = std::chrono::steady_clock;

// Data larger than this goes in increments of this size, well under any
// server's request limit.
const size_t kChunk = 256 * 1024;
// A program that takes nothing of an increment for this long is given up.
const auto kTransferIdle = std::chrono::seconds(5);

struct Transfer
{
    xcb_window_t requestor;
    xcb_atom_t property;
    xcb_atom_t type;
    const std::string* data;
    size_t offset;
    bool done;
    Clock::time_point last;
};

void notify(xcb_connection_t* c, const xcb_selection_request_event_t* request, xcb_atom_t property)
{
    xcb_selection_notify_event_t event = {};
    event.response_type = XCB_SELECTION_NOTIFY;
    event.time = request->time;
    event.requestor = request->requestor;
    event.selection = request->selection;
    event.target = request->target;
    event.property = property;
    char buffer[32] = {};
    memcpy(buffer, &event, std::min(sizeof(event), sizeof(buffer)));
    xcb_send_event(c, 0, request->requestor, XCB_EVENT_MASK_NO_EVENT, buffer);
}

class X11Server : public ClipServer
{
public:
    explicit X11Server(ClipSource* source)
        : fConnection(xcb_connect(nullptr, nullptr)), fSource(source)
    {}

    ~X11Server() override { xcb_disconnect(fConnection); }

    bool Take() override
    {
        xcb_connection_t* c = fConnection;
        if (xcb_connection_has_error(c))
            return false;
        xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
        fWindow = xcb_generate_id(c);
        uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_create_window(c, 0, fWindow, root, 0, 0, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                          XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &mask);
        fClipboard = intern_atom(c, "CLIPBOARD");
        fTargets = intern_atom(c, "TARGETS");
        fTimestamp = intern_atom(c, "TIMESTAMP");
        fIncr = intern_atom(c, "INCR");
        fProperty = intern_atom(c, "_TAVRIN_KEEPER");
        for (const std::string& type : fSource->Types())
            fTypeAtoms.push_back(intern_atom(c, type.c_str()));

        // The time of ownership comes from the server: a property change.
        xcb_change_property(c, XCB_PROP_MODE_APPEND, fWindow, fProperty, XCB_ATOM_STRING, 8, 0, "");
        xcb_flush(c);
        xcb_generic_event_t* event;
        while ((event = xcb_wait_for_event(c))) {
            bool stamped = (event->response_type & ~0x80) == XCB_PROPERTY_NOTIFY;
            if (stamped)
                fTime = reinterpret_cast<xcb_property_notify_event_t*>(event)->time;
            free(event);
            if (stamped)
                break;
        }
        if (!event)
            return false;
        xcb_set_selection_owner(c, fWindow, fClipboard, fTime);
        xcb_get_selection_owner_reply_t* owner =
            xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, fClipboard), nullptr);
        fHolding = owner && owner->owner == fWindow;
        free(owner);
        return fHolding;
    }

    // A clipboard manager that runs takes its own copy now.
    void HandToManager() override
    {
        xcb_connection_t* c = fConnection;
        xcb_atom_t manager = intern_atom(c, "CLIPBOARD_MANAGER");
        xcb_get_selection_owner_reply_t* owner =
            xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, manager), nullptr);
        bool running = owner && owner->owner != XCB_NONE;
        free(owner);
        if (!running)
            return;
        // No list of targets: the manager saves every one it wants.
        xcb_delete_property(c, fWindow, fProperty);
        xcb_convert_selection(c, fWindow, manager, intern_atom(c, "SAVE_TARGETS"), fProperty,
                              fTime);
        xcb_flush(c);
    }

    void Serve(int stopFd) override
    {
        xcb_connection_t* c = fConnection;
        struct pollfd wait[2] = {{xcb_get_file_descriptor(c), POLLIN, 0}, {stopFd, POLLIN, 0}};
        for (;;) {
            while (xcb_generic_event_t* event = xcb_poll_for_event(c)) {
                _Handle(event);
                free(event);
            }
            // The answers go out before the wait for the next question.
            xcb_flush(c);
            if (xcb_connection_has_error(c))
                fHolding = false;
            _Expire();
            if (!fHolding && fTransfers.empty())
                return;
            wait[1].revents = 0;
            poll(wait, stopFd >= 0 ? 2 : 1, fTransfers.empty() ? -1 : 1000);
            if (wait[1].revents)
                return;
        }
    }

private:
    void _Handle(xcb_generic_event_t* event)
    {
        switch (event->response_type & ~0x80) {
        case XCB_SELECTION_REQUEST:
            _Answer(reinterpret_cast<xcb_selection_request_event_t*>(event));
            break;
        case XCB_SELECTION_CLEAR:
            if (reinterpret_cast<xcb_selection_clear_event_t*>(event)->selection == fClipboard)
                fHolding = false;
            break;
        case XCB_PROPERTY_NOTIFY: {
            auto* change = reinterpret_cast<xcb_property_notify_event_t*>(event);
            if (change->state == XCB_PROPERTY_DELETE)
                _Continue(change->window, change->atom);
            break;
        }
        default:
            break;
        }
    }

    void _Answer(const xcb_selection_request_event_t* request)
    {
        xcb_connection_t* c = fConnection;
        // Old programs name no property: the target is the property.
        xcb_atom_t property = request->property != XCB_NONE ? request->property : request->target;
        if (request->selection != fClipboard || request->owner != fWindow) {
            notify(c, request, XCB_NONE);
            return;
        }
        if (request->target == fTargets) {
            std::vector<xcb_atom_t> list = {fTargets, fTimestamp};
            list.insert(list.end(), fTypeAtoms.begin(), fTypeAtoms.end());
            xcb_change_property(c, XCB_PROP_MODE_REPLACE, request->requestor, property,
                                XCB_ATOM_ATOM, 32, (uint32_t)list.size(), list.data());
            notify(c, request, property);
            return;
        }
        if (request->target == fTimestamp) {
            xcb_change_property(c, XCB_PROP_MODE_REPLACE, request->requestor, property,
                                XCB_ATOM_INTEGER, 32, 1, &fTime);
            notify(c, request, property);
            return;
        }
        const std::string* data = nullptr;
        for (size_t i = 0; i < fTypeAtoms.size() && !data; i++) {
            if (fTypeAtoms[i] == request->target)
                data = fSource->Data(fSource->Types()[i]);
        }
        if (!data) {
            notify(c, request, XCB_NONE);
            return;
        }
        if (data->size() <= kChunk) {
            xcb_change_property(c, XCB_PROP_MODE_REPLACE, request->requestor, property,
                                request->target, 8, (uint32_t)data->size(), data->data());
            notify(c, request, property);
            return;
        }
        // In increments: the requestor deletes the property for each next one.
        uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_change_window_attributes(c, request->requestor, XCB_CW_EVENT_MASK, &mask);
        uint32_t size = (uint32_t)std::min<size_t>(data->size(), UINT32_MAX);
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, request->requestor, property, fIncr, 32, 1,
                            &size);
        notify(c, request, property);
        fTransfers.push_back(
            {request->requestor, property, request->target, data, 0, false, Clock::now()});
    }

    void _Continue(xcb_window_t window, xcb_atom_t property)
    {
        for (auto it = fTransfers.begin(); it != fTransfers.end(); ++it) {
            if (it->requestor != window || it->property != property)
                continue;
            // The last increment is an empty one.
            size_t length = std::min(kChunk, it->data->size() - it->offset);
            xcb_change_property(fConnection, XCB_PROP_MODE_REPLACE, window, property, it->type, 8,
                                (uint32_t)length, it->data->data() + it->offset);
            it->offset += length;
            it->last = Clock::now();
            if (length == 0) {
                uint32_t none = XCB_EVENT_MASK_NO_EVENT;
                xcb_change_window_attributes(fConnection, window, XCB_CW_EVENT_MASK, &none);
                fTransfers.erase(it);
            }
            return;
        }
    }

    void _Expire()
    {
        Clock::time_point now = Clock::now();
        fTransfers.remove_if([now](const Transfer& t) { return now - t.last > kTransferIdle; });
    }

    xcb_connection_t* fConnection;
    ClipSource* fSource;
    xcb_window_t fWindow = XCB_NONE;
    xcb_timestamp_t fTime = XCB_CURRENT_TIME;
    xcb_atom_t fClipboard = XCB_NONE, fTargets = XCB_NONE, fTimestamp = XCB_NONE, fIncr = XCB_NONE,
               fProperty = XCB_NONE;
    std::vector<xcb_atom_t> fTypeAtoms;
    std::list<Transfer> fTransfers;
};

} // namespace

std::unique_ptr<ClipServer> make_x11_clip_server(ClipSource* source)
{
    return std::make_unique<X11Server>(source);
}

} // namespace BPrivate
