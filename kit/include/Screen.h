#ifndef _SCREEN_H
#define _SCREEN_H

#include <GraphicsDefs.h>
#include <Rect.h>

class BBitmap;
class BWindow;

struct screen_id
{
    int32 id;
};

extern const screen_id B_MAIN_SCREEN_ID;

// One monitor of the display. Its frame is in screen coordinates, which
// span every monitor: a monitor to the right of the main one starts at an x
// greater than 0. A BScreen is a snapshot; it follows no later change.
class BScreen
{
public:
    BScreen(screen_id id = B_MAIN_SCREEN_ID);
    // The monitor that shows the window (the one it last stood on while hidden).
    BScreen(BWindow* window);
    ~BScreen();

    bool IsValid();
    status_t SetToNext();

    screen_id ID();
    BRect Frame();
    // The part of the frame that the desktop's panels and docks leave to
    // windows (the work area the window manager announces); the whole frame
    // where there is none.
    BRect AvailableFrame();
    color_space ColorSpace();
    // A new B_RGB32 bitmap (the caller's) of the screen's pixels inside
    // frame, the whole monitor when it is null: at the monitor's device
    // resolution, pixel for pixel, whatever the desktop's scale factor, so a
    // monitor at scale 2 gives twice the frame's width and height. Fails as
    // _get_screen_bitmap_ does, with *bitmap null.
    status_t GetBitmap(BBitmap** bitmap, bool drawCursor = true, BRect* frame = nullptr);
    // The device pixels a frame of this monitor covers, across and down.
    status_t GetDeviceSize(BRect frame, int32* width, int32* height);

private:
    BScreen(const BScreen&) = delete;
    BScreen& operator=(const BScreen&) = delete;

    void _SetTo(int32 index);

    int32 fIndex;
    BRect fFrame;
    BRect fAvailable;
    color_space fColorSpace;
};

// Copies the pixels of the screen inside frame (screen coordinates, within
// one monitor) into bitmap, which must be a B_RGB32 or B_RGBA32 bitmap of
// the frame's size in device pixels (BScreen::GetDeviceSize): the monitor's
// own pixels, never rescaled. (A bitmap of the frame's size in screen units,
// where the two differ, gets the picture reduced to it.) The copy is opaque. Windows of this
// program that were hidden are first waited for, bounded in time, until they have left the screen.
// drawCursor asks for the pointer in the picture, which the platform cannot
// give: B_NOT_SUPPORTED. Where the display server lets no program read the
// screen (Wayland, and XWayland beneath it) the picture comes from the
// desktop portal, which may show a dialog first and waits without blocking
// other loopers: B_CANCELED or B_NOT_ALLOWED when the user or the desktop
// said no, B_NOT_SUPPORTED when no portal answers. B_BAD_VALUE for a frame
// that lies on no monitor or a bitmap that does not fit it.
status_t _get_screen_bitmap_(BBitmap* bitmap, BRect frame, bool drawCursor);

#endif
