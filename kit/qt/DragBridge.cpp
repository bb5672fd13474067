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
#include "DropData.h"
#include "SelectionReader.h"
#include "WaylandDrop.h"
#include "X11.h"
#include "app/LooperPrivate.h"
#include "app/MessagePrivate.h"
#include "app/StrandScheduler.h"
#include "interface/ViewPrivate.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
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
// Data another program gives for a drop is a picture for the decoders; a
// list of files is text.
const qsizetype kMaxDropBytes = (qsizetype)kPictureTransfer.maxBytes;
const qsizetype kMaxUriListBytes = (qsizetype)kMaxFileListBytes;
// The largest drag offset another copy of the program may state.
const int kMaxOffset = 1 << 30;
// A drag's mark and offset are a few dozen characters.
const qsizetype kMaxMarkBytes = 256;
// How long a view may take to choose among a drop's types.
const bigtime_t kChoiceTimeout = 5000000;

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

// The GNOME file managers' list of copied files, which most others read:
// the action, then one URI a line.
const char* const kCopiedFilesType = "x-special/gnome-copied-files";

QByteArray copied_files(const QByteArray& uriList)
{
    if (uriList.isEmpty())
        return QByteArray();
    return "copy\n" + uriList.trimmed();
}

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
                  BPoint offset, bool clipboard = false)
        : fClipboard(clipboard), fReplyTo(replyTo), fToken(token),
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
        // On the clipboard the file is the one a file manager pastes: no
        // folder is named there, so nothing is written directly.
        if (fClipboard) {
            list << fImageTypes;
            if (!fFileTypes.isEmpty())
                list << "text/uri-list" << kCopiedFilesType;
            return list;
        }
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
        else if (mime == kCopiedFilesType)
            result = copied_files(_FetchFile());
        else if (mime == "application/x-kde-suggestedfilename")
            result = (QString::fromUtf8(fClipName) + "." + extension_for(_FileType())).toUtf8();
        else if (fImageTypes.contains(mime))
            result = _FetchData(mime);
        // A failure is not kept: the next request tries again.
        if (alive && !result.isEmpty()) {
            fCache.insert(mime, result);
        }
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

    // Both lists of files name the one file, written once.
    QByteArray _FetchFile() const
    {
        if (!fFileList.isEmpty())
            return fFileList;
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
        fFileList = QUrl::fromLocalFile(path).toEncoded() + "\r\n";
        return fFileList;
    }

    bool fClipboard;
    BMessenger fReplyTo;
    QByteArray fToken;
    QByteArray fOffset;
    QStringList fImageTypes;
    QStringList fFileTypes;
    QByteArray fClipName;
    mutable QHash<QString, QByteArray> fCache;
    mutable std::string fFolder;
    mutable QByteArray fFileList;
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

// A list of local files in text/uri-list, at most kMaxUriListBytes long.
QList<QUrl> local_files(DropData& dropped)
{
    QList<QUrl> files;
    QByteArray list = dropped.Read("text/uri-list", kMaxUriListBytes);
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

// Collects the one answer to a message. An answer refers back to its
// question, which refers to this: the answer is taken out, and one that
// comes after the asker has stopped waiting is thrown away.
class Answer : public MessageSink
{
public:
    status_t Deliver(BMessage* message) override
    {
        if (fMessage || fClosed) {
            delete message;
            return B_DUPLICATE_REPLY;
        }
        fMessage.reset(message);
        return B_OK;
    }

    bool Came() const { return fMessage != nullptr; }

    std::unique_ptr<BMessage> Close()
    {
        fClosed = true;
        return std::move(fMessage);
    }

private:
    std::unique_ptr<BMessage> fMessage;
    bool fClosed = false;
};

// The view's answer to a drop's offer. The window's strand runs on this
// thread: it is run here, without Qt's events, so that the drop is still
// whole when a view that answers at once has answered. A view that answers
// later is waited for with events running, as long as the time allows.
status_t ask_view(BView* view, const BMessage& offer, BMessage* choice)
{
    BWindow* window = view->Window();
    // A window that waits further up the stack could never answer.
    if (window->IsDispatching())
        return B_MESSAGE_TO_SELF;
    auto answer = std::make_shared<Answer>();
    BMessenger replyTo(answer);
    BMessage* copy = new BMessage(offer);
    MessageDelivery::Reset(copy);
    MessageDelivery::PrepareForDelivery(copy, &replyTo);
    MessageDelivery::SetFlags(copy, MessageDelivery::Flags(copy) | MessageDelivery::kSourceWaiting);
    LooperPrivate::Enqueue(window, copy, view->Token(), false);
    bigtime_t deadline = system_time() + kChoiceTimeout;
    while (!answer->Came() && system_time() < deadline && StrandScheduler::Get()->Drain()) {
    }
    while (!answer->Came() && system_time() < deadline) {
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 20);
    }
    std::unique_ptr<BMessage> got = answer->Close();
    if (!got)
        return B_TIMED_OUT;
    *choice = *got;
    return B_OK;
}

