#include "DragBridge.h"

#include <AppDefs.h>
#include <Directory.h>
#include <Entry.h>
#include <Message.h>
#include <Messenger.h>
#include <View.h>
#include <Window.h>

#include "app/LooperPrivate.h"
#include "app/MessagePrivate.h"
#include "interface/ViewPrivate.h"

#include <QDir>
#include <QDrag>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QStandardPaths>
#include <QTimer>
#include <QUrl>
#include <QUuid>

#include <unistd.h>

namespace BPrivate {

namespace {

// Marks drags of this process: the drag's number and the process.
const char* const kTokenType = "application/x-tavrin-drag";
// Where in the dragged rectangle the pointer holds it, as "x,y", for a drop
// on another copy of the program.
const char* const kOffsetType = "application/x-tavrin-drag-offset";

struct CurrentDrag
{
    BMessage* message = nullptr;
    BMessenger replyTo;
    BPoint offset;
    QByteArray token;
    QPointer<QDrag> drag;
};

CurrentDrag sDrag;
std::function<void(const BMessage&, BRect)> sObserver;
int32 sDragSerial = 0;

QString cache_folder()
{
    QString base = qEnvironmentVariable("XDG_CACHE_HOME");
    if (base.isEmpty())
        base = QDir::homePath() + "/.cache";
    return base + "/tavrin/drag";
}

QString extension_for(const QString& mime)
{
    static const struct
    {
        const char* mime;
        const char* extension;
    } kKnown[] = {{"image/png", "png"},     {"image/jpeg", "jpg"},
                  {"image/x-targa", "tga"}, {"image/bmp", "bmp"},
                  {"image/tiff", "tif"},    {"image/webp", "webp"},
                  {"image/gif", "gif"},     {"image/x-portable-pixmap", "ppm"}};
    for (const auto& known : kKnown) {
        if (mime == known.mime)
            return known.extension;
    }
    return "img";
}

// The offer seen by other programs: the image types and a file, produced
// only when a target asks, by asking the drag's reply target.
class OfferMimeData : public QMimeData
{
public:
    OfferMimeData(const BMessage& offer, const QByteArray& token, BPoint offset)
        : fToken(token),
          fOffset(QByteArray::number((int)offset.x) + "," + QByteArray::number((int)offset.y))
    {
        const char* type;
        for (int32 i = 0; offer.FindString("be:types", i, &type) == B_OK; i++) {
            if (strncmp(type, "image/", 6) == 0)
                fImageTypes << QString::fromUtf8(type);
        }
        for (int32 i = 0; offer.FindString("be:filetypes", i, &type) == B_OK; i++)
            fFileTypes << QString::fromUtf8(type);
        const char* clip;
        fClipName = offer.FindString("be:clip_name", &clip) == B_OK ? clip : "dragged";
    }

    QStringList formats() const override
    {
        QStringList list;
        list << kTokenType << kOffsetType << fImageTypes;
        if (!fFileTypes.isEmpty())
            list << "text/uri-list"
                 << "application/x-kde-suggestedfilename";
        return list;
    }

    bool hasFormat(const QString& mime) const override { return formats().contains(mime); }

protected:
    QVariant retrieveData(const QString& mime, QMetaType type) const override
    {
        if (mime == kTokenType)
            return fToken;
        if (mime == kOffsetType)
            return fOffset;
        if (fCache.contains(mime))
            return fCache.value(mime);
        QByteArray result;
        if (mime == "text/uri-list")
            result = _FetchFile();
        else if (mime == "application/x-kde-suggestedfilename")
            result = (QString::fromUtf8(fClipName) + "." + extension_for(_FileType())).toUtf8();
        else if (fImageTypes.contains(mime))
            result = _FetchData(mime);
        fCache.insert(mime, result);
        return result;
    }

private:
    QString _FileType() const
    {
        // Files are written in PNG when it is offered, else in the first format.
        if (fFileTypes.contains("image/png"))
            return "image/png";
        return fFileTypes.isEmpty() ? QString() : fFileTypes.first();
    }

