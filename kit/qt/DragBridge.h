#ifndef _DRAG_BRIDGE_H
#define _DRAG_BRIDGE_H

#include <Rect.h>

#include <functional>

class BMessage;
class BMessenger;
class BView;
class BHandler;
class QDropEvent;
class QDragEnterEvent;
class QMimeData;

namespace BPrivate {

// Carries the platform's negotiated drag and drop over Qt's (XDND on X11).
// Out of the program, the offer's image types and text/uri-list are produced
// lazily by asking the drag's reply target with B_COPY_TARGET; into a view, a
// drag of this program arrives as its own message, files as "refs", and other
// programs' data as a negotiated offer.
class DragBridge
{
public:
    // Starts the drag once the current handler has returned.
    static void StartDrag(BView* view, const BMessage* message, BRect rect, BHandler* replyTo);

    // Tests watch drags instead of starting them: the observer gets the offer
    // and the rectangle, and no platform drag begins.
    static void SetObserver(std::function<void(const BMessage& offer, BRect rect)> observer);

    // The same offer for the clipboard: the image types, and a file as
    // text/uri-list and x-special/gnome-copied-files, each produced once when
    // a program first asks, by asking replyTo as a drag target's would.
    static QMimeData* MakeClipboardOffer(const BMessage& offer, const BMessenger& replyTo);

    // Ends the last drag (its answers and its files) as the program ends.
    static void Shutdown();
    // Removes what drags of earlier runs left in the cache a day ago or more.
    static void SweepCache();

    static bool CanAccept(const QMimeData* data);
    static void Drop(BView* view, QDropEvent* event);
};

} // namespace BPrivate

#endif
