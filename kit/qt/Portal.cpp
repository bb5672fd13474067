#include "Portal.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QDateTime>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QTimer>
#include <QUrl>

#include <sys/stat.h>
#include <unistd.h>

namespace BPrivate {

namespace {

const char* const kService = "org.freedesktop.portal.Desktop";
const char* const kPath = "/org/freedesktop/portal/desktop";
const char* const kScreenshot = "org.freedesktop.portal.Screenshot";
const char* const kRequest = "org.freedesktop.portal.Request";

int sAnswerLimit = 120000;
bool sWaiting = false;
int sSerial = 0;

// The portal answers a request with a Response signal on the request's own
// object; this catches it and ends the wait.
class Answer : public QObject
{
    Q_OBJECT
public:
    explicit Answer(QEventLoop* loop) : fLoop(loop) {}

    bool answered = false;
    uint response = 2;
    QVariantMap results;

public Q_SLOTS:
    void Response(uint code, const QVariantMap& values)
    {
        answered = true;
        response = code;
        results = values;
        fLoop->quit();
    }

private:
    QEventLoop* fLoop;
};

// Where the portal will put the request for this handle token: fixed by the
// portal interface, so that the answer can be listened for before asking.
QString request_path(const QDBusConnection& bus, const QString& token)
{
    QString sender = bus.baseService();
    sender.remove(0, sender.startsWith(':') ? 1 : 0);
    sender.replace('.', '_');
    return QString(kPath) + "/request/" + sender + "/" + token;
}

// A file the portal wrote for this request alone: a regular file of ours,
// written since the request began, directly in a temporary folder. Anything
// else (a Pictures folder, a file the document portal exports) is the user's.
bool written_for_us(const QString& path, const QDateTime& asked)
{
    QFileInfo info(path);
    QString folder = info.absolutePath();
    if (folder != QDir::tempPath() && folder != QLatin1String("/tmp") &&
        folder != QLatin1String("/var/tmp"))
        return false;
    struct stat status;
    if (lstat(QFile::encodeName(path).constData(), &status) != 0)
        return false;
    if (!S_ISREG(status.st_mode) || status.st_uid != geteuid())
        return false;
    // File times may lag the clock by a tick of the file system.
    return info.lastModified() >= asked.addSecs(-2);
}

status_t status_for_error(const QDBusError& error)
{
    switch (error.type()) {
    case QDBusError::ServiceUnknown:
    case QDBusError::UnknownObject:
    case QDBusError::UnknownInterface:
    case QDBusError::UnknownMethod:
    case QDBusError::Disconnected:
        return B_NOT_SUPPORTED;
    case QDBusError::AccessDenied:
        return B_NOT_ALLOWED;
    case QDBusError::Timeout:
    case QDBusError::NoReply:
        return B_TIMED_OUT;
    default:
        return B_NOT_SUPPORTED;
    }
}

status_t read_picture(const QString& uri, const QDateTime& asked, QImage* picture)
{
    QUrl url(uri);
    if (!url.isLocalFile())
        return B_BAD_DATA;
    QString path = url.toLocalFile();
    QImageReader reader(path);
    // A desktop of several large monitors passes Qt's default limit.
    reader.setAllocationLimit(2048);
    QImage image = reader.read();
    if (written_for_us(path, asked))
        QFile::remove(path);
    if (image.isNull())
        return B_BAD_DATA;
    *picture = image.convertToFormat(QImage::Format_RGB32);
    return picture->isNull() ? B_NO_MEMORY : B_OK;
}

} // namespace

status_t ScreenshotPortal::Take(QImage* picture, bool interactive)
{
    if (sWaiting)
        return B_BUSY;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return B_NOT_SUPPORTED;

    sWaiting = true;
    QEventLoop loop;
    Answer answer(&loop);
    QString token = QString("tavrin%1_%2").arg(getpid()).arg(++sSerial);
    QString handle = request_path(bus, token);
    bus.connect(kService, handle, kRequest, "Response", &answer, SLOT(Response(uint, QVariantMap)));

    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kScreenshot, "Screenshot");
    QVariantMap options;
    options.insert("handle_token", token);
    options.insert("modal", true);
    options.insert("interactive", interactive);
    // No parent window: ours is hidden while the picture is taken.
    call << QString() << options;
    QDateTime asked = QDateTime::currentDateTime();
    QDBusPendingCallWatcher watcher(bus.asyncCall(call));

    status_t failure = B_OK;
    QObject::connect(&watcher, &QDBusPendingCallWatcher::finished, &loop, [&]() {
        QDBusPendingReply<QDBusObjectPath> reply = watcher;
        if (reply.isError()) {
            failure = status_for_error(reply.error());
            loop.quit();
            return;
        }
        // A portal older than the handle token names its own request object.
        QString actual = reply.value().path();
        if (actual != handle && !answer.answered) {
            bus.disconnect(kService, handle, kRequest, "Response", &answer,
                           SLOT(Response(uint, QVariantMap)));
            handle = actual;
            bus.connect(kService, handle, kRequest, "Response", &answer,
                        SLOT(Response(uint, QVariantMap)));
        }
    });
    // A portal that goes away mid-request will never answer.
    QDBusServiceWatcher vanish(kService, bus, QDBusServiceWatcher::WatchForUnregistration);
    QObject::connect(&vanish, &QDBusServiceWatcher::serviceUnregistered, &loop, [&]() {
        failure = B_NOT_SUPPORTED;
        loop.quit();
    });
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, &loop, [&]() {
        failure = B_TIMED_OUT;
        loop.quit();
    });
    limit.start(sAnswerLimit);

    loop.exec();

    bus.disconnect(kService, handle, kRequest, "Response", &answer,
                   SLOT(Response(uint, QVariantMap)));
    sWaiting = false;

    if (!answer.answered) {
        // Take down a dialog that may still be showing.
        if (watcher.isFinished() && !watcher.isError()) {
            bus.call(QDBusMessage::createMethodCall(kService, handle, kRequest, "Close"),
                     QDBus::NoBlock);
        }
        return failure != B_OK ? failure : B_CANCELED;
    }
    switch (answer.response) {
    case 0:
        return read_picture(answer.results.value("uri").toString(), asked, picture);
    case 1:
        return B_CANCELED;
    default:
        return B_NOT_ALLOWED;
    }
}

void ScreenshotPortal::SetAnswerLimit(int milliseconds)
{
    sAnswerLimit = milliseconds;
}

} // namespace BPrivate

#include "Portal.moc"
