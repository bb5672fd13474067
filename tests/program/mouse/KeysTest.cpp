// The keyboard in the view, as the platform delivers it: key events become
// B_KEY_DOWN for the view, which scrolls, selects and crops.

#include "MouseFixture.h"
#include "window/codes.h"

#include <QCoreApplication>
#include <QKeyEvent>

#include <map>
#include <sstream>
#include <string>

namespace {

// Scroll positions that depend on the view's size: the far edge, one page.
const float kEnd = -1;
const float kPage = -2;

class KeysTest : public MouseTest
{
protected:
    // Presses the keys named, in turn: "C-a S-Left CS-Up Return" (C- holds
    // Control, S- Shift). "undo" is Edit > Undo, whose key the menu takes.
    void Keys(const std::string& names)
    {
        static const std::map<std::string, int> kNamed = {
            {"Left", Qt::Key_Left},     {"Right", Qt::Key_Right},  {"Up", Qt::Key_Up},
            {"Down", Qt::Key_Down},     {"Home", Qt::Key_Home},    {"End", Qt::Key_End},
            {"Next", Qt::Key_PageDown}, {"Prior", Qt::Key_PageUp}, {"Escape", Qt::Key_Escape},
            {"Return", Qt::Key_Return}, {"Enter", Qt::Key_Enter}};
        std::istringstream words(names);
        std::string word;
        while (words >> word) {
            if (word == "undo") {
                window->PostMessage(kUndo, view);
                Settle();
                continue;
            }
            Qt::KeyboardModifiers held;
            size_t dash = word.find('-');
            if (dash != std::string::npos && dash + 1 < word.size()) {
                if (word.compare(0, dash, "C") == 0 || word.compare(0, dash, "CS") == 0)
                    held |= Qt::ControlModifier;
                if (word.compare(0, dash, "S") == 0 || word.compare(0, dash, "CS") == 0)
                    held |= Qt::ShiftModifier;
                word = word.substr(dash + 1);
            }
            int key = word.size() == 1 ? Qt::Key_A + (word[0] - 'a') : kNamed.at(word);
            // Control and a letter come as its control character, as on X11.
            QString text = held & Qt::ControlModifier && word.size() == 1
                               ? QString(QChar(1 + word[0] - 'a'))
                               : QString();
            QWidget* widget = BPrivate::ViewBridge::Widget(view);
            QKeyEvent press(QEvent::KeyPress, key, held, text);
            QCoreApplication::sendEvent(widget, &press);
            QKeyEvent release(QEvent::KeyRelease, key, held, text);
            QCoreApplication::sendEvent(widget, &release);
            Settle();
        }
    }
};

TEST_F(KeysTest, KeysScrollSelectAndCrop)
{
    // Scroll position; the selection shown (none: invalid); the picture's size.
    struct
    {
        const char* keys;
        BPoint scroll;
        BRect selection;
        int width, height;
    } cases[] = {
        {"Down", {0, 30}, {}, 3000, 2000},
        {"Right Right", {60, 0}, {}, 3000, 2000},
        {"Down Up", {0, 0}, {}, 3000, 2000},
        {"End", {kEnd, kEnd}, {}, 3000, 2000},
        {"End Home", {0, 0}, {}, 3000, 2000},
        {"Next Next Prior", {0, kPage}, {}, 3000, 2000},
        {"C-a", {0, 0}, {0, 0, 2999, 1999}, 3000, 2000},
        {"C-a Escape", {0, 0}, {}, 3000, 2000},
        {"S-Right", {0, 0}, {0, 0, 1, 0}, 3000, 2000},
        {"C-a S-Left CS-Up", {0, 0}, {0, 0, 2998, 1989}, 3000, 2000},
        {"S-Down S-Down S-Down S-Right Return", {0, 0}, {}, 2, 4},
        {"Enter", {0, 0}, {}, 3000, 2000},
        {"C-a S-Left Return", {0, 0}, {}, 2999, 2000},
        {"C-a S-Left Return undo", {0, 0}, {}, 3000, 2000},
        {"C-a S-Left Return undo C-y", {0, 0}, {}, 2999, 2000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.keys);
        GiveImage(3000, 2000);
        view->ScrollTo(BPoint(0, 0));
        view->cursel.visible = false;
        Keys(c.keys);
        ASSERT_NE(view->image, nullptr);
        BRect bounds = view->Bounds();
        BPoint expected = c.scroll;
        if (expected.x == kEnd)
            expected.x = pic.right - bounds.Width();
        if (expected.y == kEnd)
            expected.y = pic.bottom - bounds.Height();
        if (expected.y == kPage)
            expected.y = bounds.Height() + 1;
        EXPECT_EQ(bounds.LeftTop(), expected);
        EXPECT_EQ(view->cursel.visible, c.selection.IsValid());
        if (c.selection.IsValid()) {
            EXPECT_EQ(view->cursel.rect, c.selection);
        }
        EXPECT_EQ(pic, BRect(0, 0, c.width - 1, c.height - 1));
    }
}

} // namespace
