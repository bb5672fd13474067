#ifndef _DESKTOP_PICTURE_H
#define _DESKTOP_PICTURE_H

#include <SupportDefs.h>

#include <QImage>
#include <QList>
#include <QPointer>
#include <QRect>
#include <QWidget>

#include <vector>

class QScreen;

namespace BPrivate {

// The windows of this program that are showing step aside for as long as the
// object lives, and come back when it goes. A screen copy holds one, so that
// no window of ours (a settings panel, an alert, a file panel) is in it, and
// none shows pixels it had no chance to repaint. Widgets marked with the
// property "tavrin:own-overlay" stay.
class OwnWindowsAway
{
public:
    OwnWindowsAway();
    ~OwnWindowsAway();
    OwnWindowsAway(const OwnWindowsAway&) = delete;
    OwnWindowsAway& operator=(const OwnWindowsAway&) = delete;

private:
    std::vector<QPointer<QWidget>> fHidden;
};

// The whole desktop in one picture of device pixels, and where each monitor
// lies in it. On X11 the picture is the root window and its coordinates are
// the server's; elsewhere it is the portal's picture.
struct DesktopPicture
{
    QImage image;
    QList<QScreen*> screens;
    // screens[i]'s part of image.
    QList<QRect> monitors;
    // The server's windows can be told apart (X11, not XWayland).
    bool x11 = false;
};

// Takes the desktop, once this program's windows have left it. Fails as
// _get_screen_bitmap_ does; interactive lets the portal's dialog choose what
// to take (the picture is then only that, in one monitor's entry).
status_t take_desktop(DesktopPicture* picture, bool interactive = false);

// Whether the display server tells the windows on the screen apart for us
// (X11, not XWayland).
bool desktop_windows_known();

// Where the desktop's portal lets the user choose a window to take.
bool portal_offers_window_choice();

} // namespace BPrivate

#endif
