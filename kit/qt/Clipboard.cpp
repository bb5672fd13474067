#include <Clipboard.h>

#include <AppDefs.h>
#include <Bitmap.h>
#include <BitmapStream.h>
#include <Entry.h>
#include <Errors.h>
#include <FileExtensions.h>
#include <Message.h>
#include <Messenger.h>

#include "ClipboardServers.h"
#include "DragBridge.h"
#include "DragCache.h"
#include "SelectionReader.h"
#include "WaylandDrop.h"
#include "X11.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QMimeData>
#include <QPointer>
#include <QUrl>

#include <algorithm>
#include <atomic>
#include <map>
#include <mutex>
#include <thread>

#include <fcntl.h>
#include <limits.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace BPrivate {

namespace {

// How long the program waits, as it quits, for its helper to take the
// clipboard over.
const int kHandOverMs = 3000;
// How long a server waits for the reply target to take a request and
// answer it.
const bigtime_t kAskDelivery = 5000000;
const bigtime_t kAskReply = 120000000;

const char* const kUriList = "text/uri-list";
const char* const kCopiedFiles = "x-special/gnome-copied-files";

// A reply target's answers, from the servers' threads: the image types
// as the data of B_MIME_DATA answers, and a PNG file written by the file
// form into a fresh folder of the drag cache, as for a drag.
class OfferSource : public ClipSource
{
public:
    OfferSource(const BMessage& offer, const BMessenger& replyTo) : fReplyTo(replyTo)
    {
        const char* type;
        for (int32 i = 0; offer.FindString("be:types", i, &type) == B_OK; i++) {
            if (strncmp(type, "image/", 6) == 0)
                fTypes.push_back(type);
        }
        for (int32 i = 0; offer.FindString("be:filetypes", i, &type) == B_OK; i++) {
            if (fFileType.empty() || strcmp(type, "image/png") == 0)
                fFileType = type;
        }
        const char* clip;
        fName = offer.FindString("be:clip_name", &clip) == B_OK ? clip : "copied";
        if (!fFileType.empty()) {
            fTypes.push_back(kUriList);
            fTypes.push_back(kCopiedFiles);
        }
    }

    ~OfferSource() override
    {
        if (!fFolder.empty())
            DragCache::RemoveFolder(fFolder);
    }

    const std::vector<std::string>& Types() const override { return fTypes; }

    const std::string* Data(const std::string& type) override
    {
        std::lock_guard<std::mutex> lock(fLock);
        auto known = fMade.find(type);
        if (known != fMade.end())
            return &known->second;
        if (std::find(fTypes.begin(), fTypes.end(), type) == fTypes.end())
            return nullptr;
        std::string made;
        if (type == kUriList || type == kCopiedFiles) {
            std::string uri = _File();
            if (!uri.empty())
                made = type == kUriList ? uri + "\r\n" : "copy\n" + uri;
        } else {
            BMessage request(B_COPY_TARGET);
            request.AddString("be:types", type.c_str());
            BMessage answer;
            const void* data = nullptr;
            ssize_t size = 0;
            if (fReplyTo.SendMessage(&request, &answer, kAskDelivery, kAskReply) == B_OK &&
                answer.FindData(type.c_str(), B_MIME_TYPE, &data, &size) == B_OK)
                made.assign(static_cast<const char*>(data), (size_t)size);
        }
        // A failure is not kept: the next request tries again.
        if (made.empty())
            return nullptr;
        return &(fMade[type] = std::move(made));
    }

private:
    // The file's URI; it is written once.
    std::string _File()
    {
        if (!fUri.empty())
            return fUri;
        fFolder = DragCache::MakeFolder();
        if (fFolder.empty())
            return std::string();
        std::string name = fName + "." + extension_of(fFileType);
        entry_ref directory;
        get_ref_for_path(fFolder.c_str(), &directory);
        BMessage request(B_COPY_TARGET);
        request.AddRef("directory", &directory);
        request.AddString("name", name.c_str());
        request.AddString("be:filetypes", fFileType.c_str());
        BMessage done;
        fReplyTo.SendMessage(&request, &done, kAskDelivery, kAskReply);
        std::string path = fFolder + "/" + name;
        if (access(path.c_str(), R_OK) == 0)
            fUri = QUrl::fromLocalFile(QString::fromStdString(path)).toEncoded().toStdString();
        return fUri;
    }

    static std::string extension_of(const std::string& mime)
    {
        const char* extension = extension_for_mime(mime.c_str());
        return extension ? extension : "img";
    }

    BMessenger fReplyTo;
    std::vector<std::string> fTypes;
    std::string fFileType;
    std::string fName;
    std::mutex fLock;
    std::map<std::string, std::string> fMade;
    std::string fFolder;
    std::string fUri;
};

// The server of the program's own copy, on a thread of its own; it goes when
// its thread ends.
struct Serving
{
    std::unique_ptr<OfferSource> source;
    std::unique_ptr<ClipServer> server;
    int stop[2] = {-1, -1};

