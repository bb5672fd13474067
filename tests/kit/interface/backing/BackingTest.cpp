// A view that keeps pixels of its own (a view with children, or any view where
// the platform's window buffers cannot be drawn into) keeps them only for what
// can be seen of it: its window on the screen, scrolling included. What comes
// into view is drawn exactly.

#include <Bitmap.h>
#include <Messenger.h>
#include <View.h>
#include <Window.h>

#include "PatternView.h"
#include "Pixels.h"
#include "TestApp.h"
#include "interface/ViewPrivate.h"
#include "interface/WindowPrivate.h"

#include <QGuiApplication>
#include <QScreen>

#include <gtest/gtest.h>

namespace {

using BPrivate::ViewBridge;

QRect screen_rect()
{
    return QGuiApplication::primaryScreen()->geometry();
}

// The view's pixels in the widget rectangle `seen` that differ from the pattern
// scrolled to the view's bounds.
int mismatches(BView* view, QRect seen)
{
    return wrong_pixels(grab_view(view), view->Bounds(), seen);
}

class BackingTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        test_app();
        ViewBridge::SetSharing(false);
    }
    void TearDown() override
    {
        ViewBridge::SetSharing(true);
        if (!window)
            return;
        BMessenger messenger(window);
        window->Lock();
        window->Quit();
        run_until([&] { return !messenger.IsValid(); });
    }
    void Open(BRect frame, bool show = true)
    {
        window = new BWindow(frame, "backing", B_TITLED_WINDOW, 0);
        view = new PatternView(window->Bounds());
        window->AddChild(view);
        if (show) {
            window->Show();
            ASSERT_TRUE(run_until([this]() { return !view->updates.empty(); }));
            settle_window(window);
        }
    }

    BWindow* window = nullptr;
    PatternView* view = nullptr;
};

TEST_F(BackingTest, AWindowAsLargeAsTheKitAllowsKeepsAtMostAScreensWorth)
{
    QRect screen = screen_rect();
    struct
    {
        BPoint corner;
        QRect area;
    } cases[] = {
        {BPoint(0, 0), QRect(0, 0, screen.width(), screen.height())},
        {BPoint(screen.width() - 200, screen.height() - 100), QRect(0, 0, 200, 100)},
        {BPoint(-300, -50), QRect(300, 50, screen.width(), screen.height())},
        {BPoint(screen.width() + 10, 0), QRect()},
    };
    for (auto& c : cases) {
        // Shown at its own size first, then hidden: the platform's buffer for a
        // shown window is as large as the window, which is not the kit's to keep.
        Open(BRect(c.corner.x, c.corner.y, c.corner.x + 199, c.corner.y + 149), false);
        long before = resident_kb();
        window->ResizeTo(32766, 32766);
        ASSERT_EQ(view->Bounds(), BRect(0, 0, 32766, 32766));
        EXPECT_EQ(ViewBridge::BackingArea(view), c.area) << c.corner.x << "," << c.corner.y;
        EXPECT_LE(ViewBridge::BackingBytes(view), (qsizetype)screen.width() * screen.height() * 4);
        // However it is counted, the process grew by no more than a screen's worth
        // and some slack, not by the 4 GB a store of the whole view would take.
        long grown = resident_kb() - before;
        EXPECT_LT(grown, (long)screen.width() * screen.height() * 4 / 1024 + 64 * 1024);

        // Drawing lands at once on what can be seen.
        if (!c.area.isEmpty()) {
            view->SetHighColor(1, 2, 3);
            BPoint at(c.area.left() + 5, c.area.top() + 5);
            view->FillRect(BRect(at, at));
            QImage& store = ViewBridge::Data(view)->backing;
            EXPECT_EQ(store.pixel(5, 5), qRgb(1, 2, 3));
        }
        BMessenger messenger(window);
        window->Lock();
        window->Quit();
        window = nullptr;
        run_until([&] { return !messenger.IsValid(); });
    }
}

TEST_F(BackingTest, AShownWindowStretchedFarPastTheScreenPaintsOnlyWhatCanBeSeen)
{
    QRect screen = screen_rect();
    Open(BRect(0, 0, 199, 149));
    long before = resident_kb();
    window->ResizeTo(32766, 32766);
    ASSERT_TRUE(run_until([this]() { return view->updates.back().right > 199; }));
    settle_window(window);
    // The platform's buffer for the window is as large as the window, but only
    // what is painted of it takes memory.
    long grown = resident_kb() - before;
    EXPECT_LT(grown, (long)screen.width() * screen.height() * 4 * 3 / 1024 + 64 * 1024);
    // The store reaches the screen's far corner, wherever the platform put the window.
    const QImage& store = ViewBridge::Data(view)->backing;
    QPoint corner = ViewBridge::Widget(view)->mapFromGlobal(screen.bottomRight());
    ASSERT_EQ(ViewBridge::BackingArea(view), QRect(QPoint(0, 0), corner));
    EXPECT_EQ(store.pixel(corner), pattern_at(corner.x(), corner.y()));
    window->ResizeTo(199, 149);
    settle_window(window);
}