    QByteArray _FetchData(const QString& mime) const
    {
        BMessage request(B_COPY_TARGET);
        request.AddString("be:types", mime.toUtf8().constData());
        BMessage answer;
        if (sDrag.replyTo.SendMessage(&request, &answer, 5000000, 20000000) != B_OK)
            return QByteArray();
        const void* data = nullptr;
        ssize_t size = 0;
        if (answer.FindData(mime.toUtf8().constData(), B_MIME_TYPE, &data, &size) != B_OK)
            return QByteArray();
        return QByteArray(static_cast<const char*>(data), (int)size);
    }

    QByteArray _FetchFile() const
    {
        // A fresh folder under the user's cache, which sandboxed targets can read.
        QString folder = cache_folder() + "/" + QUuid::createUuid().toString(QUuid::WithoutBraces);
        if (!QDir().mkpath(folder))
            return QByteArray();
        QString name = QString::fromUtf8(fClipName) + "." + extension_for(_FileType());
        entry_ref directory;
        get_ref_for_path(folder.toUtf8().constData(), &directory);
        BMessage request(B_COPY_TARGET);
        request.AddRef("directory", &directory);
        request.AddString("name", name.toUtf8().constData());
        request.AddString("be:filetypes", _FileType().toUtf8().constData());
        // The file form has no answer: the request is done when the handler has run.
        BMessage done;
        sDrag.replyTo.SendMessage(&request, &done, 5000000, 20000000);
        QString path = folder + "/" + name;
        if (!QFile::exists(path))
            return QByteArray();
        return QUrl::fromLocalFile(path).toEncoded() + "\r\n";
    }

