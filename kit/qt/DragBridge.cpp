#include "DragBridge.h"

#include <AppDefs.h>
#include <Directory.h>
#include <Entry.h>
#include <FileExtensions.h>
#include <Message.h>
#include <Messenger.h>
#include <PixelSize.h>
#include <View.h>
#include <Window.h>

#include "DirectSave.h"
#include "DragCache.h"
#include "SelectionReader.h"
#include "X11.h"
#include "app/LooperPrivate.h"
#include "app/MessagePrivate.h"
#include "interface/ViewPrivate.h"

#include <QAbstractNativeEventFilter>
#include <QDrag>
#include <QDropEvent>
#include <QFile>
#include <QGuiApplication>
#include <QMimeData>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QStandardPaths>
#include <QTimer>
#include <QUrl>

#include <LongWork.h>
#include <TranslationDefs.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <xcb/xcb.h>

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

// After a drop the target may still ask for data or copy the file it was
// given; the drag's answers and files stay this long (or until the next
// drag, or the end of the program).
const int kDragGraceMs = 60 * 1000;
// Data another program gives for a drop is a picture for the decoders, who
// take none larger than their limit; a megabyte more leaves room for the
// file's own headers and tables. A list of files is text and is kept small.
const qsizetype kMaxDropBytes = qsizetype(B_TRANSLATION_MAX_PIXEL_BYTES) + (1 << 20);
const qsizetype kMaxUriListBytes = 1 << 20;
// The largest drag offset another copy of the program may state.
const int kMaxOffset = 1 << 30;
// A drag's mark and offset are a few dozen characters.
const qsizetype kMaxMarkBytes = 256;
// A program that sends nothing for this long while it gives a drop's data,
// or is not done after the second time, is given up.
const int kDropIdleMs = 5 * 1000;
const int kDropTotalMs = 60 * 1000;

// Folders of drags that are over, kept a while for their targets to copy.
std::vector<std::string> sRetiredFolders;

void remove_retired_folder(const std::string& folder)
{
    auto it = std::find(sRetiredFolders.begin(), sRetiredFolders.end(), folder);
    if (it == sRetiredFolders.end())
        return;
    sRetiredFolders.erase(it);
    DragCache::RemoveFolder(folder);
}

void retire_folder(const std::string& folder)
{
    sRetiredFolders.push_back(folder);
    if (qApp)
        QTimer::singleShot(kDragGraceMs, qApp, [folder]() { remove_retired_folder(folder); });
}

void remove_retired_folders()
{
    for (const std::string& folder : sRetiredFolders)
        DragCache::RemoveFolder(folder);
    sRetiredFolders.clear();
}

// True while any mouse button is down, as far as both Qt and the X server
// know: a release that Qt has already handled, or that is still on its way,
// counts.
bool button_held(QWidget* widget)
{
    if (QGuiApplication::mouseButtons() == Qt::NoButton)
        return false;
    xcb_connection_t* connection = x11_connection();
    if (!connection)
        return true;
    xcb_query_pointer_reply_t* pointer = xcb_query_pointer_reply(
        connection, xcb_query_pointer(connection, (xcb_window_t)widget->window()->winId()),
        nullptr);
    if (!pointer)
        return true;
    bool held = (pointer->mask & (XCB_BUTTON_MASK_1 | XCB_BUTTON_MASK_2 | XCB_BUTTON_MASK_3 |
                                  XCB_BUTTON_MASK_4 | XCB_BUTTON_MASK_5)) != 0;
    free(pointer);
    return held;
}

// Sees every move of the pointer during a drag before the drag does, so that
// the drag's list of types fits the window it is about to enter.
class TargetWatch : public QObject
{
public:
    bool eventFilter(QObject* object, QEvent* event) override
    {
        if (event->type() == QEvent::MouseMove && object->isWindowType())
            DirectSave::FitTypesToTarget();
        return false;
    }
};

QString extension_for(const QString& mime)
{
    const char* extension = extension_for_mime(mime.toUtf8().constData());
    return extension ? extension : "img";
}

// The offer seen by other programs: the image types and a file, produced
// only when a target asks, by asking the drag's reply target.
class OfferMimeData : public QMimeData
{
public:
    OfferMimeData(const BMessage& offer, const BMessenger& replyTo, const QByteArray& token,
                  BPoint offset)
        : fReplyTo(replyTo), fToken(token),
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

