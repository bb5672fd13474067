// The keyboard in the view, as the platform delivers it: key events become
// B_KEY_DOWN for the view, which scrolls, selects and crops.

#include "MouseFixture.h"

#include <QCoreApplication>
#include <QKeyEvent>

#include <string>

namespace {

class KeysTest : public MouseTest
{
protected:
    void Key(int key, Qt::KeyboardModifiers held = Qt::NoModifier, const QString& text = QString())
    {
        QWidget* widget = BPrivate::ViewBridge::Widget(view);
        QKeyEvent press(QEvent::KeyPress, key, held, text);
        QCoreApplication::sendEvent(widget, &press);
        QKeyEvent release(QEvent::KeyRelease, key, held, text);
        QCoreApplication::sendEvent(widget, &release);
        Settle();
    }
};

const Qt::KeyboardModifiers kShift = Qt::ShiftModifier;
const Qt::KeyboardModifiers kCtrl = Qt::ControlModifier;

TEST_F(KeysTest, KeysScrollSelectAndCrop)
{
    struct key_press
    {
        int key;
        Qt::KeyboardModifiers held;
    };
    struct
    {
        const char* what;
        std::vector<key_press> keys;
        // Expected scroll position (x, y; -1: the far edge), or the selection
        // shown (none when its right is below its left), or the picture's size.
        BPoint scroll;
        BRect selection;
        BPoint size;
    } cases[] = {
        {"Down", {{Qt::Key_Down, {}}}, {0, 30}, {0, 0, -1, -1}, {1000, 800}},
        {"Right twice",
         {{Qt::Key_Right, {}}, {Qt::Key_Right, {}}},
         {60, 0},
         {0, 0, -1, -1},
         {1000, 800}},
        {"Down then Up",
         {{Qt::Key_Down, {}}, {Qt::Key_Up, {}}},
         {0, 0},
         {0, 0, -1, -1},
         {1000, 800}},
        {"End", {{Qt::Key_End, {}}}, {-1, -1}, {0, 0, -1, -1}, {1000, 800}},
        {"End then Home",
         {{Qt::Key_End, {}}, {Qt::Key_Home, {}}},
         {0, 0},
         {0, 0, -1, -1},
         {1000, 800}},
        {"Ctrl+A", {{Qt::Key_A, kCtrl}}, {0, 0}, {0, 0, 999, 799}, {1000, 800}},
        {"Ctrl+A, Escape",
         {{Qt::Key_A, kCtrl}, {Qt::Key_Escape, {}}},
         {0, 0},
         {0, 0, -1, -1},
         {1000, 800}},
        {"Shift+Right starts at the corner",
         {{Qt::Key_Right, kShift}},
         {0, 0},
         {0, 0, 1, 0},
         {1000, 800}},
        {"Ctrl+A, Shift+Left, Ctrl+Shift+Up",
         {{Qt::Key_A, kCtrl}, {Qt::Key_Left, kShift}, {Qt::Key_Up, kShift | kCtrl}},
         {0, 0},
         {0, 0, 998, 789},
         {1000, 800}},
        {"Shift+Down three times, Shift+Right, Enter crops",
         {{Qt::Key_Down, kShift},
          {Qt::Key_Down, kShift},
          {Qt::Key_Down, kShift},
          {Qt::Key_Right, kShift},
          {Qt::Key_Return, {}}},
         {0, 0},
         {0, 0, -1, -1},
         {2, 4}},
        {"Enter without a selection does nothing",
         {{Qt::Key_Enter, {}}},
         {0, 0},
         {0, 0, -1, -1},
         {1000, 800}},
        {"a crop by keys, Ctrl+Z, Ctrl+Y",
         {{Qt::Key_A, kCtrl},
          {Qt::Key_Left, kShift},
          {Qt::Key_Return, {}},
          {Qt::Key_Z, kCtrl},
          {Qt::Key_Y, kCtrl}},
         {0, 0},
         {0, 0, -1, -1},
         {999, 800}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        GiveImage(1000, 800);
        view->ScrollTo(BPoint(0, 0));
        view->cursel.visible = false;
        for (const key_press& press : c.keys) {
            QString text;
            if (press.held & kCtrl && press.key >= Qt::Key_A && press.key <= Qt::Key_Z)
                text = QChar(1 + press.key - Qt::Key_A);
            Key(press.key, press.held, text);
        }
        ASSERT_NE(view->image, nullptr);
        BRect bounds = view->Bounds();
        BPoint expected = c.scroll;
        if (expected.x < 0)
            expected.x = pic.right - bounds.Width();
        if (expected.y < 0)
            expected.y = pic.bottom - bounds.Height();
        EXPECT_EQ(bounds.LeftTop(), expected);
        EXPECT_EQ(view->cursel.visible, c.selection.IsValid());
        if (c.selection.IsValid()) {
            EXPECT_EQ(view->cursel.rect, c.selection);
        }
        EXPECT_EQ(pic, BRect(0, 0, c.size.x - 1, c.size.y - 1));
    }
}

TEST_F(KeysTest, PageDownAndUpScrollByWhatTheViewShows)
{
    GiveImage(1000, 3000);
    float page = view->Bounds().Height() + 1;
    Key(Qt::Key_PageDown);
    Key(Qt::Key_PageDown);
    EXPECT_EQ(view->Bounds().top, 2 * page);
    Key(Qt::Key_PageUp);
    EXPECT_EQ(view->Bounds().top, page);
}

} // namespace
