// Windows keep the platform's size convention, limits and zoom; scroll bars
// and their targets move together; alerts wait for their button.

#include <Alert.h>
#include <Screen.h>
#include <ScrollBar.h>
#include <View.h>
#include <Window.h>

#include "Pixels.h"
#include "TestApp.h"
#include "interface/WindowPrivate.h"

#include <QApplication>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

class Recording : public BWindow
{
public:
    Recording(BRect frame, uint32 flags = 0) : BWindow(frame, "recording", B_DOCUMENT_WINDOW, flags)
    {}
    void FrameResized(float width, float height) override { sizes.push_back({width, height}); }
    bool QuitRequested() override
    {
        asked++;
        return agree;
    }
    std::vector<std::pair<float, float>> sizes;
    int asked = 0;
    bool agree = true;
};

bool shown_on_screen(BWindow* window)
{
    return BPrivate::WindowBridge::Data(window)->widget->isVisible();
}

class WindowTest : public ::testing::Test
{
protected:
    void SetUp() override { test_app(); }
};

TEST_F(WindowTest, FramesIncludeBothEdges)
{
    Recording* window = new Recording(BRect(100, 100, 300, 250));
    window->Show();
    ASSERT_TRUE(run_until([&] { return shown_on_screen(window); }));
    QImage shown = grab_window(window);
    EXPECT_EQ(shown.size(), QSize(201, 151));
    EXPECT_EQ(window->Bounds(), BRect(0, 0, 200, 150));
    EXPECT_EQ(window->ConvertToScreen(BPoint(0, 0)), BPoint(100, 100));

    window->ResizeTo(99, 49);
    run_until([&] { return !window->sizes.empty() && window->sizes.back().first == 99; });
    EXPECT_EQ(grab_window(window).size(), QSize(100, 50));
    ASSERT_FALSE(window->sizes.empty());
    EXPECT_EQ(window->sizes.back(), std::make_pair(99.0f, 49.0f));
    window->Lock();
    window->Quit();
}

TEST_F(WindowTest, SizeLimitsAndZoom)
{
    Recording* window = new Recording(BRect(100, 100, 300, 250));
    window->Show();
    window->SetSizeLimits(35, 150, 35, 100);
    // The window keeps within new limits at once.
    EXPECT_EQ(window->Frame().Width(), 150);
    EXPECT_EQ(window->Frame().Height(), 100);
    window->ResizeTo(10, 1000);
    EXPECT_EQ(window->Frame().Width(), 35);
    EXPECT_EQ(window->Frame().Height(), 100);
    window->SetZoomLimits(120, 90);
    window->Zoom();
    EXPECT_EQ(window->Frame().Width(), 120);
    EXPECT_EQ(window->Frame().Height(), 90);
    run_until([&] { return grab_window(window).size() == QSize(121, 91); });
    EXPECT_EQ(grab_window(window).size(), QSize(121, 91));
    window->Lock();
    window->Quit();
}

TEST_F(WindowTest, APlatformEchoingAnOlderSizeIsAskedAgain)
{
    // The window starts at 201 x 151 and the program asks for the sizes
    // given; then the platform gives the widget sizes, each maybe after a
    // change of the window's state, and the widget has a size once the kit
    // has answered.
    const QSize first(201, 151), asked(314, 234), later(400, 300), own(250, 200);
    struct Step
    {
        bool stateChanged;
        QSize given, then;
    };
    struct
    {
        const char* what;
        std::vector<QSize> program;
        std::vector<Step> steps;
    } cases[] = {
        {"a late answer with the first size", {asked}, {{false, first, asked}}},
        {"a size of the platform's own", {asked}, {{false, own, own}}},
        {"the first size again with each change of state",
         {asked},
         {{false, first, asked},
          {true, first, asked},
          {true, first, asked},
          {true, first, asked},
          {true, first, asked}}},
        {"a platform that insists has its way",
         {asked},
         {{false, first, asked},
          {false, first, asked},
          {false, first, asked},
          {false, first, first}}},
        {"a size from two resizes back",
         {asked, later},
         {{false, first, later}, {true, asked, later}}},
        {"once the platform chose a size, older ones stand",
         {asked},
         {{false, own, own}, {true, first, first}}},
    };
    for (const auto& c : cases) {
        Recording* window = new Recording(BRect(100, 100, 300, 250));
        window->Show();
        ASSERT_TRUE(run_until([&] { return shown_on_screen(window); })) << c.what;
        QWidget* widget = BPrivate::WindowBridge::Data(window)->widget;
        for (const QSize& size : c.program)
            window->ResizeTo(size.width() - 1, size.height() - 1);
        ASSERT_TRUE(settle_window(window)) << c.what;
        for (const Step& step : c.steps) {
            if (step.stateChanged) {
                QEvent change(QEvent::ActivationChange);
                QApplication::sendEvent(widget, &change);
            }
            widget->resize(step.given);
            run_until([&] { return widget->size() == step.then; });
            EXPECT_EQ(widget->size(), step.then) << c.what;
        }
        ASSERT_TRUE(settle_window(window)) << c.what;
        QSize last = c.steps.back().then;
        std::pair<float, float> bounds(last.width() - 1, last.height() - 1);
        EXPECT_EQ(window->Bounds(), BRect(0, 0, bounds.first, bounds.second)) << c.what;
        ASSERT_FALSE(window->sizes.empty()) << c.what;
        EXPECT_EQ(window->sizes.back(), bounds) << c.what;
        // An echo the kit answers never reaches the window's own code.
        if (last == c.program.back()) {
            for (const auto& size : window->sizes)
                EXPECT_NE(size, std::make_pair(200.0f, 150.0f))
                    << c.what << ": the first size shows";
        }
        window->Lock();
        window->Quit();
    }
}