    // The drag is over, but the target may not have copied its file yet.
    ~OfferMimeData() override
    {
        if (!fFolder.empty())
            retire_folder(fFolder);
    }

    QStringList formats() const override
    {
        QStringList list;
        list << kTokenType << kOffsetType << fImageTypes;
        // File managers that can name the file in their folder get it
        // written there directly; the others get a file from the cache.
        if (!fFileTypes.isEmpty())
            list << DirectSave::kFormat << "text/uri-list"
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
        // Each drop on a file manager is a file of its own.
        if (mime == DirectSave::kFormat)
            return _SaveDirectly();
        // Every program that asks gets the same answer, however often and
        // in whatever order it asks: each type is produced once per drag.
        if (fCache.contains(mime))
            return fCache.value(mime);
        // Qt may end the drag, and delete it with this data, while the
        // answer is made (on Wayland, when the target lets go of the drop):
        // then nothing of this is touched again.
        QPointer<const OfferMimeData> alive(this);
        QByteArray result;
        if (mime == "text/uri-list")
            result = _FetchFile();
        else if (mime == "application/x-kde-suggestedfilename")
            result = (QString::fromUtf8(fClipName) + "." + extension_for(_FileType())).toUtf8();
        else if (fImageTypes.contains(mime))
            result = _FetchData(mime);
        if (alive)
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
        if (fReplyTo.SendMessage(&request, &answer, 5000000, 20000000) != B_OK)
            return QByteArray();
        const void* data = nullptr;
        ssize_t size = 0;
        if (answer.FindData(mime.toUtf8().constData(), B_MIME_TYPE, &data, &size) != B_OK)
            return QByteArray();
        return QByteArray(static_cast<const char*>(data), (int)size);
    }

public:
    QString SuggestedName() const
    {
        return QString::fromUtf8(fClipName) + "." + extension_for(_FileType());
    }

private:
    // The file manager has put the file's URI in the drag's property: the
    // file is written there, under a free name, and the answer says how it
    // went ("S" saved, "E" error).
    QByteArray _SaveDirectly() const
    {
        QString folder, name;
        if (_FileType().isEmpty() || !DirectSave::Chosen(&folder, &name) || name.contains('/'))
            return "E";
        // A file of that name stays as it is: the new one takes a free name
        // beside it ("name 2.png", ...), reserved before it is written.
        QString stem = name, extension;
        int dot = name.lastIndexOf('.');
        if (dot > 0) {
            stem = name.left(dot);
            extension = name.mid(dot);
        }
        QString chosen;
        for (int n = 1; n < 1000 && chosen.isEmpty(); n++) {
            QString candidate = n == 1 ? name : stem + " " + QString::number(n) + extension;
            QByteArray path = (folder + "/" + candidate).toUtf8();
            int fd =
                open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
            if (fd >= 0) {
                close(fd);
                chosen = candidate;
            } else if (errno != EEXIST) {
                return "E";
            }
        }
        if (chosen.isEmpty())
            return "E";
        entry_ref directory;
        get_ref_for_path(folder.toUtf8().constData(), &directory);
        BMessage request(B_COPY_TARGET);
        request.AddRef("directory", &directory);
        request.AddString("name", chosen.toUtf8().constData());
        request.AddString("be:filetypes", _FileType().toUtf8().constData());
        BMessage done;
        fReplyTo.SendMessage(&request, &done, 5000000, 20000000);
        QByteArray path = (folder + "/" + chosen).toUtf8();
        struct stat status;
        if (stat(path.constData(), &status) == 0 && status.st_size > 0)
            return "S";
        unlink(path.constData());
        return "E";
    }

    QByteArray _FetchFile() const
    {
        // A fresh private folder under the user's cache, which sandboxed
        // targets can read; it goes when the drag is over.
        fFolder = DragCache::MakeFolder();
        if (fFolder.empty())
            return QByteArray();
        QString folder = QString::fromStdString(fFolder);
        QString name = QString::fromUtf8(fClipName) + "." + extension_for(_FileType());
        entry_ref directory;
        get_ref_for_path(folder.toUtf8().constData(), &directory);
        BMessage request(B_COPY_TARGET);
        request.AddRef("directory", &directory);
        request.AddString("name", name.toUtf8().constData());
        request.AddString("be:filetypes", _FileType().toUtf8().constData());
        // The file form has no answer: the request is done when the handler has run.
        BMessage done;
        fReplyTo.SendMessage(&request, &done, 5000000, 20000000);
        QString path = folder + "/" + name;
        if (!QFile::exists(path))
            return QByteArray();
        return QUrl::fromLocalFile(path).toEncoded() + "\r\n";
    }

