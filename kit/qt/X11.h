#ifndef _KIT_X11_H
#define _KIT_X11_H

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

namespace BPrivate {

// Qt's connection to the X server, or null where the program does not run
// on X11 (Wayland, offscreen).
xcb_connection_t* x11_connection();

// The atom of name on the connection, made if need be; XCB_ATOM_NONE when
// the server does not answer.
inline xcb_atom_t intern_atom(xcb_connection_t* c, const char* name)
{
    xcb_intern_atom_reply_t* reply =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, strlen(name), name), nullptr);
    xcb_atom_t atom = reply ? reply->atom : (xcb_atom_t)XCB_ATOM_NONE;
    free(reply);
    return atom;
}

// True when window carries property, whatever its type and value.
inline bool has_property(xcb_connection_t* c, xcb_window_t window, xcb_atom_t property)
{
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        c, xcb_get_property(c, 0, window, property, XCB_GET_PROPERTY_TYPE_ANY, 0, 0), nullptr);
    bool has = reply && reply->type != XCB_ATOM_NONE;
    free(reply);
    return has;
}

} // namespace BPrivate

#endif
