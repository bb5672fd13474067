// Asks an X11 window to close, as a window manager's close button does
// (WM_DELETE_WINDOW), for tests that run without a window manager.
//
// The request is checked before the connection closes: an X server that sees
// a client hang up may drop the requests it has not yet read from it, and a
// close sent and forgotten was then lost now and again.

#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

static xcb_atom_t atom(xcb_connection_t* connection, const char* name)
{
    xcb_intern_atom_cookie_t cookie = xcb_intern_atom(connection, 0, strlen(name), name);
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookie, nullptr);
    xcb_atom_t result = reply ? reply->atom : (xcb_atom_t)XCB_ATOM_NONE;
    free(reply);
    return result;
}

int main(int argc, char** argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: close_window WINDOW-ID\n");
        return 2;
    }
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection)) {
        fprintf(stderr, "close_window: cannot open the display\n");
        return 1;
    }
    xcb_window_t window = (xcb_window_t)strtoul(argv[1], nullptr, 0);
    xcb_client_message_event_t event;
    memset(&event, 0, sizeof(event));
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = atom(connection, "WM_PROTOCOLS");
    event.data.data32[0] = atom(connection, "WM_DELETE_WINDOW");
    event.data.data32[1] = XCB_CURRENT_TIME;
    xcb_void_cookie_t sent =
        xcb_send_event_checked(connection, 0, window, XCB_EVENT_MASK_NO_EVENT, (const char*)&event);
    xcb_generic_error_t* error = xcb_request_check(connection, sent);
    xcb_disconnect(connection);
    if (error != nullptr) {
        fprintf(stderr, "close_window: X error %d for window %s\n", error->error_code, argv[1]);
        free(error);
        return 1;
    }
    return 0;
}
