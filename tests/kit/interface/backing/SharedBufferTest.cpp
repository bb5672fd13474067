// A view without children draws straight into the buffer its window is shown
// from, as the platform shows it: the view keeps no pixels of its own, what it
// draws is on the screen at once, and whatever the platform paints again of
// it (a new buffer for a new size, the view shown again) it draws again.

#include <Handler.h>
#include <LongWork.h>
#include <Messenger.h>
#include <ScrollBar.h>
#include <View.h>
#include <Window.h>

#include "PatternView.h"
#include "TestApp.h"
#include "interface/ViewPrivate.h"
#include "interface/WindowPrivate.h"

#include <QBackingStore>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <QtGui/qpa/qplatformbackingstore.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>

namespace {

using BPrivate::ViewBridge;

// What the screen shows of a view's widget: the platform's own copy of its
// window, not the kit's.
QImage on_screen(BView* view)
{
    QWidget* widget = ViewBridge::Widget(view);
    QWidget* window = widget->window();
    QImage shown = window->screen()->grabWindow(window->winId()).toImage();
    QPoint at = widget->mapTo(window, QPoint(0, 0));
    return shown.copy(QRect(at, widget->size())).convertToFormat(QImage::Format_RGB32);
}

// The window buffer's memory, as the platform holds it.
std::pair<const uchar*, const uchar*> buffer_memory(BView* view)
{
    QBackingStore* store = ViewBridge::Widget(view)->window()->backingStore();
    if (!store || !store->handle() || !store->handle()->paintDevice())
        return {nullptr, nullptr};
    auto* image = static_cast<QImage*>(store->handle()->paintDevice());
    return {image->constBits(), image->constBits() + image->sizeInBytes()};
}

QRect widget_screen(BView* view)
{
    return ViewBridge::Widget(view)->screen()->geometry();
}

bool inside_buffer(BView* view)
{
    auto [begin, end] = buffer_memory(view);
    const QImage& store = ViewBridge::Data(view)->backing;
    return begin && !store.isNull() && store.constBits() >= begin &&
           store.constBits() + store.bytesPerLine() * (store.height() - 1) + store.width() * 4 <=
               end;
}

class SharedBufferTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        test_app();
        window = new BWindow(BRect(50, 50, 449, 349), "shared", B_TITLED_WINDOW, 0);
        view = new PatternView(window->Bounds());
        window->AddChild(view);
        window->Show();
        ASSERT_TRUE(run_until([this]() { return !view->updates.empty(); }));
        settle_window(window);
    }
    void TearDown() override
    {
        BMessenger messenger(window);
        window->Lock();
        window->Quit();
        run_until([&] { return !messenger.IsValid(); });
    }
    // Whether the screen shows the pattern on the whole view, waiting for the
    // platform's next painting.
    bool ShowsPattern()
    {
        return run_until([this]() {
            QImage shown = on_screen(view);
            return wrong_pixels(shown, view->Bounds(), shown.rect()) == 0;
        });
    }

    BWindow* window = nullptr;
    PatternView* view = nullptr;
};

TEST_F(SharedBufferTest, AViewWithoutChildrenDrawsIntoItsWindowsBuffer)
{
    EXPECT_TRUE(ViewBridge::Shares(view));
    EXPECT_TRUE(inside_buffer(view)) << "the view keeps a copy of its own";
    EXPECT_EQ(ViewBridge::BackingArea(view), QRect(0, 0, 400, 300));
    EXPECT_TRUE(ShowsPattern());

    // A drawing call outside Draw reaches the screen with no update.
    size_t draws = view->updates.size();
    view->SetHighColor(10, 200, 30);
    view->FillRect(BRect(100, 50, 139, 69));
    ASSERT_TRUE(run_until([&]() { return on_screen(view).pixel(139, 69) == qRgb(10, 200, 30); }));
    QImage shown = on_screen(view);
    EXPECT_EQ(shown.pixel(100, 50), qRgb(10, 200, 30));
    EXPECT_EQ(shown.pixel(140, 69), pattern_at(140, 69));
    EXPECT_EQ(shown.pixel(99, 50), pattern_at(99, 50));
    EXPECT_EQ(view->updates.size(), draws);
}