    ~Serving()
    {
        server.reset();
        for (int fd : stop) {
            if (fd >= 0)
                close(fd);
        }
    }
};

std::shared_ptr<Serving> sServing;
// Where the program's own server cannot be (a compositor without the
// data-control protocol), Qt's clipboard holds the offer.
QPointer<QMimeData> sOffer;
std::atomic<bool> sFetching{false};

void end_serving()
{
    if (!sServing)
        return;
    if (write(sServing->stop[1], "x", 1) != 1) {
    }
    sServing.reset();
}

// The names of the types a TARGETS answer lists, at most kMaxTargets of them.
const int kMaxTargets = 256;

QStringList x_target_names(const char* display, const QByteArray& atoms)
{
    QStringList names;
    xcb_connection_t* c = xcb_connect(display, nullptr);
    if (xcb_connection_has_error(c)) {
        xcb_disconnect(c);
        return names;
    }
    int count = std::min<int>(kMaxTargets, (int)(atoms.size() / 4));
    std::vector<xcb_get_atom_name_cookie_t> cookies;
    for (int i = 0; i < count; i++) {
        xcb_atom_t atom;
        memcpy(&atom, atoms.constData() + 4 * i, 4);
        cookies.push_back(xcb_get_atom_name(c, atom));
    }
    for (xcb_get_atom_name_cookie_t cookie : cookies) {
        xcb_get_atom_name_reply_t* reply = xcb_get_atom_name_reply(c, cookie, nullptr);
        if (!reply)
            continue;
        names << QString::fromUtf8(xcb_get_atom_name_name(reply),
                                   xcb_get_atom_name_name_length(reply));
        free(reply);
    }
    xcb_disconnect(c);
    return names;
}

// The type to ask for: a picture before files, PNG before other pictures.
QString choose_type(const QStringList& types)
{
    if (types.contains("image/png"))
        return "image/png";
    for (const QString& type : types) {
        if (type.startsWith("image/"))
            return type;
    }
    for (const char* files : {"x-special/gnome-copied-files", "text/uri-list"}) {
        if (types.contains(files))
            return files;
    }
    return QString();
}

// Adds the local files a list names to message as "refs": text/uri-list,
// or GNOME's list whose first line says copy or cut.
void add_refs(BMessage* message, const QString& type, const QByteArray& list)
{
    QList<QByteArray> lines = list.split('\n');
    if (type == "x-special/gnome-copied-files" && !lines.isEmpty())
        lines.removeFirst();
    for (const QByteArray& line : lines) {
        QByteArray entry = line.trimmed();
        if (entry.isEmpty() || entry.startsWith('#'))
            continue;
        QUrl url = QUrl::fromEncoded(entry);
        entry_ref ref;
        if (url.isLocalFile() &&
            get_ref_for_path(url.toLocalFile().toUtf8().constData(), &ref) == B_OK)
            message->AddRef("refs", &ref);
    }
}

// Posts what was read to the target (from any thread) and ends the fetch.
void deliver(const BMessenger& target, const BMessage& fields, const QString& type,
             const QByteArray& bytes)
{
    BMessage message(fields);
    if (!bytes.isEmpty() && type.startsWith("image/")) {
        message.what = B_MIME_DATA;
        if (message.AddData(type.toUtf8().constData(), B_MIME_TYPE, bytes.constData(), bytes.size(),
                            true, 1) == B_OK)
            target.SendMessage(&message);
    } else if (!bytes.isEmpty()) {
        message.what = B_SIMPLE_DATA;
        add_refs(&message, type, bytes);
        type_code code;
        int32 count = 0;
        if (message.GetInfo("refs", &code, &count) == B_OK && count > 0)
            target.SendMessage(&message);
    }
    sFetching = false;
}

SelectionLimits limits_for(const QString& type)
{
    SelectionLimits limits = kPictureTransfer;
    if (!type.startsWith("image/"))
        limits.maxBytes = kMaxFileListBytes;
    return limits;
}

// The helper beside the program (in the build) or in the kit's folder.
std::string keeper_path()
{
    char self[PATH_MAX];
    ssize_t length = readlink("/proc/self/exe", self, sizeof(self) - 1);
    if (length <= 0)
        return std::string();
    self[length] = '\0';
    std::string folder(self);
    folder.erase(folder.rfind('/') + 1);
    for (const std::string& candidate :
         {folder + "tavrin-clipboard", folder + TAVRIN_BIN_TO_KIT + "/tavrin-clipboard"}) {
        if (access(candidate.c_str(), X_OK) == 0)
            return candidate;
    }
    return std::string();
}

// A sealed-off copy of the picture as a bitmap stream, for the helper.
int picture_file(const BBitmap* picture)
{
    int fd = memfd_create("tavrin-clipboard", MFD_CLOEXEC);
    if (fd < 0)
        return -1;
    BBitmapStream stream(const_cast<BBitmap*>(picture));
    off_t size = stream.Size();
    std::vector<char> block(1 << 20);
    bool written = size > 0;
    for (off_t offset = 0; written && offset < size;) {
        ssize_t got = stream.ReadAt(offset, block.data(), block.size());
        written = got > 0 && write(fd, block.data(), (size_t)got) == got;
        offset += got > 0 ? got : 0;
    }
    BBitmap* back = nullptr;
    stream.DetachBitmap(&back);
    if (!written || lseek(fd, 0, SEEK_SET) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

} // namespace

status_t clipboard_offer(const BMessage& offer, BHandler* replyTo)
{
    if (!qApp)
        return B_NO_INIT;
    QMimeData* data = DragBridge::MakeClipboardOffer(offer, BMessenger(replyTo));
    sOffer = data;
    QGuiApplication::clipboard()->setMimeData(data, QClipboard::Clipboard);
    return B_OK;
}

bool clipboard_owns()
{
    return qApp && sOffer &&
           QGuiApplication::clipboard()->mimeData(QClipboard::Clipboard) == sOffer &&
           QGuiApplication::clipboard()->ownsClipboard();
}

status_t clipboard_keep(const BBitmap* picture, const std::vector<std::string>& types)
{
    QString platform = QGuiApplication::platformName();
    if (!clipboard_owns() || !picture || (platform != "xcb" && platform != "wayland"))
        return B_NOT_ALLOWED;
    std::string helper = keeper_path();
    if (helper.empty())
        return B_ENTRY_NOT_FOUND;
    int pixels = picture_file(picture);
    if (pixels < 0)
        return B_NO_MEMORY;
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0) {
        close(pixels);
        return B_ERROR;
    }
    std::vector<std::string> args = {helper, platform == "xcb" ? "--x11" : "--wayland"};
    args.insert(args.end(), types.begin(), types.end());
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);

