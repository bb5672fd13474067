#ifndef _KIT_X11_WINDOWS_H
#define _KIT_X11_WINDOWS_H

#include <QRect>

#include <xcb/xcb.h>

#include <vector>

namespace BPrivate {

// A top-level window of the X server, in root coordinates: its window
// manager's frame and the program's own window inside.
struct TopWindow
{
    QRect frame;
    QRect client;
    xcb_window_t clientId;
};

// The viewable top-level windows of the X server (override-redirect ones,
// menus and the like, left out), the topmost first, and in *active the
// window _NET_ACTIVE_WINDOW names (XCB_WINDOW_NONE without one). Empty where
// the program does not run on X11.
std::vector<TopWindow> x11_windows(xcb_window_t* active);

} // namespace BPrivate

#endif
