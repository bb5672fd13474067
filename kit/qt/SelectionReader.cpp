#include "SelectionReader.h"

#include "X11.h"

#include <Errors.h>
#include <TranslationDefs.h>

#include <chrono>
#include <cstdlib>
#include <cstring>

#include <poll.h>
#include <xcb/xcb.h>

namespace BPrivate {

const SelectionLimits kPictureTransfer = {size_t(B_TRANSLATION_MAX_PIXEL_BYTES) + (1 << 20),
                                          5 * 1000, 60 * 1000};

namespace {

using Clock = std::chrono::steady_clock;

// Replies to a property read carry at most this much; large values are
// read in several.
const uint32_t kChunkWords = 1 << 20;

class Reader
{
public:
    Reader(xcb_connection_t* c, xcb_window_t window, xcb_atom_t property,
           const SelectionLimits& limits)
        : fConnection(c), fWindow(window), fProperty(property), fLimits(limits),
          fStart(Clock::now()), fLastProgress(fStart)
    {}

    // Waits for an event of the given type (without the sent-event bit), for
    // the property when it is a PropertyNotify; the caller frees it.
    status_t Wait(uint8_t type, xcb_generic_event_t** result)
    {
        for (;;) {
            while (xcb_generic_event_t* event = xcb_poll_for_event(fConnection)) {
                uint8_t got = event->response_type & ~0x80;
                bool wanted = got == type;
                if (wanted && type == XCB_PROPERTY_NOTIFY) {
                    auto* notify = reinterpret_cast<xcb_property_notify_event_t*>(event);
                    wanted = notify->window == fWindow && notify->atom == fProperty &&
                             notify->state == XCB_PROPERTY_NEW_VALUE;
                }
                if (wanted) {
                    *result = event;
                    return B_OK;
                }
                free(event);
            }
            if (xcb_connection_has_error(fConnection))
                return B_ERROR;
            auto now = Clock::now();
            auto idle = std::chrono::milliseconds(fLimits.idleMs) - (now - fLastProgress);
            auto total = std::chrono::milliseconds(fLimits.totalMs) - (now - fStart);
            auto left = std::min(idle, total);
            if (left <= Clock::duration::zero())
                return B_TIMED_OUT;
            struct pollfd fd = {xcb_get_file_descriptor(fConnection), POLLIN, 0};
            int ms = (int)std::chrono::ceil<std::chrono::milliseconds>(left).count();
            poll(&fd, 1, ms);
        }
    }

    // Appends the property's whole value to bytes and deletes it. Sets
    // *type to its type and *empty when it had no bytes.
    status_t Take(QByteArray* bytes, xcb_atom_t* type, bool* empty)
    {
        size_t before = (size_t)bytes->size();
        for (uint32_t offset = 0;; offset += kChunkWords) {
            // The rest of the limit, and one word more to see what lies beyond.
            size_t room = fLimits.maxBytes - (size_t)bytes->size();
            uint32_t words = (uint32_t)std::min<size_t>(kChunkWords, room / 4 + 1);
            xcb_get_property_reply_t* reply =
                xcb_get_property_reply(fConnection,
                                       xcb_get_property(fConnection, 0, fWindow, fProperty,
                                                        XCB_GET_PROPERTY_TYPE_ANY, offset, words),
                                       nullptr);
            if (!reply)
                return B_ERROR;
            *type = reply->type;
            int length = xcb_get_property_value_length(reply);
            bool more = reply->bytes_after > 0;
            if ((size_t)bytes->size() + (size_t)length > fLimits.maxBytes ||
                (more && words < kChunkWords)) {
                free(reply);
                return B_BUFFER_OVERFLOW;
            }
            bytes->append(static_cast<const char*>(xcb_get_property_value(reply)), length);
            free(reply);
            if (!more)
                break;
        }
        xcb_delete_property(fConnection, fWindow, fProperty);
        xcb_flush(fConnection);
        *empty = (size_t)bytes->size() == before;
        fLastProgress = Clock::now();
        return B_OK;
    }

private:
    xcb_connection_t* fConnection;
    xcb_window_t fWindow;
    xcb_atom_t fProperty;
    SelectionLimits fLimits;
    Clock::time_point fStart;
    Clock::time_point fLastProgress;
};

} // namespace

status_t read_x_selection(const char* display, uint32 parent, const char* selection,
                          const char* target, uint32 time, const SelectionLimits& limits,
                          QByteArray* bytes)
{
    bytes->clear();
    xcb_connection_t* c = xcb_connect(display, nullptr);
    if (xcb_connection_has_error(c)) {
        xcb_disconnect(c);
        return B_ERROR;
    }
    struct Disconnect
    {
        xcb_connection_t* c;
        ~Disconnect() { xcb_disconnect(c); }
    } disconnect{c};

    xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    xcb_window_t window = xcb_generate_id(c);
    uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_void_cookie_t made = xcb_create_window_checked(
        c, 0, window, parent ? parent : root, 0, 0, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
        XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &mask);
    if (xcb_generic_error_t* error = xcb_request_check(c, made)) {
        free(error);
        // The parent went away: ask from the root window.
        made = xcb_create_window_checked(c, 0, window, root, 0, 0, 1, 1, 0,
                                         XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT,
                                         XCB_CW_EVENT_MASK, &mask);
        if (xcb_generic_error_t* again = xcb_request_check(c, made)) {
            free(again);
            return B_ERROR;
        }
    }
    xcb_atom_t property = intern_atom(c, "_TAVRIN_SELECTION");
    xcb_atom_t incr = intern_atom(c, "INCR");
    xcb_convert_selection(c, window, intern_atom(c, selection), intern_atom(c, target), property,
                          time);
    xcb_flush(c);

    Reader reader(c, window, property, limits);
    xcb_generic_event_t* event = nullptr;
    status_t status = reader.Wait(XCB_SELECTION_NOTIFY, &event);
    if (status != B_OK)
        return status;
    xcb_atom_t given = reinterpret_cast<xcb_selection_notify_event_t*>(event)->property;
    free(event);
    if (given == XCB_ATOM_NONE)
        return B_NOT_ALLOWED;

    xcb_atom_t type;
    bool empty;
    status = reader.Take(bytes, &type, &empty);
    if (status != B_OK || type != incr) {
        if (status != B_OK)
            bytes->clear();
        return status;
    }

    // In increments: the property announced the size (at least what is to
    // come), and taking it away asked for the first piece. The owner puts
    // each piece in the property once the last is gone, and an empty piece
    // ends the transfer.
    uint32_t announced = 0;
    if (bytes->size() >= 4)
        memcpy(&announced, bytes->constData(), 4);
    bytes->clear();
    if (announced > limits.maxBytes)
        return B_BUFFER_OVERFLOW;
    for (;;) {
        event = nullptr;
        status = reader.Wait(XCB_PROPERTY_NOTIFY, &event);
        free(event);
        if (status == B_OK)
            status = reader.Take(bytes, &type, &empty);
        if (status != B_OK) {
            bytes->clear();
            return status;
        }
        if (empty)
            return B_OK;
    }
}

} // namespace BPrivate
