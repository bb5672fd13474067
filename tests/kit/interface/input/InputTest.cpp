// The platform's mouse input reaches a view as BeOS sends it: one
// B_MOUSE_DOWN and one B_MOUSE_UP a gesture, buttons pressed together in the
// down message, other button changes as moves; the wheel scrolls a view's
// scroll bars.

#include <AppDefs.h>
#include <InterfaceDefs.h>
#include <Messenger.h>
#include <ScrollBar.h>
#include <View.h>
#include <Window.h>

#include "TestApp.h"
#include "interface/ViewPrivate.h"

#include <QApplication>
#include <QMouseEvent>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <string>

namespace {

// Writes down each hook call: D, M or U, the buttons the message says, and
// the point, as "D3@10,10".
class Recorder : public BView
{
public:
    Recorder(BRect frame) : BView(frame, "recorder", B_FOLLOW_NONE, B_WILL_DRAW) {}

    void MouseDown(BPoint where) override { _Note('D', where); }
    void MouseMoved(BPoint where, uint32, const BMessage*) override { _Note('M', where); }
    void MouseUp(BPoint where) override { _Note('U', where); }

    std::string log;

private:
    void _Note(char what, BPoint where)
    {
        BPoint point;
        uint32 buttons = 0;
        GetMouse(&point, &buttons, true);
        if (!log.empty())
            log += ' ';
        log += what + std::to_string(buttons) + '@' + std::to_string((int)where.x) + ',' +
               std::to_string((int)where.y);
    }
};

class InputTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        test_app();
        window = new BWindow(BRect(100, 100, 399, 299), "input", B_DOCUMENT_WINDOW, 0);
        view = new Recorder(BRect(0, 0, 199, 149));
        window->AddChild(view);
        window->Show();
        run_until([&] { return BPrivate::ViewBridge::Widget(view) != nullptr; });
        widget = BPrivate::ViewBridge::Widget(view);
        ASSERT_NE(widget, nullptr);
    }

    void TearDown() override
    {
        BMessenger messenger(window);
        window->Lock();
        window->Quit();
        run_until([&] { return !messenger.IsValid(); });
    }

    // One platform event at a widget point, with the buttons held after it.
    void Send(QEvent::Type type, int x, int y, Qt::MouseButton button, Qt::MouseButtons held,
              Qt::KeyboardModifiers keys = Qt::NoModifier)
    {
        QPointF local(x, y);
        QMouseEvent event(type, local, widget->mapToGlobal(local), button, held, keys);
        QApplication::sendEvent(widget, &event);
    }

    BWindow* window = nullptr;
    Recorder* view = nullptr;
    QWidget* widget = nullptr;
};

const QEvent::Type kPress = QEvent::MouseButtonPress;
const QEvent::Type kRelease = QEvent::MouseButtonRelease;
const QEvent::Type kMove = QEvent::MouseMove;
const Qt::MouseButton L = Qt::LeftButton;
const Qt::MouseButton R = Qt::RightButton;
const Qt::MouseButton M = Qt::MiddleButton;
const Qt::MouseButton None = Qt::NoButton;

struct Step
{
    QEvent::Type type;
    int x, y;
    Qt::MouseButton button;
    Qt::MouseButtons held;
    int waitMs; // the time before the next step: part of the gesture, as a hand makes it
};

