#ifndef _WAYLAND_DROP_H
#define _WAYLAND_DROP_H

#include "SelectionReader.h"

#include <QStringList>

#include <memory>

struct wl_data_offer;

namespace BPrivate {

// Another program's drop on one of our windows in a Wayland session, as the
// compositor offers it to a data device of the kit's own beside Qt's, on
// Qt's connection. Qt lets go of a drop's offer as soon as its events run
// again (the compositor says the drag has left right after the drop), and
// the compositor then ends the source's part of the drag: whatever the kit
// wants of a drop is asked for before then, through an offer of its own,
// and arrives through a pipe that nothing of Qt's can close.
//
// Everything here runs on the GUI thread; the pipes may be read anywhere.
class WaylandDropOffer
{
public:
    ~WaylandDropOffer();

    // The types the source offers, in its order.
    const QStringList& Types() const { return fTypes; }
    // Asks the source for its data in type: the read end of the pipe it
    // comes through (the caller closes it), or -1.
    int Receive(const QString& type);

private:
    friend class WaylandDrop;
    WaylandDropOffer(wl_data_offer* offer, const QStringList& types);

    wl_data_offer* fOffer;
    QStringList fTypes;
};

class WaylandDrop
{
public:
    // Follows the drags over this program's windows from now on, on Qt's
    // Wayland platform (elsewhere it does nothing); Stop ends that.
    static void Start();
    static void Stop();
    // The offer of the drop that Qt delivers now, or null.
    static std::unique_ptr<WaylandDropOffer> Take();

    // The types the clipboard offers now (the compositor tells a program
    // while one of its windows has the keyboard), and a pipe that gives the
    // clipboard's data in one of them (the caller closes it), or -1.
    static QStringList SelectionTypes();
    static int ReceiveSelection(const QString& type);
};

// Reads what comes through fd to its end and closes it. B_OK with the bytes;
// B_BUFFER_OVERFLOW when more than limits.maxBytes come (no more is ever
// held); B_TIMED_OUT when the writer stops for limits.idleMs or is not done
// after limits.totalMs; B_IO_ERROR when the pipe fails.
status_t read_pipe(int fd, const SelectionLimits& limits, QByteArray* bytes);

} // namespace BPrivate

#endif