TEST_F(SharedBufferTest, WhatThePlatformPaintsAgainIsDrawnAgain)
{
    QWidget* widget = ViewBridge::Widget(view);
    // all: the platform paints all of the view again. atOnce: it does so
    // while the window is free, and the view draws in the same painting.
    struct
    {
        const char* what;
        std::function<void()> act;
        QSize size;
        bool all;
        bool atOnce;
    } cases[] = {
        {"the window grows", [&] { window->ResizeTo(519, 359); }, QSize(520, 360), true, false},
        {"the window shrinks", [&] { window->ResizeTo(299, 199); }, QSize(300, 200), true, false},
        {"the view is hidden and shown",
         [&] {
             view->Hide();
             settle_window(window);
             view->Show();
         },
         QSize(300, 200), true, false},
        {"the view scrolls", [&] { view->ScrollTo(37, 11); }, QSize(300, 200), false, false},
        {"the platform repaints the view", [&] { widget->repaint(); }, QSize(300, 200), true, true},
        {"the view scrolls back", [&] { view->ScrollTo(0, 0); }, QSize(300, 200), false, false},
        {"the window goes partly off the screen and comes back",
         [&] {
             QRect screen = widget->screen()->geometry();
             window->MoveTo(screen.right() - 99, screen.bottom() - 49);
             settle_window(window);
             // About 100 x 50 can be seen, less the platform's frame.
             QRect seen = ViewBridge::BackingArea(view);
             EXPECT_TRUE(seen.width() > 90 && seen.width() <= 100 && seen.height() > 40 &&
                         seen.height() <= 50)
                 << seen.width() << "x" << seen.height();
             window->MoveTo(40, 30);
         },
         QSize(300, 200), false, false},
    };
    for (auto& c : cases) {
        // Something the pattern never has, drawn over the view outside Draw:
        // wherever the platform paints again, the pattern comes back.
        view->SetHighColor(1, 2, 3);
        view->FillRect(view->Bounds());
        settle_window(window);
        size_t draws = view->updates.size();
        c.act();
        if (c.atOnce) {
            EXPECT_GT(view->updates.size(), draws) << c.what << ": not drawn at once";
        }
        settle_window(window);
        EXPECT_EQ(widget->size(), c.size) << c.what;
        EXPECT_TRUE(ViewBridge::Shares(view)) << c.what;
        EXPECT_TRUE(inside_buffer(view)) << c.what;
        // What the view showed before is gone only where the platform painted;
        // the view was asked for all of that.
        QImage shown = on_screen(view);
        for (int y = 0; y < shown.height(); y++) {
            for (int x = 0; x < shown.width(); x++) {
                QRgb pixel = shown.pixel(x, y);
                BPoint at(x + view->Bounds().left, y + view->Bounds().top);
                if (pixel == qRgb(1, 2, 3) && !c.all)
                    continue;
                ASSERT_EQ(pixel, pattern_at((int)at.x, (int)at.y))
                    << c.what << " at " << x << "," << y;
                bool asked = false;
                for (size_t i = draws; i < view->updates.size(); i++)
                    asked |= view->updates[i].Contains(at);
                ASSERT_TRUE(asked) << c.what << " at " << x << "," << y;
            }
        }
        EXPECT_GT(view->updates.size(), draws) << c.what << ": nothing was drawn again";
        // Everything is drawn again on request, and shown.
        view->Invalidate();
        EXPECT_TRUE(ShowsPattern()) << c.what;
    }
}

TEST_F(SharedBufferTest, AViewWithChildrenKeepsPixelsOfItsOwn)
{
    // Drawn into the shared buffer, the parent would paint over its child.
    auto* child = new PatternView(BRect(20, 10, 119, 59));
    view->AddChild(child);
    ASSERT_TRUE(run_until([&]() { return !child->updates.empty(); }));
    settle_window(window);
    EXPECT_FALSE(ViewBridge::Shares(view));
    EXPECT_FALSE(inside_buffer(view));
    EXPECT_TRUE(ViewBridge::Shares(child));
    EXPECT_TRUE(run_until([&]() {
        QImage shown = on_screen(view);
        return wrong_pixels(shown, view->Bounds(), QRect(0, 0, 20, 300)) == 0 &&
               wrong_pixels(shown, view->Bounds(), QRect(120, 0, 280, 300)) == 0 &&
               wrong_pixels(shown.copy(20, 10, 100, 50), child->Bounds(), QRect(0, 0, 100, 50)) ==
                   0;
    }));

    // The parent draws over the whole of itself: the child stays on top.
    view->SetHighColor(1, 2, 3);
    view->FillRect(view->Bounds());
    ASSERT_TRUE(run_until([&]() { return on_screen(view).pixel(0, 0) == qRgb(1, 2, 3); }));
    EXPECT_EQ(on_screen(view).pixel(20, 10), pattern_at(0, 0));

    // Without children it shares the buffer again, and draws itself anew there.
    view->RemoveChild(child);
    delete child;
    EXPECT_TRUE(ViewBridge::Shares(view));
    EXPECT_TRUE(inside_buffer(view));
    EXPECT_TRUE(ShowsPattern());
}

