#ifndef _DROP_DATA_H
#define _DROP_DATA_H

#include <SupportDefs.h>

#include <QPointer>
#include <QStringList>

#include <memory>

class QDropEvent;
class QMimeData;

namespace BPrivate {

class WaylandDropOffer;

// What a drop on one of our windows offers, and its bytes. Qt's account of
// a drop (the event's QMimeData) may go whenever events run: on Wayland Qt
// lets go of it as soon as the compositor says the drag has left, which it
// does right after the drop. So the offered types are copied at once, and
// the bytes come from what lasts: this program's own drag, the drag's
// selection on X11 (read through a connection of its own), or on Wayland an
// offer of the kit's own, where each type must be asked for before events
// run again. Any other drop is read from Qt's data while it is there, and
// gives nothing once it is gone.
class DropData
{
public:
    // window: the X window the drop landed on; dropTime: on X11, the time
    // of the drop, which its data is asked with (null elsewhere).
    DropData(QDropEvent* event, uint32 window, const uint32* dropTime);
    ~DropData();

    const QStringList& Types() const { return fTypes; }
    bool Has(const QString& type) const { return fTypes.contains(type); }
    // True when the drop comes from another program through the kit's own
    // Wayland offer.
    bool ThroughWayland() const { return fOffer != nullptr; }

    // The bytes given for type, at most limit (more is nothing). A source
    // that is slow to give them is waited for with every window going on.
    QByteArray Read(const QString& type, qsizetype limit);
    // The same for a mark of a few bytes, which comes before anything else
    // of the drop: on Wayland it is waited for briefly, with events held,
    // as the drop's other data must still be asked for after it.
    QByteArray ReadMark(const QString& type, qsizetype limit);

private:
    QByteArray _FromQt(const QString& type, qsizetype limit);

    QPointer<const QMimeData> fData;
    bool fLocal;
    uint32 fWindow;
    bool fX11;
    uint32 fDropTime;
    std::unique_ptr<WaylandDropOffer> fOffer;
    QStringList fTypes;
};

} // namespace BPrivate

#endif