    BMessenger fReplyTo;
    QByteArray fToken;
    QByteArray fOffset;
    QStringList fImageTypes;
    QStringList fFileTypes;
    QByteArray fClipName;
    mutable QHash<QString, QByteArray> fCache;
    mutable std::string fFolder;
};

// Ends the drag that was: its answers are no longer given, and the files of
// every drag that is over go.
void end_drag()
{
    if (sDrag.drag) {
        delete sDrag.drag.data();
        DirectSave::Withdraw();
    }
    sDrag.drag = nullptr;
    remove_retired_folders();
}

// The time of the last drop another program made on one of our windows
// (XdndDrop), which the data it gives for the drop is asked with.
class DropTimes : public QAbstractNativeEventFilter
{
public:
    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override
    {
        if (type != "xcb_generic_event_t")
            return false;
        auto* event = static_cast<xcb_generic_event_t*>(message);
        if ((event->response_type & ~0x80) != XCB_CLIENT_MESSAGE)
            return false;
        auto* client = reinterpret_cast<xcb_client_message_event_t*>(event);
        if (client->format == 32 && client->type == _DropAtom())
            fLastDrop = client->data.data32[2];
        return false;
    }

    uint32 LastDrop() const { return fLastDrop; }

private:
    xcb_atom_t _DropAtom()
    {
        if (fDropAtom == XCB_ATOM_NONE) {
            xcb_connection_t* c = x11_connection();
            if (!c)
                return XCB_ATOM_NONE;
            fDropAtom = intern_atom(c, "XdndDrop");
        }
        return fDropAtom;
    }

    xcb_atom_t fDropAtom = XCB_ATOM_NONE;
    uint32 fLastDrop = XCB_CURRENT_TIME;
};

DropTimes* sDropTimes = nullptr;

void watch_drop_times()
{
    if (sDropTimes || QGuiApplication::platformName() != QLatin1String("xcb"))
        return;
    sDropTimes = new DropTimes;
    qApp->installNativeEventFilter(sDropTimes);
}

// What another program gives for a drop in one type, at most limit bytes.
// On X11 it is read through a connection of its own on a worker thread,
// taking no more than the limit whatever the program claims or sends, and
// giving up on a program that stalls; meanwhile every window goes on. Data
// of this program's own drags comes straight from the drag. The request
// comes from inside window, the window the drop landed on.
QByteArray foreign_data(QDropEvent* event, uint32 window, const QString& type, qsizetype limit)
{
    const QMimeData* data = event->mimeData();
    if (!data->hasFormat(type))
        return QByteArray();
    QByteArray bytes;
    if (event->source() != nullptr || !sDropTimes) {
        bytes = data->data(type);
        return bytes.size() > limit ? QByteArray() : bytes;
    }
    QByteArray name = type.toUtf8();
    QByteArray display = qgetenv("DISPLAY");
    uint32 time = sDropTimes->LastDrop();
    SelectionLimits limits = {(size_t)limit, kDropIdleMs, kDropTotalMs};
    status_t status = run_long_work([&]() {
        return read_x_selection(display.isEmpty() ? nullptr : display.constData(), window,
                                "XdndSelection", name.constData(), time, limits, &bytes);
    });
    return status == B_OK ? bytes : QByteArray();
}

// A list of local files in text/uri-list, at most kMaxUriListBytes long.
QList<QUrl> local_files(QDropEvent* event, uint32 window)
{
    QList<QUrl> files;
    QByteArray list = foreign_data(event, window, "text/uri-list", kMaxUriListBytes);
    if (list.size() > kMaxUriListBytes)
        return files;
    for (const QByteArray& line : list.split('\n')) {
        QByteArray entry = line.trimmed();
        if (entry.isEmpty() || entry.startsWith('#'))
            continue;
        QUrl url = QUrl::fromEncoded(entry);
        if (url.isLocalFile())
            files << url;
    }
    return files;
}

