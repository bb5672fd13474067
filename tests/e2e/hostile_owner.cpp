// A clipboard owner that misbehaves, for tests of the programs that paste:
// it offers image/png, and for it either announces a gigabyte in increments
// (INCR) and never sends a byte ("incr"), or never answers at all ("silent").
// It prints "ready" once it owns the clipboard and runs until killed.

#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

static xcb_atom_t atom(xcb_connection_t* c, const char* name)
{
    xcb_intern_atom_reply_t* reply =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, strlen(name), name), nullptr);
    xcb_atom_t result = reply ? reply->atom : (xcb_atom_t)XCB_ATOM_NONE;
    free(reply);
    return result;
}

int main(int argc, char** argv)
{
    if (argc != 2 || (strcmp(argv[1], "incr") != 0 && strcmp(argv[1], "silent") != 0)) {
        fprintf(stderr, "usage: hostile_owner incr|silent\n");
        return 2;
    }
    bool silent = strcmp(argv[1], "silent") == 0;
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c))
        return 1;
    xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    xcb_window_t window = xcb_generate_id(c);
    xcb_create_window(c, 0, window, root, 0, 0, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                      XCB_COPY_FROM_PARENT, 0, nullptr);
    xcb_atom_t clipboard = atom(c, "CLIPBOARD"), targets = atom(c, "TARGETS"),
               png = atom(c, "image/png"), incr = atom(c, "INCR");
    xcb_set_selection_owner(c, window, clipboard, XCB_CURRENT_TIME);
    xcb_flush(c);
    printf("ready\n");
    fflush(stdout);
    while (xcb_generic_event_t* event = xcb_wait_for_event(c)) {
        if ((event->response_type & ~0x80) == XCB_SELECTION_REQUEST) {
            auto* request = reinterpret_cast<xcb_selection_request_event_t*>(event);
            xcb_atom_t property = XCB_NONE;
            if (request->target == targets) {
                xcb_atom_t list[] = {targets, png};
                xcb_change_property(c, XCB_PROP_MODE_REPLACE, request->requestor, request->property,
                                    XCB_ATOM_ATOM, 32, 2, list);
                property = request->property;
            } else if (request->target == png && !silent) {
                uint32_t size = 1u << 30;
                xcb_change_property(c, XCB_PROP_MODE_REPLACE, request->requestor, request->property,
                                    incr, 32, 1, &size);
                property = request->property;
            }
            if (request->target == targets || !silent) {
                xcb_selection_notify_event_t notify = {};
                notify.response_type = XCB_SELECTION_NOTIFY;
                notify.time = request->time;
                notify.requestor = request->requestor;
                notify.selection = request->selection;
                notify.target = request->target;
                notify.property = property;
                xcb_send_event(c, 0, request->requestor, XCB_EVENT_MASK_NO_EVENT,
                               reinterpret_cast<const char*>(&notify));
                xcb_flush(c);
            }
        }
        free(event);
    }
    return 0;
}
