// Long work runs off the GUI thread: the window whose handler waits gets its
// messages afterwards and in order, the other loopers and the window's own
// repainting go on meanwhile, and the window shows that it is busy.

#include <DataIO.h>
#include <LongWork.h>
#include <Looper.h>
#include <Message.h>
#include <View.h>
#include <Window.h>

#include "Pixels.h"
#include "TestApp.h"

#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace {

// Blocks the calling (worker) thread until flag is set, for at most 10 s.
bool wait_for(const std::atomic<bool>& flag)
{
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!flag && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    return flag;
}

class Worker : public BWindow
{
public:
    Worker() : BWindow(BRect(100, 100, 259, 219), "worker", B_DOCUMENT_WINDOW, 0)
    {
        BView* view = new BView(Bounds(), "red", B_FOLLOW_ALL, B_WILL_DRAW);
        view->SetViewColor(200, 30, 30);
        AddChild(view);
    }

    void MessageReceived(BMessage* message) override
    {
        if (message->what != 'work') {
            log.push_back(std::string("message ") + std::to_string(message->what & 0xff));
            return;
        }
        log.push_back("work starts");
        status_t status = BPrivate::run_long_work(
            [this]() {
                onThread = std::this_thread::get_id() != gui;
                return wait_for(release) ? B_OK : B_TIMED_OUT;
            },
            [this]() { return fraction.load(); });
        log.push_back(status == B_OK ? "work ends" : "work failed");
        finished = true;
    }

    std::vector<std::string> log;
    std::thread::id gui = std::this_thread::get_id();
    std::atomic<bool> release{false};
    std::atomic<bool> finished{false};
    std::atomic<bool> onThread{false};
    std::atomic<float> fraction{-1};
};

class Other : public BLooper
{
public:
    Other() : BLooper("other") {}
    void MessageReceived(BMessage* message) override { handled++; }
    std::atomic<int> handled{0};
};

class LongWorkTest : public ::testing::Test
{
protected:
    void SetUp() override { test_app(); }
};

TEST_F(LongWorkTest, TheWaitingWindowKeepsItsOrderWhileOthersRun)
{
    Worker* window = new Worker;
    window->Show();
    Other* other = new Other;
    other->Run();
    ASSERT_TRUE(run_until([&] { return grab_window(window).pixel(5, 5) == qRgb(200, 30, 30); }));

    window->PostMessage('work');
    window->PostMessage(uint32('nex1'));
    window->PostMessage(uint32('nex2'));
    // While the work waits, another looper handles a message and the
    // window still repaints; only then is the work let go.
    bool repainted = false;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, [&]() {
        if (window->log.empty() || window->finished)
            return;
        if (other->handled == 0) {
            other->PostMessage('ping');
            return;
        }
        repainted = grab_window(window).pixel(5, 5) == qRgb(200, 30, 30);
        window->release = true;
    });
    check.start(10);
    ASSERT_TRUE(run_until([&] { return window->finished && window->log.size() == 4; }));
    check.stop();

    EXPECT_TRUE(window->onThread);
    EXPECT_TRUE(repainted);
    EXPECT_GE(other->handled, 1);
    std::vector<std::string> expected = {"work starts", "work ends", "message 49", "message 50"};
    EXPECT_EQ(window->log, expected);
    window->Lock();
    window->Quit();
    other->Lock();
    other->Quit();
}

TEST_F(LongWorkTest, LongWorkShowsABusyCursorThenProgressAndBothGoAway)
{
    Worker* window = new Worker;
    window->Show();
    ASSERT_TRUE(run_until([&] { return grab_window(window).pixel(5, 5) == qRgb(200, 30, 30); }));

    window->fraction = 0.25f;
    window->PostMessage('work');
    bool sawBusy = false, sawProgress = false, busyBeforeProgress = false;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, [&]() {
        bool busy = BPrivate::window_shows_busy(window);
        bool progress = BPrivate::window_shows_progress(window);
        if (busy && !sawProgress && !progress)
            busyBeforeProgress = true;
        sawBusy = sawBusy || busy;
        sawProgress = sawProgress || progress;
        if (sawBusy && sawProgress)
            window->release = true;
    });
    check.start(10);
    ASSERT_TRUE(run_until([&] { return window->finished.load(); }, 15000));
    check.stop();

    EXPECT_TRUE(sawBusy);
    EXPECT_TRUE(busyBeforeProgress);
    EXPECT_TRUE(sawProgress);
    EXPECT_FALSE(BPrivate::window_shows_busy(window));
    EXPECT_FALSE(BPrivate::window_shows_progress(window));
    window->Lock();
    window->Quit();
}

TEST_F(LongWorkTest, ShortWorkLeavesNoTraceAndAnswersItsStatus)
{
    Worker* window = new Worker;
    window->Show();
    window->release = true;
    window->PostMessage('work');
    bool everBusy = false;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout,
                     [&]() { everBusy = everBusy || BPrivate::window_shows_busy(window); });
    check.start(5);
    ASSERT_TRUE(run_until([&] { return window->finished.load(); }));
    check.stop();
    EXPECT_FALSE(everBusy);
    EXPECT_EQ(window->log.back(), "work ends");

    // Off the GUI thread the work simply runs there; an exception is an error.
    status_t status = B_OK;
    std::thread([&]() {
        status = BPrivate::run_long_work([]() -> status_t { throw std::bad_alloc(); });
    }).join();
    EXPECT_EQ(status, B_NO_MEMORY);
    window->Lock();
    window->Quit();
}

} // namespace

namespace {

TEST(WatchedIOTest, TellsHowFarTheReadsHaveCome)
{
    std::vector<char> data(1000, 'x');
    BMemoryIO memory(data.data(), data.size());
    BPrivate::WatchedIO watched(&memory);
    char buffer[400];
    EXPECT_EQ(watched.Fraction(), 0.0f);
    EXPECT_EQ(watched.Read(buffer, 250), 250);
    EXPECT_FLOAT_EQ(watched.Fraction(), 0.25f);
    EXPECT_EQ(watched.Position(), 250);
    // Going back does not undo what was reached; reading further does.
    EXPECT_EQ(watched.Seek(0, SEEK_SET), 0);
    EXPECT_EQ(watched.Read(buffer, 100), 100);
    EXPECT_FLOAT_EQ(watched.Fraction(), 0.25f);
    EXPECT_EQ(watched.ReadAt(900, buffer, 400), 100);
    EXPECT_FLOAT_EQ(watched.Fraction(), 1.0f);
    // Writes pass through and count for nothing.
    EXPECT_EQ(watched.WriteAt(0, "y", 1), 1);
    EXPECT_EQ(data[0], 'y');

    BMallocIO growing;
    BPrivate::WatchedIO unknown(&growing);
    EXPECT_EQ(unknown.Fraction(), -1.0f);
}

} // namespace