TEST_F(InputTest, AGestureIsOneDownAndOneUp)
{
    const int kLate = BPrivate::ViewWidget::kChordInterval + 50;
    struct
    {
        const char* what;
        std::vector<Step> steps;
        const char* log;
    } cases[] = {
        {"a click",
         {{kPress, 10, 10, L, L, kLate}, {kRelease, 10, 10, L, None, 0}},
         "D1@10,10 U0@10,10"},
        {"a tap: released before the press is handled",
         {{kPress, 10, 10, L, L, 0}, {kRelease, 10, 10, L, None, 0}},
         "D1@10,10 U0@10,10"},
        {"two buttons pressed together",
         {{kPress, 10, 10, L, L, 5},
          {kPress, 10, 10, R, L | R, kLate},
          {kRelease, 10, 10, R, L, 20},
          {kRelease, 10, 10, L, None, 0}},
         "D3@10,10 M1@10,10 U0@10,10"},
        {"together, with a tremor between the presses",
         {{kPress, 10, 10, R, R, 5},
          {kMove, 11, 12, None, R, 5},
          {kPress, 11, 12, L, L | R, kLate},
          {kRelease, 11, 12, L, R, 20},
          {kRelease, 11, 12, R, None, 0}},
         "D3@10,10 M3@11,12 M2@11,12 U0@11,12"},
        {"a second button pressed during a selection",
         {{kPress, 10, 10, L, L, kLate},
          {kMove, 40, 30, None, L, 20},
          {kPress, 40, 30, R, L | R, 20},
          {kMove, 70, 60, None, L | R, 20},
          {kRelease, 70, 60, R, L, 20},
          {kRelease, 70, 60, L, None, 0}},
         "D1@10,10 M1@40,30 M3@40,30 M3@70,60 M1@70,60 U0@70,60"},
        {"the first button let go before the second",
         {{kPress, 10, 10, M, M, kLate},
          {kPress, 10, 10, L, L | M, 20},
          {kRelease, 10, 10, M, L, 20},
          {kMove, 30, 30, None, L, 20},
          {kRelease, 30, 30, L, None, 0}},
         "D4@10,10 M5@10,10 M1@10,10 M1@30,30 U0@30,30"},
        {"a move while the press waits follows it",
         {{kPress, 10, 10, L, L, 0},
          {kMove, 30, 20, None, L, kLate},
          {kRelease, 30, 20, L, None, 0}},
         "D1@10,10 M1@30,20 U0@30,20"},
    };
    for (auto& c : cases) {
        view->log.clear();
        for (const Step& step : c.steps) {
            Send(step.type, step.x, step.y, step.button, step.held);
            if (step.waitMs)
                run_for(step.waitMs);
        }
        // Every gesture ends with the release; once the view has heard it,
        // the window handles whatever was queued behind it.
        run_until([&] { return view->log.find('U') != std::string::npos; });
        settle(window);
        EXPECT_EQ(view->log, c.log) << c.what;
    }
}

// A view larger inside than its frame, with both scroll bars bound to it.
class WheelTest : public InputTest
{
protected:
    void SetUp() override
    {
        InputTest::SetUp();
        window->Lock();
        vertical = new BScrollBar(BRect(200, 0, 214, 149), "v", view, 0, 500, B_VERTICAL);
        horizontal = new BScrollBar(BRect(0, 150, 199, 164), "h", view, 0, 400, B_HORIZONTAL);
        vertical->SetSteps(10, 100);
        horizontal->SetSteps(10, 100);
        window->AddChild(vertical);
        window->AddChild(horizontal);
        window->Unlock();
        settle(window);
    }

    void Wheel(int angleX, int angleY, Qt::KeyboardModifiers keys = Qt::NoModifier)
    {
        QPointF local(50, 50);
        QWheelEvent event(local, widget->mapToGlobal(local), QPoint(), QPoint(angleX, angleY),
                          Qt::NoButton, keys, Qt::NoScrollPhase, false);
        QApplication::sendEvent(widget, &event);
        settle(window);
    }

    BScrollBar* vertical = nullptr;
    BScrollBar* horizontal = nullptr;
};

TEST_F(WheelTest, TheWheelMovesTheScrollBars)
{
    struct
    {
        const char* what;
        int angleX, angleY;
        Qt::KeyboardModifiers keys;
        BPoint leftTop;
    } cases[] = {
        // A notch (120) is three small steps; turning it towards the user scrolls down.
        {"a notch down", 0, -120, Qt::NoModifier, BPoint(0, 30)},
        {"two more", 0, -240, Qt::NoModifier, BPoint(0, 90)},
        {"half a notch up", 0, 60, Qt::NoModifier, BPoint(0, 75)},
        {"the tilted wheel, right", -120, 0, Qt::NoModifier, BPoint(30, 75)},
        {"Shift and the wheel go sideways", 0, -120, Qt::ShiftModifier, BPoint(60, 75)},
        {"and back", 0, 120, Qt::ShiftModifier, BPoint(30, 75)},
        {"never past the end", 0, -12000, Qt::NoModifier, BPoint(30, 500)},
        {"nor before the start", 1200, 12000, Qt::NoModifier, BPoint(0, 0)},
    };
    for (auto& c : cases) {
        Wheel(c.angleX, c.angleY, c.keys);
        EXPECT_EQ(view->Bounds().LeftTop(), c.leftTop) << c.what;
        EXPECT_EQ(horizontal->Value(), c.leftTop.x) << c.what;
        EXPECT_EQ(vertical->Value(), c.leftTop.y) << c.what;
    }
}

TEST_F(InputTest, AViewWithoutScrollBarsIsNotScrolledByTheWheel)
{
    QPointF local(50, 50);
    QWheelEvent event(local, widget->mapToGlobal(local), QPoint(), QPoint(0, -120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(widget, &event);
    settle(window);
    EXPECT_EQ(view->Bounds().LeftTop(), BPoint(0, 0));
}

} // namespace