TEST_F(SharedBufferTest, AControlInAWindowStretchedFarPastTheScreenPaintsOnlyWhatCanBeSeen)
{
    QRect screen = widget_screen(view);
    window->Lock();
    auto* bar = new BScrollBar(BRect(385, 0, 399, 299), "bar", view, 0, 1000, B_VERTICAL);
    window->AddChild(bar);
    window->Unlock();
    settle_window(window);
    window->ResizeTo(32766, 32766);
    window->Lock();
    bar->MoveTo(385, 0);
    bar->ResizeTo(B_V_SCROLL_BAR_WIDTH, 32766);
    window->Unlock();
    settle_window(window);
    // A column of the window's buffer 14 pixels wide and 32767 high would
    // touch 128 MB, a page for each row: the control paints only the part
    // on the screen (bench/backing_memory.sh measures it on X11).
    QWidget* control = ViewBridge::Data(bar)->native;
    ASSERT_NE(control, nullptr);
    QRect onScreen = QRect(control->mapToGlobal(QPoint(0, 0)), control->size()) & screen;
    EXPECT_EQ(control->mask().boundingRect(),
              onScreen.translated(-control->mapToGlobal(QPoint(0, 0))));

    // Back within the screen, all of it is seen and painted again.
    window->ResizeTo(399, 299);
    window->Lock();
    bar->MoveTo(385, 0);
    bar->ResizeTo(B_V_SCROLL_BAR_WIDTH, 299);
    window->Unlock();
    settle_window(window);
    EXPECT_TRUE(control->mask().isEmpty());
}

// Waits in long work, as a save does, until released; before that it lets
// the test act on the window while the window waits.
class Waiter : public BHandler
{
public:
    void MessageReceived(BMessage*) override
    {
        QTimer::singleShot(0, [this]() { during(); });
        BPrivate::run_long_work([this]() {
            while (!release)
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            return B_OK;
        });
        done = true;
    }
    std::function<void()> during;
    std::atomic<bool> release{false};
    bool done = false;
};

TEST_F(SharedBufferTest, AWindowWaitingForLongWorkKeepsWhatItShowsWhenResized)
{
    auto* waiter = new Waiter;
    window->Lock();
    window->AddHandler(waiter);
    window->Unlock();
    QWidget* widget = ViewBridge::Widget(view);
    size_t draws = view->updates.size();
    size_t drawsDuring = 0;
    bool kept = false;
    waiter->during = [&]() {
        // The user makes the window larger while it waits: it goes on showing
        // what it had drawn, and what came into view has the view colour.
        widget->window()->resize(500, 380);
        kept = run_until([&]() {
            QImage shown = on_screen(view);
            return shown.size() == QSize(500, 380) &&
                   wrong_pixels(shown, BRect(0, 0, 499, 379), QRect(0, 0, 400, 300)) == 0 &&
                   shown.pixel(450, 350) == qRgb(255, 255, 255);
        });
        drawsDuring = view->updates.size();
        waiter->release = true;
    };
    BMessenger(waiter).SendMessage('wait');
    ASSERT_TRUE(run_until([&]() { return waiter->done; }));
    EXPECT_TRUE(kept);
    EXPECT_EQ(drawsDuring, draws) << "drew while it waited";

    // Done, it draws into the new buffer: all of the view, as the platform shows it.
    settle_window(window);
    EXPECT_TRUE(ViewBridge::Shares(view));
    EXPECT_TRUE(inside_buffer(view));
    EXPECT_TRUE(ShowsPattern());
    window->Lock();
    window->RemoveHandler(waiter);
    window->Unlock();
    delete waiter;
}

} // namespace