// The offset "x,y" another copy of the program states, when it is two
// whole numbers in range.
bool parse_offset(const QByteArray& text, BPoint* offset)
{
    QList<QByteArray> parts = text.split(',');
    if (parts.size() != 2)
        return false;
    bool xOk, yOk;
    int x = parts[0].trimmed().toInt(&xOk);
    int y = parts[1].trimmed().toInt(&yOk);
    if (!xOk || !yOk || std::abs(x) > kMaxOffset || std::abs(y) > kMaxOffset)
        return false;
    offset->Set((float)x, (float)y);
    return true;
}

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
    QSize size(pixel_width(rect), pixel_height(rect));
    // The real drag starts once the handler that asked for it has returned.
    BPoint offset = sDrag.offset;
    BMessenger target = sDrag.replyTo;
    QTimer::singleShot(0, widget, [widget, offer, target, token, hotSpot, size, offset]() {
        // The previous drag is over by now, whatever its target still wanted.
        end_drag();
        // A press and release in quick succession (a tap) may be over before
        // this runs: a drag started now would stick to the pointer until the
        // next click dropped it.
        if (!button_held(widget))
            return;
        QDrag* drag = new QDrag(widget);
        drag->setMimeData(new OfferMimeData(offer, target, token, offset));
        QPixmap outline(size.boundedTo(QSize(4096, 4096)).expandedTo(QSize(1, 1)));
        outline.fill(Qt::transparent);
        QPainter painter(&outline);
        painter.setPen(QColor(0, 0, 0));
        painter.drawRect(0, 0, outline.width() - 1, outline.height() - 1);
        painter.end();
        drag->setPixmap(outline);
        drag->setHotSpot(hotSpot);
        sDrag.drag = drag;
        // The direct-save name goes on the drag's window once the drag has
        // begun (the window is the one that owns the drag's selection).
        // The drag watches the pointer through a filter of its own, and the
        // newest filter sees events first: the watch is set up once the drag
        // has, so that it runs ahead of the drag.
        QString suggested = static_cast<OfferMimeData*>(drag->mimeData())->SuggestedName();
        QPointer<TargetWatch> watch(new TargetWatch);
        QTimer::singleShot(0, qApp, [suggested, watch]() {
            if (!DirectSave::Suggest(suggested) || !watch)
                return;
            DirectSave::FitTypesToTarget();
            qApp->installEventFilter(watch);
        });
        // The drag keeps its data after exec() returns: targets may ask late,
        // and a file manager copies the file it was given after the drop.
        drag->exec(Qt::CopyAction);
        delete watch.data();
        QPointer<QDrag> ended(drag);
        QTimer::singleShot(kDragGraceMs, qApp, [ended]() {
            if (ended && sDrag.drag == ended)
                end_drag();
        });
    });
}

void DragBridge::Shutdown()
{
    end_drag();
    delete sDrag.message;
    sDrag.message = nullptr;
}

void DragBridge::SweepCache()
{
    // Folders of drags that ended with a run that did not end cleanly.
    DragCache::Sweep(24 * 60 * 60);
}

void DragBridge::SetObserver(std::function<void(const BMessage&, BRect)> observer)
{
    sObserver = std::move(observer);
}

bool DragBridge::CanAccept(const QMimeData* data)
{
    watch_drop_times();
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
    QWidget* widget = ViewBridge::Widget(view);
    uint32 xwindow = widget ? (uint32)widget->window()->winId() : 0;

    if (data->hasFormat(kTokenType) && sDrag.message &&
        foreign_data(event, xwindow, kTokenType, kMaxMarkBytes) == sDrag.token) {
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
        for (const QUrl& url : local_files(event, xwindow)) {
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
    if (data->hasFormat(kOffsetType) &&
        !parse_offset(foreign_data(event, xwindow, kOffsetType, kMaxMarkBytes), &offset))
        offset.Set(0, 0);
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
    // The data is copied once, from Qt's buffer into the message, which goes
    // to the view as it is.
    BMessage* answer = new BMessage(B_MIME_DATA);
    {
        QByteArray bytes = foreign_data(event, xwindow, wanted, kMaxDropBytes);
        if (bytes.isEmpty() || answer->AddData(wanted, B_MIME_TYPE, bytes.constData(), bytes.size(),
                                               true, 1) != B_OK) {
            delete answer;
            return;
        }
    }
    MessageDelivery::PrepareForDelivery(answer, nullptr);
    LooperPrivate::Enqueue(window, answer, view->Token(), false);
    event->acceptProposedAction();
}

} // namespace BPrivate

void BView::DragMessage(BMessage* message, BRect dragRect, BHandler* replyTo)
{
    if (message)
        BPrivate::DragBridge::StartDrag(this, message, dragRect, replyTo);
}
