#ifndef _PORTAL_H
#define _PORTAL_H

#include <SupportDefs.h>

class QImage;

namespace BPrivate {

// The desktop portal's screenshot (org.freedesktop.portal.Screenshot on the
// session bus), for sessions where a program may not read the screen itself:
// Wayland, and XWayland beneath it. The desktop may show its own dialog
// first; the user may refuse or cancel there.
//
// The caller's strand waits for the answer in a nested event loop, so the
// other loopers and the painting of other windows go on meanwhile; a second
// request while one is waiting is refused with B_BUSY.
class ScreenshotPortal
{
public:
    // The picture of the whole desktop the portal grants, every monitor at its
    // place, in the portal's pixels. B_NOT_SUPPORTED when no portal with a
    // screenshot answers on the session bus; B_CANCELED when the user
    // cancelled; B_NOT_ALLOWED when the desktop refused; B_TIMED_OUT when no
    // answer came in time; B_BAD_DATA when the file it names cannot be read.
    // A file the portal wrote for this request into a temporary folder is
    // removed once read; a file anywhere else is the user's and stays.
    // Interactive asks the desktop to let the user choose what to take (a
    // window, say), where its portal offers that.
    static status_t Take(QImage* picture, bool interactive = false);

    // Longest wait for the portal's answer, in milliseconds (a dialog may be
    // showing). Tests shorten it.
    static void SetAnswerLimit(int milliseconds);
};

} // namespace BPrivate

#endif
