// The desktop portal's screenshot, against a portal of the test's own on a
// private session bus: what each answer gives, which files are removed, and
// that the event loop turns while the answer is awaited.

#include "qt/Portal.h"

#include "TestApp.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <QUuid>

#include <gtest/gtest.h>

using BPrivate::ScreenshotPortal;

namespace {

const char* const kRequest = "org.freedesktop.portal.Request";

// One request the fake portal made: Close() is recorded.
class FakeRequest : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Request")
public:
    bool closed = false;

public Q_SLOTS:
    void Close() { closed = true; }
};

// Answers Screenshot() as a desktop would, after a delay on the event loop.
class FakePortal : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Screenshot")
public:
    explicit FakePortal(QDBusConnection bus) : fBus(bus) {}

    // What the next request gets: a response code and a URI, or no answer.
    bool answers = true;
    uint response = 0;
    QString uri;
    // An old portal names its request object itself.
    bool ownPath = false;
    // Asks for a second picture while the first is awaited.
    bool askAgain = false;
    status_t againStatus = B_OK;

    int calls = 0;
    QVariantMap options;
    FakeRequest request;

public Q_SLOTS:
    QDBusObjectPath Screenshot(const QString&, const QVariantMap& given, const QDBusMessage& call)
    {
        calls++;
        options = given;
        QString sender = call.service().mid(1).replace('.', '_');
        QString path = "/org/freedesktop/portal/desktop/request/" + sender + "/" +
                       (ownPath ? QString("old") : given.value("handle_token").toString());
        fBus.unregisterObject(path);
        request.closed = false;
        fBus.registerObject(path, &request, QDBusConnection::ExportAllSlots);
        if (answers) {
            // Only a turning event loop delivers the answer.
            QTimer::singleShot(50, this, [this, path]() {
                if (askAgain) {
                    QImage ignored;
                    againStatus = ScreenshotPortal::Take(&ignored);
                }
                QDBusMessage signal = QDBusMessage::createSignal(path, kRequest, "Response");
                QVariantMap results;
                if (response == 0)
                    results.insert("uri", uri);
                signal << response << results;
                fBus.send(signal);
            });
        }
        return QDBusObjectPath(path);
    }

private:
    QDBusConnection fBus;
};

// A session bus of the test's own, which starts no service on demand.
class PortalTest : public testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        test_app();
        sFolder = new QTemporaryDir();
        QString config = sFolder->filePath("bus.conf");
        QFile file(config);
        file.open(QIODevice::WriteOnly);
        file.write("<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration "
                   "1.0//EN\" \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                   "<busconfig><type>session</type><listen>unix:tmpdir=/tmp</listen>"
                   "<auth>EXTERNAL</auth><policy context=\"default\">"
                   "<allow send_destination=\"*\" eavesdrop=\"true\"/><allow eavesdrop=\"true\"/>"
                   "<allow own=\"*\"/></policy></busconfig>\n");
        file.close();
        sBus = new QProcess();
        sBus->start("dbus-daemon", {"--config-file=" + config, "--print-address=1", "--nofork"});
        if (!sBus->waitForReadyRead(5000))
            return;
        QByteArray address = sBus->readLine().trimmed();
        qputenv("DBUS_SESSION_BUS_ADDRESS", address);
        sAddress = new QString(QString::fromUtf8(address));
    }

    static void TearDownTestSuite()
    {
        if (sBus) {
            sBus->kill();
            sBus->waitForFinished();
        }
        delete sBus;
        delete sFolder;
        delete sAddress;
        sBus = nullptr;
        sFolder = nullptr;
        sAddress = nullptr;
    }

    void SetUp() override
    {
        ASSERT_NE(sAddress, nullptr) << "dbus-daemon did not start";
        QDBusConnection::sessionBus();
    }

    // Puts a fake portal on the bus under the portal's name.
    void Serve()
    {
        fBus.reset(new QDBusConnection(
            QDBusConnection::connectToBus(*sAddress, QUuid::createUuid().toString())));
        ASSERT_TRUE(fBus->isConnected());
        fPortal.reset(new FakePortal(*fBus));
        ASSERT_TRUE(fBus->registerObject("/org/freedesktop/portal/desktop", fPortal.get(),
                                         QDBusConnection::ExportAllSlots));
        ASSERT_TRUE(fBus->registerService("org.freedesktop.portal.Desktop"));
    }

    void TearDown() override
    {
        ScreenshotPortal::SetAnswerLimit(120000);
        if (fBus) {
            fBus->unregisterService("org.freedesktop.portal.Desktop");
            QString name = fBus->name();
            fPortal.reset();
            QDBusConnection::disconnectFromBus(name);
            fBus.reset();
        }
    }

    static QString Picture(const QString& path)
    {
        QImage image(3, 2, QImage::Format_RGB32);
        for (int y = 0; y < 2; y++)
            for (int x = 0; x < 3; x++)
                image.setPixel(x, y, qRgb(10 * x, 20 * y, 200));
        image.save(path, "PNG");
        return QUrl::fromLocalFile(path).toString();
    }

    static QTemporaryDir* sFolder;
    static QProcess* sBus;
    static QString* sAddress;
    std::unique_ptr<QDBusConnection> fBus;
    std::unique_ptr<FakePortal> fPortal;
};

