// Files that are not regular files (a FIFO, a socket, a device, a folder)
// given by the Open panel or dropped as a URI list: none of them may stop
// the program; each loads nothing and the next reference is tried.

#include <AppDefs.h>
#include <Message.h>

#include "FileFixture.h"
#include "interface/ViewPrivate.h"

#include <QCoreApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <fcntl.h>
#include <mutex>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/xattr.h>
#include <thread>
#include <unistd.h>

namespace {

class FifoTest : public FileTest
{
protected:
    void SetUp() override
    {
        FileTest::SetUp();
        ASSERT_EQ(mkfifo(Path("pipe.png").c_str(), 0600), 0);
        // A folder that carries an address attribute is still no address card.
        ASSERT_EQ(mkdir(Path("folder").c_str(), 0700), 0);
        setxattr(Path("folder").c_str(), "user.META:zip", "1234567", 7, 0);
        fSocket = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address = {};
        address.sun_family = AF_UNIX;
        std::string socketPath = Path("socket.png");
        ASSERT_LT(socketPath.size(), sizeof(address.sun_path));
        strcpy(address.sun_path, socketPath.c_str());
        ASSERT_EQ(bind(fSocket, (sockaddr*)&address, sizeof(address)), 0);
        ASSERT_TRUE(Pattern(30, 20).save(QString::fromStdString(Path("sky.png"))));
    }

    void TearDown() override
    {
        close(fSocket);
        FileTest::TearDown();
    }

    // The paths given, in order: everything that is no regular file, then
    // a picture.
    std::vector<std::string> Paths()
    {
        return {Path("pipe.png"), Path("socket.png"), "/dev/zero", Path("folder"), Path("sky.png")};
    }

    // Should loading hang in the FIFO, a writer opened after a generous bound
    // lets it go on, so that the test fails instead of hanging.
    class Watchdog
    {
    public:
        explicit Watchdog(const std::string& fifo)
            : fThread([this, fifo] {
                  std::unique_lock<std::mutex> hold(fLock);
                  if (fDone.wait_for(hold, std::chrono::seconds(10), [&] { return fFinished; }))
                      return;
                  fRescued = true;
                  int fd = open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
                  if (fd >= 0)
                      close(fd);
              })
        {}

        // True when loading had to be let go.
        bool Stop()
        {
            {
                std::lock_guard<std::mutex> hold(fLock);
                fFinished = true;
            }
            fDone.notify_all();
            if (fThread.joinable())
                fThread.join();
            return fRescued;
        }

        ~Watchdog() { Stop(); }

    private:
        std::mutex fLock;
        std::condition_variable fDone;
        bool fFinished = false;
        std::atomic<bool> fRescued{false};
        std::thread fThread;
    };

    // Waits for the picture to be shown, with the watchdog on the FIFO.
    bool ShowsThePictureWithoutHanging()
    {
        Watchdog watchdog(Path("pipe.png"));
        bool shown =
            run_until([&] { return strcmp(window->Title(), "sky.png[30x20]") == 0; }, 20000);
        bool rescued = watchdog.Stop();
        EXPECT_FALSE(rescued) << "loading waited for a writer to the FIFO";
        return shown && !rescued;
    }

    int fSocket = -1;
};

TEST_F(FifoTest, OpenPanelReferencesSkipWhatIsNoRegularFile)
{
    // The Open panel's answer reaches the view as 'DATA' with "refs".
    BMessage refs(B_SIMPLE_DATA);
    for (const std::string& path : Paths()) {
        entry_ref ref;
        ASSERT_EQ(get_ref_for_path(path.c_str(), &ref), B_OK) << path;
        refs.AddRef("refs", &ref);
    }
    BMessenger(view).SendMessage(&refs);
    EXPECT_TRUE(ShowsThePictureWithoutHanging());
    EXPECT_STREQ(window->Title(), "sky.png[30x20]");
}

TEST_F(FifoTest, EachAloneLoadsNothing)
{
    for (const std::string& path : Paths()) {
        SCOPED_TRACE(path);
        entry_ref ref;
        ASSERT_EQ(get_ref_for_path(path.c_str(), &ref), B_OK);
        Watchdog watchdog(Path("pipe.png"));
        view->load(ref);
        EXPECT_FALSE(watchdog.Stop()) << "loading waited for a writer to the FIFO";
        bool picture = path == Path("sky.png");
        EXPECT_EQ(view->image != nullptr, picture);
    }
}

TEST_F(FifoTest, ADroppedUriListSkipsWhatIsNoRegularFile)
{
    QMimeData data;
    QList<QUrl> urls;
    for (const std::string& path : Paths())
        urls << QUrl::fromLocalFile(QString::fromStdString(path));
    data.setUrls(urls);
    QWidget* widget = BPrivate::ViewBridge::Widget(view);
    ASSERT_NE(widget, nullptr);
    // As a drag from another program arrives: it enters, moves, and drops.
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &enter);
    ASSERT_TRUE(enter.isAccepted());
    QDragMoveEvent move(QPoint(12, 12), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &move);
    QDropEvent drop(QPointF(12, 12), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &drop);
    EXPECT_TRUE(drop.isAccepted());
    EXPECT_TRUE(ShowsThePictureWithoutHanging());
    EXPECT_STREQ(window->Title(), "sky.png[30x20]");
}

} // namespace