// Hands a dropped message to its view, when the view is still there after
// the waits of the drop; the message is the view's or goes.
bool deliver(const BMessenger& view, BMessage* message, const BMessenger* replyTo)
{
    BLooper* looper = nullptr;
    if (!view.Target(&looper) || !looper) {
        delete message;
        return false;
    }
    MessageDelivery::PrepareForDelivery(message, replyTo);
    return LooperPrivate::Enqueue(looper, message, MessageDelivery::TargetToken(view), false) ==
           B_OK;
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
    // The outline shows the rectangle where it is on the screen, in the
    // window's units, whatever the view counts.
    BRect shown = view->ConvertToParent(rect);
    BPoint held = view->ConvertToParent(pointer);
    QPoint hotSpot((int)(held.x - shown.left), (int)(held.y - shown.top));
    QSize size(pixel_width(shown), pixel_height(shown));
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

QMimeData* DragBridge::MakeClipboardOffer(const BMessage& offer, const BMessenger& replyTo)
{
    return new OfferMimeData(offer, replyTo, QByteArray(), BPoint(0, 0), true);
}

void DragBridge::Shutdown()
{
    WaylandDrop::Stop();
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
    if (!window || !event->mimeData())
        return;
    QWidget* widget = ViewBridge::Widget(view);
    // The unit of the view whose device pixel the drop landed on.
    QPointF inWindow = event->position();
    if (widget)
        inWindow += widget->mapTo(widget->window(), QPoint(0, 0));
    BPoint screen = view->ConvertToScreen(ViewBridge::UnitAt(view, inWindow));
    uint32 xwindow = widget ? (uint32)widget->window()->winId() : 0;
    uint32 dropTime = sDropTimes ? sDropTimes->LastDrop() : 0;
    DropData dropped(event, xwindow, sDropTimes ? &dropTime : nullptr);
    // Reading the drop and asking the view let other handlers run, which may
    // close the window.
    BMessenger target(view);

    // This program's own drag: the message itself, with where it landed. On
    // Wayland Qt knows its own drags, and what comes through the kit's offer
    // is another program's.
    if (dropped.Has(kTokenType) && sDrag.message && !dropped.ThroughWayland() &&
        dropped.ReadMark(kTokenType, kMaxMarkBytes) == sDrag.token) {
        BMessage* message = new BMessage(*sDrag.message);
        MessageDelivery::Reset(message);
        message->AddPoint("_drop_point_", screen);
        message->AddPoint("_drop_offset_", sDrag.offset);
        if (deliver(target, message, &sDrag.replyTo))
            event->acceptProposedAction();
        return;
    }

    // Files, unless the drag also offers the picture itself (another copy of
    // this program offers both): then the view chooses among the data types.
    bool offersImages = false;
    for (const QString& format : dropped.Types())
        offersImages |= format.startsWith("image/");
    if (dropped.Has("text/uri-list") && !offersImages) {
        BMessage* refs = new BMessage(B_SIMPLE_DATA);
        for (const QUrl& url : local_files(dropped)) {
            entry_ref ref;
            if (get_ref_for_path(url.toLocalFile().toUtf8().constData(), &ref) == B_OK)
                refs->AddRef("refs", &ref);
        }
        if (!refs->IsEmpty()) {
            refs->AddPoint("_drop_point_", screen);
            refs->AddPoint("_drop_offset_", BPoint(0, 0));
            if (deliver(target, refs, nullptr))
                event->acceptProposedAction();
            return;
        }
        delete refs;
    }

    // Another program's data: offer its types and fetch the one the view asks
    // for, while the drop still holds them.
    BPoint offset(0, 0);
    if (dropped.Has(kOffsetType) &&
        !parse_offset(dropped.ReadMark(kOffsetType, kMaxMarkBytes), &offset))
        offset.Set(0, 0);
    BMessage offer(B_SIMPLE_DATA);
    offer.AddString("be:clip_name", "dropped");
    for (const QString& format : dropped.Types()) {
        if (format != kTokenType && format != kOffsetType)
            offer.AddString("be:types", format.toUtf8().constData());
    }
    offer.AddPoint("_drop_point_", screen);
    offer.AddPoint("_drop_offset_", offset);
    BMessage choice;
    if (!target.IsValid() || ask_view(view, offer, &choice) != B_OK || choice.what != B_COPY_TARGET)
        return;
    const char* wanted;
    if (choice.FindString("be:types", &wanted) != B_OK || !dropped.Has(wanted))
        return;
    // A view that took its time may find the drop gone: then it gets nothing.
    // The data is copied once, from what was read into the message, which
    // goes to the view as it is.
    BMessage* answer = new BMessage(B_MIME_DATA);
    {
        QByteArray bytes = dropped.Read(wanted, kMaxDropBytes);
        if (bytes.isEmpty() || answer->AddData(wanted, B_MIME_TYPE, bytes.constData(), bytes.size(),
                                               true, 1) != B_OK) {
            delete answer;
            return;
        }
    }
    if (deliver(target, answer, nullptr))
        event->acceptProposedAction();
}

} // namespace BPrivate

void BView::DragMessage(BMessage* message, BRect dragRect, BHandler* replyTo)
{
    if (message)
        BPrivate::DragBridge::StartDrag(this, message, dragRect, replyTo);
}