QTemporaryDir* PortalTest::sFolder = nullptr;
QProcess* PortalTest::sBus = nullptr;
QString* PortalTest::sAddress = nullptr;

TEST_F(PortalTest, EachAnswerGivesItsResult)
{
    Serve();
    QDir().mkpath(sFolder->filePath("Pictures"));
    QString temporary = QDir::tempPath() + "/tavrin-portal-test-" +
                        QUuid::createUuid().toString(QUuid::WithoutBraces) + ".png";
    QString users = sFolder->filePath("Pictures/shot.png");
    struct Case
    {
        const char* name;
        uint response;
        QString uri;
        bool ownPath;
        status_t status;
        // The file named by uri still exists afterwards.
        bool fileStays;
    } cases[] = {
        {"a file written for us in the temporary folder", 0, Picture(temporary), false, B_OK,
         false},
        {"the user's own file", 0, Picture(users), false, B_OK, true},
        {"an old portal's own request path", 0, Picture(users), true, B_OK, true},
        {"cancelled", 1, QString(), false, B_CANCELED, false},
        {"refused", 2, QString(), false, B_NOT_ALLOWED, false},
        {"a file that is not there", 0,
         QUrl::fromLocalFile(sFolder->filePath("none.png")).toString(), false, B_BAD_DATA, false},
        {"not a file", 0, "https://example.org/shot.png", false, B_BAD_DATA, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fPortal->response = c.response;
        fPortal->uri = c.uri;
        fPortal->ownPath = c.ownPath;
        int calls = fPortal->calls;
        QImage picture;
        EXPECT_EQ(ScreenshotPortal::Take(&picture), c.status);
        EXPECT_EQ(fPortal->calls, calls + 1);
        EXPECT_EQ(fPortal->options.value("interactive").toBool(), false);
        EXPECT_EQ(fPortal->options.value("modal").toBool(), true);
        if (c.status == B_OK) {
            ASSERT_EQ(picture.size(), QSize(3, 2));
            EXPECT_EQ(picture.format(), QImage::Format_RGB32);
            EXPECT_EQ(picture.pixel(2, 1), qRgb(20, 20, 200));
        }
        if (!c.uri.isEmpty() && QUrl(c.uri).isLocalFile()) {
            EXPECT_EQ(QFile::exists(QUrl(c.uri).toLocalFile()), c.fileStays);
        }
    }
}

TEST_F(PortalTest, WithoutAPortalNothingIsTaken)
{
    QImage picture;
    EXPECT_EQ(ScreenshotPortal::Take(&picture), B_NOT_SUPPORTED);
    EXPECT_TRUE(picture.isNull());
}

TEST_F(PortalTest, AnAnswerThatNeverComesEndsTheWaitAndTheRequest)
{
    Serve();
    fPortal->answers = false;
    ScreenshotPortal::SetAnswerLimit(300);
    QImage picture;
    EXPECT_EQ(ScreenshotPortal::Take(&picture), B_TIMED_OUT);
    EXPECT_TRUE(picture.isNull());
    EXPECT_TRUE(run_until([this]() { return fPortal->request.closed; }, 2000))
        << "the request was not closed";
}

TEST_F(PortalTest, ASecondRequestWhileOneIsAwaitedIsRefused)
{
    Serve();
    fPortal->askAgain = true;
    fPortal->uri = Picture(sFolder->filePath("again.png"));
    QImage picture;
    EXPECT_EQ(ScreenshotPortal::Take(&picture), B_OK);
    EXPECT_EQ(fPortal->againStatus, B_BUSY);
    EXPECT_EQ(fPortal->calls, 1);
}

} // namespace

#include "PortalTest.moc"