    // The helper is a session of its own, so that the end of the terminal
    // or the group that started the program does not end the copy too.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pixels, 3);
    posix_spawn_file_actions_adddup2(&actions, report[1], 4);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
    pid_t pid;
    int spawned = posix_spawn(&pid, helper.c_str(), &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    close(pixels);
    close(report[1]);
    if (spawned != 0) {
        close(report[0]);
        return B_ERROR;
    }

    char answer = '0';
    struct pollfd wait = {report[0], POLLIN, 0};
    if (poll(&wait, 1, kHandOverMs) != 1 || read(report[0], &answer, 1) != 1)
        answer = '0';
    close(report[0]);
    if (answer != '1') {
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
        return B_ERROR;
    }
    end_serving();
    // Qt learns that the clipboard has gone to the helper, and so does not
    // hand a clipboard manager its own copy as it ends.
    QElapsedTimer waited;
    waited.start();
    while (QGuiApplication::clipboard()->ownsClipboard() && waited.elapsed() < kHandOverMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    return B_OK;
}

void end_clipboard_serving()
{
    end_serving();
}

status_t clipboard_fetch(const BMessenger& target, const BMessage& fields)
{
    if (!qApp)
        return B_NO_INIT;
    if (sFetching.exchange(true))
        return B_BUSY;
    QString platform = QGuiApplication::platformName();

    if (platform == "xcb") {
        QByteArray display = qgetenv("DISPLAY");
        std::thread([target, fields, display]() {
            const char* name = display.isEmpty() ? nullptr : display.constData();
            QByteArray atoms;
            SelectionLimits small = kPictureTransfer;
            small.maxBytes = kMaxTargets * 4;
            if (read_x_selection(name, 0, "CLIPBOARD", "TARGETS", 0, small, &atoms) != B_OK) {
                sFetching = false;
                return;
            }
            QString type = choose_type(x_target_names(name, atoms));
            QByteArray bytes;
            if (type.isEmpty() || read_x_selection(name, 0, "CLIPBOARD", type.toUtf8().constData(),
                                                   0, limits_for(type), &bytes) != B_OK)
                bytes.clear();
            deliver(target, fields, type, bytes);
        }).detach();
        return B_OK;
    }

    if (platform == "wayland") {
        QString type = choose_type(WaylandDrop::SelectionTypes());
        int fd = type.isEmpty() ? -1 : WaylandDrop::ReceiveSelection(type);
        if (fd < 0) {
            sFetching = false;
            return B_NAME_NOT_FOUND;
        }
        std::thread([target, fields, type, fd]() {
            QByteArray bytes;
            if (read_pipe(fd, limits_for(type), &bytes) != B_OK)
                bytes.clear();
            deliver(target, fields, type, bytes);
        }).detach();
        return B_OK;
    }

    // Elsewhere (offscreen) the clipboard is the program's own.
    const QMimeData* data = QGuiApplication::clipboard()->mimeData(QClipboard::Clipboard);
    QString type = data ? choose_type(data->formats()) : QString();
    QByteArray bytes = type.isEmpty() ? QByteArray() : data->data(type);
    if ((size_t)bytes.size() > limits_for(type).maxBytes)
        bytes.clear();
    deliver(target, fields, type, bytes);
    return B_OK;
}

} // namespace BPrivate
