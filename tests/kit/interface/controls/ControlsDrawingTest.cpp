// What the controls of a settings panel show: each one on its panel's
// colour, its label in dark text, a slider with its value beside its label;
// checked on the window's pixels.

#include <CheckBox.h>
#include <Messenger.h>
#include <OptionPopUp.h>
#include <Slider.h>
#include <StringView.h>
#include <View.h>
#include <Window.h>

#include "Pixels.h"
#include "TestApp.h"
#include "interface/ViewPrivate.h"

#include <QLabel>
#include <QSlider>

#include <gtest/gtest.h>

namespace {

const QRgb kPanel = qRgb(216, 216, 216);

QWidget* native(BView* view)
{
    return BPrivate::ViewBridge::Data(view)->native.data();
}

// What the window shows once it has stopped changing: two grabs in a row,
// with the window's queue handled between them, agree.
QImage settled(BWindow* window)
{
    QImage last = grab_window(window);
    for (int i = 0; i < 50; i++) {
        settle(window);
        QImage next = grab_window(window);
        if (next == last)
            return next;
        last = next;
    }
    return last;
}

struct Census
{
    int panel = 0;
    int dark = 0;
    int total = 0;
};

// Counts the pixels of the panel's colour and the dark ones (text) in a
// rectangle of the image.
Census census(const QImage& image, QRect area)
{
    Census result;
    area &= image.rect();
    for (int y = area.top(); y <= area.bottom(); y++) {
        for (int x = area.left(); x <= area.right(); x++) {
            QRgb p = image.pixel(x, y);
            result.total++;
            result.panel += (p & 0xffffff) == (kPanel & 0xffffff);
            result.dark += qGray(p) < 64;
        }
    }
    return result;
}

class ControlsLook : public ::testing::Test
{
protected:
    void SetUp() override
    {
        test_app();
        window = new BWindow(BRect(100, 100, 420, 260), "panel", B_TITLED_WINDOW, 0);
        panel = new BView(BRect(0, 0, 320, 160), "panel", B_FOLLOW_ALL, B_WILL_DRAW);
        panel->SetViewColor(216, 216, 216);
        slider = new BSlider(BRect(10, 10, 210, 55), "quality", "Quality", nullptr, 1, 100);
        slider->SetValue(90);
        box = new BCheckBox(BRect(10, 65, 200, 85), "progressive", "Progressive", nullptr);
        popUp = new BOptionPopUp(BRect(10, 95, 300, 120), "kind", "Chroma subsampling", nullptr);
        popUp->AddOption("4:2:0", 0);
        popUp->AddOption("4:4:4", 2);
        text = new BStringView(BRect(10, 130, 300, 150), "text", "Pictures are reduced");
        for (BView* child : {(BView*)slider, (BView*)box, (BView*)popUp, (BView*)text})
            panel->AddChild(child);
        window->AddChild(panel);
        window->Show();
        ASSERT_TRUE(run_until(
            [&] { return native(slider) && native(box) && native(popUp) && native(text); }));
        settled(window);
    }

    void TearDown() override
    {
        BMessenger messenger(window);
        window->Lock();
        window->Quit();
        run_until([&] { return !messenger.IsValid(); });
    }

    BWindow* window = nullptr;
    BView* panel = nullptr;
    BSlider* slider = nullptr;
    BCheckBox* box = nullptr;
    BOptionPopUp* popUp = nullptr;
    BStringView* text = nullptr;
};

TEST_F(ControlsLook, LabelsAreDarkTextOnThePanelsColour)
{
    QImage shown = grab_window(window);
    // Where each label stands: left of a slider's bar, right of a check
    // box's box, left of a pop-up's menu, all of a line of text.
    struct
    {
        const char* what;
        QRect label;
    } cases[] = {
        {"slider", QRect(10, 10, 60, 16)},
        {"check box", QRect(32, 65, 80, 20)},
        {"pop-up", QRect(10, 95, 110, 25)},
        {"text", QRect(10, 130, 140, 20)},
    };
    for (const auto& c : cases) {
        Census seen = census(shown, c.label);
        EXPECT_GT(seen.dark, 15) << c.what << ": no text";
        EXPECT_GT(seen.panel, seen.total / 2) << c.what << ": not on the panel's colour";
    }
    // Nothing of any control is left black outside its text.
    Census whole = census(shown, QRect(0, 0, 321, 161));
    EXPECT_LT(whole.dark, whole.total / 20);
}

TEST_F(ControlsLook, ASliderShowsItsValueAndFollowsTheUser)
{
    QLabel* value = native(slider)->findChild<QLabel*>("value");
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(value->text().toStdString(), "90");
    // The number stands right of the label, on the panel.
    QRect where = value->geometry().translated(10, 10);
    EXPECT_GT(where.left(), 110);
    QImage before = grab_window(window);
    Census seen = census(before, where);
    EXPECT_GT(seen.dark, 5);

    QSlider* bar = native(slider)->findChild<QSlider*>();
    ASSERT_NE(bar, nullptr);
    bar->setValue(7);
    ASSERT_TRUE(run_until([&] { return slider->Value() == 7; }));
    EXPECT_EQ(value->text().toStdString(), "7");
    window->Lock();
    slider->SetValue(55);
    window->Unlock();
    EXPECT_EQ(value->text().toStdString(), "55");
    EXPECT_EQ(bar->value(), 55);

    // Back where it started, the slider looks as it did: no thumb is left
    // where it went.
    bar->setValue(90);
    ASSERT_TRUE(run_until([&] { return slider->Value() == 90; }));
    QImage after = settled(window);
    QRect control(10, 10, 201, 46);
    EXPECT_EQ(after.copy(control), before.copy(control));
}

TEST(ControlsAlone, AControlWithoutAPanelTakesThePanelColour)
{
    test_app();
    BWindow* window = new BWindow(BRect(100, 100, 300, 150), "alone", B_TITLED_WINDOW, 0);
    BCheckBox* box = new BCheckBox(BRect(10, 10, 190, 30), "box", "Alone", nullptr);
    window->AddChild(box);
    window->Show();
    ASSERT_TRUE(run_until([&] { return native(box) != nullptr; }));
    QImage shown = settled(window);
    Census seen = census(shown, QRect(32, 10, 60, 20));
    EXPECT_GT(seen.dark, 10);
    EXPECT_GT(seen.panel, seen.total / 2);
    window->Lock();
    window->Quit();
}

} // namespace
