#include "DropData.h"

#include "SelectionReader.h"
#include "WaylandDrop.h"

#include <LongWork.h>

#include <QDropEvent>
#include <QMimeData>

namespace BPrivate {

namespace {

// A mark is a few dozen bytes from another copy of this program, which
// gives it at once; the window's events wait no longer than this for it.
const int kMarkMs = 1000;

} // namespace

DropData::DropData(QDropEvent* event, uint32 window, const uint32* dropTime)
    : fData(event->mimeData()), fLocal(event->source() != nullptr), fWindow(window),
      fX11(dropTime != nullptr), fDropTime(dropTime ? *dropTime : 0)
{
    if (!fLocal && !fX11)
        fOffer = WaylandDrop::Take();
    fTypes = fOffer ? fOffer->Types() : fData ? fData->formats() : QStringList();
}

DropData::~DropData() = default;

QByteArray DropData::Read(const QString& type, qsizetype limit)
{
    if (!Has(type))
        return QByteArray();
    if (fLocal || (!fX11 && !fOffer))
        return _FromQt(type, limit);
    QByteArray bytes;
    SelectionLimits limits = {(size_t)limit, kPictureTransfer.idleMs, kPictureTransfer.totalMs};
    status_t status;
    if (fX11) {
        QByteArray name = type.toUtf8();
        QByteArray display = qgetenv("DISPLAY");
        status = run_long_work([&]() {
            return read_x_selection(display.isEmpty() ? nullptr : display.constData(), fWindow,
                                    "XdndSelection", name.constData(), fDropTime, limits, &bytes);
        });
    } else {
        // Asked for now, before events run; read while they do.
        int fd = fOffer->Receive(type);
        if (fd < 0)
            return QByteArray();
        status = run_long_work([&]() { return read_pipe(fd, limits, &bytes); });
    }
    return status == B_OK ? bytes : QByteArray();
}

QByteArray DropData::ReadMark(const QString& type, qsizetype limit)
{
    if (!fOffer || !Has(type))
        return Read(type, limit);
    int fd = fOffer->Receive(type);
    QByteArray bytes;
    if (fd < 0 || read_pipe(fd, {(size_t)limit, kMarkMs, kMarkMs}, &bytes) != B_OK)
        return QByteArray();
    return bytes;
}

QByteArray DropData::_FromQt(const QString& type, qsizetype limit)
{
    if (!fData)
        return QByteArray();
    QByteArray bytes = fData->data(type);
    return bytes.size() > limit ? QByteArray() : bytes;
}

} // namespace BPrivate