TEST_F(BackingTest, AWindowReachingOffTheScreenIsDrawnWhenItComesBack)
{
    QRect screen = screen_rect();
    // Two ways back: the program moves the window, or the user (the platform) does.
    for (bool byPlatform : {false, true}) {
        Open(BRect(screen.width() - 100, screen.height() - 80, screen.width() + 199,
                   screen.height() + 119));
        EXPECT_EQ(ViewBridge::BackingArea(view), QRect(0, 0, 100, 80));
        for (BRect update : view->updates)
            EXPECT_TRUE(BRect(0, 0, 99, 79).Contains(update)) << "drew what cannot be seen";
        EXPECT_EQ(mismatches(view, QRect(0, 0, 100, 80)), 0);

        // A drawing call paints what can be seen at once.
        view->SetHighColor(9, 8, 7);
        view->FillRect(view->Bounds());
        EXPECT_EQ(grab_view(view).pixel(99, 79), qRgb(9, 8, 7));

        view->updates.clear();
        if (byPlatform)
            BPrivate::WindowBridge::Data(window)->widget->move(40, 30);
        else
            window->MoveTo(40, 30);
        ASSERT_TRUE(run_until([this]() { return !view->updates.empty(); }));
        settle_window(window);
        EXPECT_EQ(ViewBridge::BackingArea(view), QRect(0, 0, 300, 200));
        // Everything that came into view was asked for.
        BRect asked;
        for (BRect update : view->updates)
            asked = asked.IsValid() ? (asked | update) : update;
        EXPECT_TRUE(asked.Contains(BRect(100, 0, 299, 199)));
        EXPECT_TRUE(asked.Contains(BRect(0, 80, 299, 199)));
        EXPECT_EQ(mismatches(view, QRect(0, 0, 300, 200)), 0) << "by platform " << byPlatform;
        BMessenger messenger(window);
        window->Lock();
        window->Quit();
        window = nullptr;
        run_until([&] { return !messenger.IsValid(); });
    }
}

TEST_F(BackingTest, ScrollingAViewLargerThanTheScreenShowsTheRightPixels)
{
    QRect screen = screen_rect();
    Open(BRect(0, 0, screen.width() * 3 - 1, screen.height() * 3 - 1));
    EXPECT_EQ(ViewBridge::BackingArea(view), QRect(QPoint(0, 0), screen.size()));
    EXPECT_EQ(mismatches(view, QRect(QPoint(0, 0), screen.size())), 0);
    BPoint steps[] = {BPoint(1000, 700),  BPoint(963, 705), BPoint(963, 405),
                      BPoint(1500, 1200), BPoint(0, 0),     BPoint(5, -3)};
    for (BPoint step : steps) {
        size_t before = view->updates.size();
        view->ScrollTo(step);
        run_until([&]() { return view->updates.size() > before; });
        settle_window(window);
        EXPECT_EQ(mismatches(view, QRect(QPoint(0, 0), screen.size())), 0)
            << "scrolled to " << step.x << "," << step.y;
        for (size_t i = before; i < view->updates.size(); i++) {
            BRect seen(step.x, step.y, step.x + screen.width() - 1, step.y + screen.height() - 1);
            EXPECT_TRUE(seen.Contains(view->updates[i])) << "drew what cannot be seen";
        }
    }
    EXPECT_LE(ViewBridge::BackingBytes(view), (qsizetype)screen.width() * screen.height() * 4);
}

TEST_F(BackingTest, AStoreThatShrinksKeepsItsPixelsAndItsMemory)
{
    Open(BRect(20, 20, 419, 319));
    const uchar* memory = ViewBridge::Data(view)->backing.constBits();
    size_t draws = view->updates.size();
    window->ResizeTo(349, 279);
    settle_window(window);
    EXPECT_EQ(ViewBridge::BackingArea(view), QRect(0, 0, 350, 280));
    EXPECT_EQ(ViewBridge::Data(view)->backing.constBits(), memory);
    EXPECT_EQ(view->updates.size(), draws) << "nothing new came into view";
    EXPECT_EQ(mismatches(view, QRect(0, 0, 350, 280)), 0);
    // Growing again draws only what comes back.
    window->ResizeTo(399, 279);
    ASSERT_TRUE(run_until([&]() { return view->updates.size() > draws; }));
    settle_window(window);
    EXPECT_EQ(view->updates.back(), BRect(350, 0, 399, 279));
    EXPECT_EQ(mismatches(view, QRect(0, 0, 400, 280)), 0);
}

} // namespace