    QByteArray fToken;
    QByteArray fOffset;
    QStringList fImageTypes;
    QStringList fFileTypes;
    QByteArray fClipName;
    mutable QHash<QString, QByteArray> fCache;
};

} // namespace

void DragBridge::StartDrag(BView* view, const BMessage* message, BRect rect, BHandler* replyTo)
{
    delete sDrag.message;
    sDrag.message = new BMessage(*message);
    sDrag.replyTo = BMessenger(replyTo ? replyTo : view);
    sDrag.token = QByteArray::number((qlonglong)getpid()) + ":" + QByteArray::number(++sDragSerial);

    BPoint pointer;
    uint32 buttons;
    view->GetMouse(&pointer, &buttons, true);
    sDrag.offset = BPoint(pointer.x - rect.left, pointer.y - rect.top);

    if (sObserver) {
        sObserver(*message, rect);
        return;
    }
    QWidget* widget = ViewBridge::Widget(view);
    if (!widget)
        return;
    QByteArray token = sDrag.token;
    BMessage offer(*message);
    QPoint hotSpot((int)sDrag.offset.x, (int)sDrag.offset.y);
    QSize size((int)rect.Width() + 1, (int)rect.Height() + 1);
    // The real drag starts once the handler that asked for it has returned.
    BPoint offset = sDrag.offset;
    QTimer::singleShot(0, widget, [widget, offer, token, hotSpot, size, offset]() {
        if (sDrag.drag)
            sDrag.drag->deleteLater();
        QDrag* drag = new QDrag(widget);
        drag->setMimeData(new OfferMimeData(offer, token, offset));
        QPixmap outline(size.boundedTo(QSize(4096, 4096)).expandedTo(QSize(1, 1)));
        outline.fill(Qt::transparent);
        QPainter painter(&outline);
        painter.setPen(QColor(0, 0, 0));
        painter.drawRect(0, 0, outline.width() - 1, outline.height() - 1);
        painter.end();
        drag->setPixmap(outline);
        drag->setHotSpot(hotSpot);
        sDrag.drag = drag;
        // The drag keeps its data after exec() returns: targets may ask late.
        drag->exec(Qt::CopyAction);
    });
}

void DragBridge::SetObserver(std::function<void(const BMessage&, BRect)> observer)
{
    sObserver = std::move(observer);
}

bool DragBridge::CanAccept(const QMimeData* data)
{
    if (data->hasUrls() || data->hasFormat(kTokenType))
        return true;
    for (const QString& format : data->formats()) {
        if (format.startsWith("image/"))
            return true;
    }
    return false;
}

void DragBridge::Drop(BView* view, QDropEvent* event)
{
    BWindow* window = view->Window();
    const QMimeData* data = event->mimeData();
    if (!window || !data)
        return;
    QPointF local = event->position();
    BPoint where((float)local.x() + view->Bounds().left, (float)local.y() + view->Bounds().top);
    BPoint screen = view->ConvertToScreen(where);

    if (data->hasFormat(kTokenType) && data->data(kTokenType) == sDrag.token && sDrag.message) {
        // This program's own drag: the message itself, with where it landed.
        BMessage* dropped = new BMessage(*sDrag.message);
        MessageDelivery::Reset(dropped);
        dropped->AddPoint("_drop_point_", screen);
        dropped->AddPoint("_drop_offset_", sDrag.offset);
        MessageDelivery::PrepareForDelivery(dropped, &sDrag.replyTo);
        LooperPrivate::Enqueue(window, dropped, view->Token(), false);
        event->acceptProposedAction();
        return;
    }

    // Files, unless the drag also offers the picture itself (another copy of
    // this program offers both): then the view chooses among the data types.
    bool offersImages = false;
    for (const QString& format : data->formats())
        offersImages |= format.startsWith("image/");
    if (data->hasUrls() && !offersImages) {
        BMessage* refs = new BMessage(B_SIMPLE_DATA);
        for (const QUrl& url : data->urls()) {
            if (!url.isLocalFile())
                continue;
            entry_ref ref;
            if (get_ref_for_path(url.toLocalFile().toUtf8().constData(), &ref) == B_OK)
                refs->AddRef("refs", &ref);
        }
        if (!refs->IsEmpty()) {
            refs->AddPoint("_drop_point_", screen);
            refs->AddPoint("_drop_offset_", BPoint(0, 0));
            MessageDelivery::PrepareForDelivery(refs, nullptr);
            LooperPrivate::Enqueue(window, refs, view->Token(), false);
            event->acceptProposedAction();
            return;
        }
        delete refs;
    }

    // Another program's data: offer its types and fetch the one the view asks
    // for, while the drop still holds them.
    BPoint offset(0, 0);
    if (data->hasFormat(kOffsetType)) {
        QList<QByteArray> parts = data->data(kOffsetType).split(',');
        if (parts.size() == 2)
            offset.Set(parts[0].toFloat(), parts[1].toFloat());
    }
    BMessage offer(B_SIMPLE_DATA);
    offer.AddString("be:clip_name", "dropped");
    for (const QString& format : data->formats()) {
        if (format != kTokenType && format != kOffsetType)
            offer.AddString("be:types", format.toUtf8().constData());
    }
    offer.AddPoint("_drop_point_", screen);
    offer.AddPoint("_drop_offset_", offset);
    BMessage choice;
    if (BMessenger(view).SendMessage(&offer, &choice, 5000000, 5000000) != B_OK ||
        choice.what != B_COPY_TARGET)
        return;
    const char* wanted;
    if (choice.FindString("be:types", &wanted) != B_OK || !data->hasFormat(wanted))
        return;
    QByteArray bytes = data->data(wanted);
    BMessage answer(B_MIME_DATA);
    answer.AddData(wanted, B_MIME_TYPE, bytes.constData(), bytes.size(), true, 1);
    BMessenger(view).SendMessage(&answer);
    event->acceptProposedAction();
}

} // namespace BPrivate

void BView::DragMessage(BMessage* message, BRect dragRect, BHandler* replyTo)
{
    if (message)
        BPrivate::DragBridge::StartDrag(this, message, dragRect, replyTo);
}