TEST(FitFrame, KeepsTheCornerAndShrinksToTheFreeArea)
{
    // A window manager's border of 1 on the sides, 20 on top, 5 below; a work
    // area of 1600 x 960 above a panel.
    const BRect area(0, 0, 1599, 959);
    auto decorated = [](BRect frame) {
        return BRect(frame.left - 1, frame.top - 20, frame.right + 1, frame.bottom + 5);
    };
    struct
    {
        const char* what;
        BRect wanted;
        BRect area;
        BRect expected;
    } cases[] = {
        {"fits as it is", BRect(100, 100, 400, 300), area, BRect(100, 100, 400, 300)},
        {"too wide", BRect(100, 100, 2100, 300), area, BRect(100, 100, 1598, 300)},
        {"too tall", BRect(100, 100, 400, 1300), area, BRect(100, 100, 400, 954)},
        {"larger than the area", BRect(100, 100, 6113, 4133), area, BRect(100, 100, 1598, 954)},
        {"corner above and left of the area", BRect(-50, 5, 100, 50), area, BRect(1, 20, 151, 65)},
        {"corner too near the far edges", BRect(1590, 950, 1690, 1050), area,
         BRect(1563, 919, 1598, 954)},
        {"a monitor right of the first", BRect(1700, 100, 3700, 2100), BRect(1600, 0, 2623, 767),
         BRect(1700, 100, 2622, 762)},
        {"no screen", BRect(100, 100, 6113, 4133), BRect(0, 0, -1, -1),
         BRect(100, 100, 6113, 4133)},
    };
    for (const auto& c : cases) {
        BRect current(c.wanted.left, c.wanted.top, c.wanted.left + 200, c.wanted.top + 150);
        BRect fit = BPrivate::fit_frame(c.wanted, current, decorated(current), c.area, 35, 35);
        EXPECT_EQ(fit, c.expected) << c.what;
    }
}

TEST_F(WindowTest, ResizingOnTheScreenAndZoomingStayOnIt)
{
    Recording* window = new Recording(BRect(100, 100, 300, 250));
    window->Show();
    ASSERT_TRUE(run_until([&] { return shown_on_screen(window); }));
    BRect area = BScreen(window).AvailableFrame();
    ASSERT_TRUE(area.IsValid());
    ASSERT_LT(area.right, 5000);

    // The window reaches the area's far edges, less its border, from where
    // it stands.
    BRect frame = window->Frame();
    BRect decorator = window->DecoratorFrame();
    float right = area.right - (decorator.right - frame.right);
    float bottom = area.bottom - (decorator.bottom - frame.bottom);
    window->ResizeOnScreen(5000, 5000);
    EXPECT_EQ(window->Frame(), BRect(100, 100, right, bottom));
    QSize fitted((int)right - 99, (int)bottom - 99);
    run_until([&] { return grab_window(window).size() == fitted; });
    EXPECT_EQ(grab_window(window).size(), fitted);

    window->ResizeOnScreen(300, 200);
    EXPECT_EQ(window->Frame(), BRect(100, 100, 400, 300));

    window->SetZoomLimits(5000, 5000);
    window->Zoom();
    EXPECT_EQ(window->Frame(), BRect(100, 100, right, bottom));
    window->Lock();
    window->Quit();
}

TEST_F(WindowTest, ChildrenFollowTheEdgesTheyAreToldTo)
{
    Recording* window = new Recording(BRect(0, 0, 200, 150));
    struct
    {
        uint32 mode;
        BRect before, after;
    } cases[] = {
        {B_FOLLOW_ALL_SIDES, BRect(0, 20, 186, 136), BRect(0, 20, 236, 166)},
        {B_FOLLOW_LEFT_RIGHT | B_FOLLOW_TOP, BRect(0, 0, 200, 19), BRect(0, 0, 250, 19)},
        {B_FOLLOW_TOP_BOTTOM | B_FOLLOW_RIGHT, BRect(187, 19, 201, 137), BRect(237, 19, 251, 167)},
        {B_FOLLOW_LEFT_RIGHT | B_FOLLOW_BOTTOM, BRect(-1, 137, 187, 151), BRect(-1, 167, 237, 181)},
        {B_FOLLOW_NONE, BRect(5, 5, 10, 10), BRect(5, 5, 10, 10)},
        {B_FOLLOW_H_CENTER | B_FOLLOW_V_CENTER, BRect(90, 70, 110, 80), BRect(115, 85, 135, 95)},
    };
    std::vector<BView*> views;
    for (auto& c : cases) {
        BView* view = new BView(c.before, "child", c.mode, 0);
        window->AddChild(view);
        views.push_back(view);
    }
    window->Show();
    window->ResizeBy(50, 30);
    run_until([&] { return !window->sizes.empty() && window->sizes.back().first == 250; });
    for (size_t i = 0; i < views.size(); i++)
        EXPECT_EQ(views[i]->Frame(), cases[i].after) << i;
    window->Lock();
    window->Quit();
}

