#ifndef _SCREEN_PICKER_H
#define _SCREEN_PICKER_H

#include <Messenger.h>
#include <SupportDefs.h>

class BBitmap;
class BMessage;

namespace BPrivate {

enum screen_pick {
    B_PICK_REGION, // a rectangle the user drags on a frozen copy of the screen
    B_PICK_WINDOW  // the window the user clicks
};

// Lets the user choose part of the desktop and gives its pixels as a new
// B_RGB32 bitmap (the caller's), at the monitors' device resolution.
//
// The desktop is read first, with every window of this program out of the
// way, then shown frozen, full screen, on every monitor: the rest dimmed, a
// crosshair, the selection's size beside the pointer and a magnified view of
// the pixels under it. A region is dragged (the release takes it), moved
// with the arrow keys and sized with Shift and the arrows, and taken with
// Enter; a window is the one under the click, or the highlighted one on
// Enter (the active window until the pointer moves), with or without its
// window manager's frame. Where windows cannot be told apart (Wayland), the
// desktop's portal lets the user choose one where it offers that, and
// elsewhere the region is chosen instead, after one line on standard error.
//
// The caller's strand waits in a nested event loop, so other loopers go on.
// B_CANCELED on Escape; B_BUSY while another pick is showing; the screen
// copy's own failures otherwise (see _get_screen_bitmap_).
status_t pick_screen_area(screen_pick what, bool windowFrame, BBitmap** bitmap);

// A capture's delay. After delay microseconds target receives message;
// Escape or Print Screen pressed anywhere before then (where the display
// lets a program with no window showing listen: X11) send it instead with
// the bool "canceled" true. One countdown at a time: a new one replaces the
// last, which sends nothing.
status_t start_capture_delay(bigtime_t delay, BMessenger target, const BMessage& message);
// Stops the countdown, if one runs; nothing is sent.
void cancel_capture_delay();
bool capture_delay_running();

} // namespace BPrivate

#endif
