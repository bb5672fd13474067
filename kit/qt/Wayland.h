#ifndef _KIT_WAYLAND_H
#define _KIT_WAYLAND_H

struct wl_display;

namespace BPrivate {

// Qt's connection to the Wayland compositor, or null where the program does
// not run on Wayland (X11, offscreen).
wl_display* wayland_display();

} // namespace BPrivate

#endif
