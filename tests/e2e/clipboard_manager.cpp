// A clipboard manager of the freedesktop ClipboardManager convention, for
// the tests of programs that hand over their copy as they end: it owns
// CLIPBOARD_MANAGER, and when asked to SAVE_TARGETS it reads image/png from
// the clipboard's owner into FILE, takes the clipboard and serves that copy
// itself. It prints "ready" once it runs, and runs until killed.
//
//   clipboard_manager FILE

#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

static xcb_atom_t atom(xcb_connection_t* c, const char* name)
{
    xcb_intern_atom_reply_t* reply =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, strlen(name), name), nullptr);
    xcb_atom_t result = reply ? reply->atom : (xcb_atom_t)XCB_ATOM_NONE;
    free(reply);
    return result;
}

static void notify(xcb_connection_t* c, const xcb_selection_request_event_t* request,
                   xcb_atom_t property)
{
    xcb_selection_notify_event_t event = {};
    event.response_type = XCB_SELECTION_NOTIFY;
    event.time = request->time;
    event.requestor = request->requestor;
    event.selection = request->selection;
    event.target = request->target;
    event.property = property;
    xcb_send_event(c, 0, request->requestor, XCB_EVENT_MASK_NO_EVENT,
                   reinterpret_cast<const char*>(&event));
    xcb_flush(c);
}

int main(int argc, char** argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: clipboard_manager FILE\n");
        return 2;
    }
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c))
        return 1;
    xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    xcb_window_t window = xcb_generate_id(c);
    xcb_create_window(c, 0, window, root, 0, 0, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                      XCB_COPY_FROM_PARENT, 0, nullptr);
    xcb_atom_t manager = atom(c, "CLIPBOARD_MANAGER"), save = atom(c, "SAVE_TARGETS"),
               clipboard = atom(c, "CLIPBOARD"), targets = atom(c, "TARGETS"),
               png = atom(c, "image/png"), kept = atom(c, "_KEPT");
    xcb_set_selection_owner(c, window, manager, XCB_CURRENT_TIME);
    xcb_flush(c);
    printf("ready\n");
    fflush(stdout);
    std::string copy;
    while (xcb_generic_event_t* event = xcb_wait_for_event(c)) {
        if ((event->response_type & ~0x80) != XCB_SELECTION_REQUEST) {
            free(event);
            continue;
        }
        auto* request = reinterpret_cast<xcb_selection_request_event_t*>(event);
        if (request->selection == manager && request->target == save) {
            // The picture in one piece: the test's copy is small.
            xcb_convert_selection(c, window, clipboard, png, kept, XCB_CURRENT_TIME);
            xcb_flush(c);
            while (xcb_generic_event_t* answer = xcb_wait_for_event(c)) {
                bool done = (answer->response_type & ~0x80) == XCB_SELECTION_NOTIFY;
                free(answer);
                if (done)
                    break;
            }
            xcb_get_property_reply_t* value = xcb_get_property_reply(
                c, xcb_get_property(c, 1, window, kept, XCB_GET_PROPERTY_TYPE_ANY, 0, 1 << 24),
                nullptr);
            if (value) {
                copy.assign(static_cast<const char*>(xcb_get_property_value(value)),
                            xcb_get_property_value_length(value));
                free(value);
            }
            if (FILE* file = fopen(argv[1], "wb")) {
                fwrite(copy.data(), 1, copy.size(), file);
                fclose(file);
            }
            xcb_set_selection_owner(c, window, clipboard, XCB_CURRENT_TIME);
            notify(c, request, request->property);
        } else if (request->selection == clipboard && request->target == targets) {
            xcb_atom_t list[] = {targets, png};
            xcb_change_property(c, XCB_PROP_MODE_REPLACE, request->requestor, request->property,
                                XCB_ATOM_ATOM, 32, 2, list);
            notify(c, request, request->property);
        } else if (request->selection == clipboard && request->target == png && !copy.empty()) {
            xcb_change_property(c, XCB_PROP_MODE_REPLACE, request->requestor, request->property,
                                png, 8, (uint32_t)copy.size(), copy.data());
            notify(c, request, request->property);
        } else {
            notify(c, request, XCB_NONE);
        }
        free(event);
    }
    return 0;
}
