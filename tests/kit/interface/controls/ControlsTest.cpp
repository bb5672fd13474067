// The kit's controls that translator panels are made of: values, limits and
// labels, and what reaches the target when the user works the platform
// control.

#include <Application.h>
#include <CheckBox.h>
#include <Message.h>
#include <OptionPopUp.h>
#include <Slider.h>
#include <StringView.h>
#include <Window.h>

#include "TestApp.h"
#include "interface/ViewPrivate.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QSlider>

#include <gtest/gtest.h>

namespace {

QWidget* native(BView* view)
{
    return BPrivate::ViewBridge::Data(view)->native.data();
}

// The last message of that command the application received, if any.
const BMessage* last_received(uint32 what)
{
    const auto& received = test_app()->received;
    for (auto it = received.rbegin(); it != received.rend(); ++it) {
        if (it->what == what)
            return &*it;
    }
    return nullptr;
}

bool received_value(uint32 what, int32 value)
{
    const BMessage* message = last_received(what);
    return message != nullptr && message->GetInt32("be:value", -999) == value;
}

} // namespace

TEST(Controls, ValuesWithoutAWindow)
{
    BSlider slider(BRect(0, 0, 100, 40), "slider", "Level", new BMessage('sldr'), 10, 20);
    EXPECT_EQ(slider.Value(), 10);
    struct
    {
        int32 set;
        int32 expected;
    } cases[] = {{15, 15}, {25, 20}, {-3, 10}, {20, 20}};
    for (const auto& c : cases) {
        slider.SetValue(c.set);
        EXPECT_EQ(slider.Value(), c.expected) << c.set;
    }
    slider.SetLimits(0, 5);
    EXPECT_EQ(slider.Value(), 5);

    BOptionPopUp popUp(BRect(0, 0, 100, 20), "pop", "Kind:", new BMessage('popu'));
    EXPECT_EQ(popUp.SelectedOption(), -1);
    ASSERT_EQ(popUp.AddOption("one", 1), B_OK);
    ASSERT_EQ(popUp.AddOption("three", 3), B_OK);
    ASSERT_EQ(popUp.AddOption("two", 2, 1), B_OK);
    EXPECT_EQ(popUp.Value(), 1);
    popUp.SetValue(2);
    const char* name;
    int32 value;
    EXPECT_EQ(popUp.SelectedOption(&name, &value), 1);
    EXPECT_STREQ(name, "two");
    EXPECT_TRUE(popUp.RemoveOptionAt(0));
    EXPECT_FALSE(popUp.RemoveOptionAt(5));
    EXPECT_EQ(popUp.CountOptions(), 2);

    BCheckBox box(BRect(0, 0, 100, 20), "box", "Check", new BMessage('chck'));
    float width, height;
    box.GetPreferredSize(&width, &height);
    EXPECT_GT(width, 20);
    EXPECT_GT(height, 8);
}

TEST(Controls, UserChangesReachTheTarget)
{
    test_app();
    BWindow* window = new BWindow(BRect(100, 100, 500, 300), "controls", B_TITLED_WINDOW, 0);
    BSlider* slider =
        new BSlider(BRect(10, 10, 210, 60), "slider", "Quality", new BMessage('sldr'), 0, 100);
    slider->SetModificationMessage(new BMessage('smod'));
    slider->SetValue(40);
    slider->SetTarget(test_app());
    BCheckBox* box = new BCheckBox(BRect(10, 70, 200, 90), "box", "Check", new BMessage('chck'));
    box->SetTarget(test_app());
    BOptionPopUp* popUp =
        new BOptionPopUp(BRect(10, 100, 250, 125), "pop", "Kind:", new BMessage('popu'));
    popUp->AddOption("one", 1);
    popUp->AddOption("two", 2);
    popUp->SetTarget(test_app());
    BStringView* text = new BStringView(BRect(10, 130, 200, 150), "text", "Hello");
    window->AddChild(slider);
    window->AddChild(box);
    window->AddChild(popUp);
    window->AddChild(text);
    window->Show();
    ASSERT_TRUE(
        run_until([&] { return native(slider) && native(box) && native(popUp) && native(text); }));

    QSlider* qslider = native(slider)->findChild<QSlider*>();
    ASSERT_NE(qslider, nullptr);
    EXPECT_EQ(qslider->value(), 40);
    EXPECT_EQ(qslider->maximum(), 100);
    qslider->setValue(70);
    ASSERT_TRUE(run_until([] { return received_value('sldr', 70); }));
    EXPECT_EQ(slider->Value(), 70);
    const BMessage* invoked = last_received('sldr');
    EXPECT_TRUE(invoked->HasInt64("when"));
    EXPECT_TRUE(invoked->HasPointer("source"));

    // Dragging sends the modification message; letting go invokes.
    qslider->setSliderDown(true);
    qslider->setValue(75);
    ASSERT_TRUE(run_until([] { return received_value('smod', 75); }));
    qslider->setSliderDown(false);
    ASSERT_TRUE(run_until([] { return received_value('sldr', 75); }));

    qobject_cast<QCheckBox*>(native(box))->click();
    ASSERT_TRUE(run_until([] { return received_value('chck', B_CONTROL_ON); }));
    EXPECT_EQ(box->Value(), B_CONTROL_ON);

    QComboBox* combo = native(popUp)->findChild<QComboBox*>();
    ASSERT_NE(combo, nullptr);
    combo->setCurrentIndex(1);
    ASSERT_TRUE(run_until([] { return received_value('popu', 2); }));
    EXPECT_EQ(popUp->Value(), 2);

    // Changes made by the program show without being sent anywhere.
    size_t before = test_app()->received.size();
    window->Lock();
    box->SetValue(B_CONTROL_OFF);
    box->SetEnabled(false);
    text->SetText("Bye");
    window->Unlock();
    EXPECT_FALSE(qobject_cast<QCheckBox*>(native(box))->isChecked());
    EXPECT_FALSE(native(box)->isEnabled());
    EXPECT_EQ(qobject_cast<QLabel*>(native(text))->text().toStdString(), "Bye");
    // Time for a message that should not come to arrive: none does.
    run_for(100);
    EXPECT_EQ(test_app()->received.size(), before);

    window->Lock();
    window->Quit();
}