TEST_F(WindowTest, ScrollBarsAndTheirTargetMoveTogether)
{
    Recording* window = new Recording(BRect(0, 0, 200, 150));
    BView* target = new BView(BRect(0, 0, 185, 135), "target", B_FOLLOW_ALL_SIDES, B_WILL_DRAW);
    window->AddChild(target);
    BScrollBar* bar = new BScrollBar(BRect(186, 0, 200, 136), "bar", target, 0, 0, B_VERTICAL);
    window->AddChild(bar);
    window->Show();
    EXPECT_EQ(target->ScrollBar(B_VERTICAL), bar);

    bar->SetRange(0, 300);
    bar->SetValue(120);
    EXPECT_EQ(target->Bounds().top, 120);
    target->ScrollTo(0, 40);
    EXPECT_EQ(bar->Value(), 40);
    bar->SetValue(1000);
    EXPECT_EQ(bar->Value(), 300);
    EXPECT_EQ(target->Bounds().top, 300);
    bar->SetRange(0, 50);
    EXPECT_EQ(target->Bounds().top, 50);

    // Proportions outside 0..1, or not a number, are taken as their bound.
    struct
    {
        float given, taken;
    } proportions[] = {{0.5f, 0.5f}, {-3, 0}, {7, 1}, {NAN, 0}, {INFINITY, 1}, {-INFINITY, 0}};
    for (auto& p : proportions) {
        bar->SetProportion(p.given);
        EXPECT_EQ(bar->Proportion(), p.taken) << p.given;
    }
    bar->SetSteps(10, 136);
    float small, large;
    bar->GetSteps(&small, &large);
    EXPECT_EQ(small, 10);
    EXPECT_EQ(large, 136);
    window->Lock();
    window->Quit();
}

TEST_F(WindowTest, ClosingAsksTheWindowOnItsStrand)
{
    Recording* window = new Recording(BRect(0, 0, 100, 100));
    window->agree = false;
    window->Show();
    BMessenger messenger(window);
    BPrivate::WindowBridge::Data(window)->widget->close();
    run_until([&] { return window->asked > 0; });
    EXPECT_EQ(window->asked, 1);
    EXPECT_TRUE(messenger.IsValid()) << "a window that disagrees stays";
    window->agree = true;
    BPrivate::WindowBridge::Data(window)->widget->close();
    run_until([&] { return !messenger.IsValid(); });
    EXPECT_FALSE(messenger.IsValid());
}

TEST_F(WindowTest, AWindowHiddenBeforeItsFirstShowWorksUnseen)
{
    Recording* window = new Recording(BRect(0, 0, 100, 100));
    window->agree = false;
    window->Hide();
    window->Show();
    BMessenger messenger(window);
    messenger.SendMessage(B_QUIT_REQUESTED);
    ASSERT_TRUE(run_until([&] { return window->asked > 0; })) << "its strand runs";
    EXPECT_TRUE(window->IsHidden());
    EXPECT_FALSE(shown_on_screen(window));
    window->Show();
    EXPECT_TRUE(run_until([&] { return shown_on_screen(window); }));
    window->agree = true;
    messenger.SendMessage(B_QUIT_REQUESTED);
    run_until([&] { return !messenger.IsValid(); });
}

TEST_F(WindowTest, AnAlertWaitsForItsButtonAndGoesAway)
{
    int32 windowsBefore = be_app->CountWindows();
    BAlert* alert = new BAlert("", "line one\nline two", "Cancel", "Thank you", nullptr,
                               B_WIDTH_AS_USUAL, B_INFO_ALERT);
    EXPECT_STREQ(alert->Title(), "");
    EXPECT_EQ(alert->CountButtons(), 2);
    EXPECT_STREQ(alert->ButtonLabel(1), "Thank you");
    QTimer::singleShot(100, [] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            for (QPushButton* button : widget->findChildren<QPushButton*>()) {
                if (button->isVisible() && button->text() == "Thank you")
                    button->click();
            }
        }
    });
    EXPECT_EQ(alert->Go(), 1);
    run_until([&] { return be_app->CountWindows() == windowsBefore; });
    EXPECT_EQ(be_app->CountWindows(), windowsBefore);
}

} // namespace
