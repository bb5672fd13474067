// The output-format catalogue, the menus built from it, and the commands that
// reach the view, with the fake translators of the roster's tests.

#include <Application.h>
#include <FilePanel.h>
#include <MenuBar.h>
#include <MenuItem.h>
#include <Messenger.h>
#include <TranslatorRoster.h>

#include "MainWindow.h"
#include "Pixels.h"
#include "TestApp.h"
#include "app/configwindow.h"
#include "app/tavrin.h"
#include "view/tavrinview.h"
#include "window/catalogue.h"
#include "window/codes.h"
#include "window/tavrinwindow.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

class CommandsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        window = open_main_window();
        view = window->view;
        Settle();
    }

    void Settle() { settle_window(window); }

    void TearDown() override
    {
        // Configuration windows left open go first, as the kit's quit does.
        for (int32 i = be_app->CountWindows() - 1; i >= 0; i--) {
            BWindow* other = be_app->WindowAt(i);
            if (other != window && dynamic_cast<configwindow*>(other)) {
                other->QuitRequested();
                other->Quit();
            }
        }
        BMessenger messenger(window);
        window->QuitRequested();
        window->Quit();
        run_until([&] { return !messenger.IsValid(); });
    }

    void Send(BMessage* message)
    {
        BMessenger(view).SendMessage(message);
        Settle();
    }

    void Send(uint32 what)
    {
        BMessage message(what);
        Send(&message);
    }

    void SendFormat(uint32 what, int16 number)
    {
        BMessage message(what);
        message.AddInt16("format_no", number);
        Send(&message);
    }

    void GiveImage()
    {
        delete view->image;
        view->image = new BBitmap(BRect(0, 0, 9, 9), B_RGB32);
        view->redraw(true);
        Settle();
    }

    std::vector<std::string> Names()
    {
        std::vector<std::string> names;
        for (int32 i = 0; i < trc; i++)
            names.push_back(format_at(i)->name);
        return names;
    }

    tavrinwindow* window = nullptr;
    tavrinview* view = nullptr;
};

TEST_F(CommandsTest, CatalogueListsEveryWriterTargaFirst)
{
    // The roster's order: by quality x capability, ties in discovery order.
    const std::vector<std::string> expected = {"Targa image (low)", "Targa image (high)",
                                               "Fake one",          "Fake two",
                                               "Fake three",        "Fake without view"};
    EXPECT_EQ(Names(), expected);
    EXPECT_EQ(trc, 6);
    // Three formats of one translator: one id, three types.
    EXPECT_EQ(format_at(2)->translator, format_at(3)->translator);
    EXPECT_EQ(format_at(3)->translator, format_at(4)->translator);
    EXPECT_EQ(format_at(2)->type, (uint32)'FAK1');
    EXPECT_EQ(format_at(4)->type, (uint32)'FAK3');
    EXPECT_STREQ(format_at(4)->MIME, "image/x-fake-three");
    EXPECT_EQ(format_at(-1), nullptr);
    EXPECT_EQ(format_at(6), nullptr);
}

TEST_F(CommandsTest, MenusCarryTheCatalogueIndex)
{
    BMenuBar* bar = dynamic_cast<BMenuBar*>(window->FindView("menubar"));
    ASSERT_NE(bar, nullptr);
    BMenu* saveAs = bar->SubmenuAt(0)->SubmenuAt(3);
    ASSERT_NE(saveAs, nullptr);
    ASSERT_EQ(saveAs->CountItems(), trc);
    for (int32 i = 0; i < trc; i++) {
        EXPECT_STREQ(saveAs->ItemAt(i)->Label(), format_at(i)->name);
        EXPECT_EQ(saveAs->ItemAt(i)->Command(), (uint32)kSaveAs);
        int16 number = -1;
        saveAs->ItemAt(i)->Message()->FindInt16("format_no", &number);
        EXPECT_EQ(number, i);
        EXPECT_EQ(saveAs->ItemAt(i)->Target(nullptr), view);
    }

    // Only formats whose translator has a settings panel; the index is the catalogue's.
    BMenu* config = bar->SubmenuAt(3);
    ASSERT_EQ(config->CountItems(), 5);
    for (int32 i = 0; i < config->CountItems(); i++) {
        int16 number = -1;
        config->ItemAt(i)->Message()->FindInt16("format_no", &number);
        EXPECT_EQ(number, i);
        EXPECT_STREQ(config->ItemAt(i)->Label(), format_at(number)->name);
        EXPECT_EQ(config->ItemAt(i)->Command(), (uint32)kConfig);
    }
}

TEST_F(CommandsTest, PanelsShowOneAtATime)
{
    Send(kOpen);
    BFilePanel* open = view->panel;
    ASSERT_NE(open, nullptr);
    EXPECT_TRUE(open->IsShowing());
    EXPECT_EQ(open->PanelMode(), B_OPEN_PANEL);

    // Open again, or Save as, while the panel shows: nothing.
    Send(kOpen);
    EXPECT_EQ(view->panel, open);
    GiveImage();
    SendFormat(kSaveAs, 3);
    EXPECT_EQ(view->panel, open);
    EXPECT_EQ(view->format_no, 0);

    // The panel's closing clears it; the next Save as opens a save panel
    // titled with its format, and fixes the format.
    Send(B_CANCEL);
    EXPECT_EQ(view->panel, nullptr);
    SendFormat(kSaveAs, 3);
    ASSERT_NE(view->panel, nullptr);
    EXPECT_EQ(view->panel->PanelMode(), B_SAVE_PANEL);
    EXPECT_STREQ(view->panel->Window()->Title(), "Fake two");
    EXPECT_EQ(view->format_no, 3);
    SendFormat(kSaveAs, 5);
    EXPECT_EQ(view->format_no, 3);
    Send(B_CANCEL);
    EXPECT_EQ(view->panel, nullptr);
}

TEST_F(CommandsTest, CommandsThatCannotApplyDoNothing)
{
    // Save as without an image, or for a format that does not exist.
    SendFormat(kSaveAs, 0);
    EXPECT_EQ(view->panel, nullptr);
    GiveImage();
    SendFormat(kSaveAs, 99);
    EXPECT_EQ(view->panel, nullptr);
    SendFormat(kSaveAs, -1);
    EXPECT_EQ(view->panel, nullptr);

    // Close without an image keeps the window as it is.
    Send(kClose);
    EXPECT_EQ(view->image, nullptr);
    EXPECT_STREQ(window->Title(), "tavrin ver.0.00");
    BRect frame = window->Frame();
    Send(kClose);
    EXPECT_EQ(window->Frame(), frame);

    // A 'SAVE' without its fields saves nothing and forgets the panel.
    GiveImage();
    SendFormat(kSaveAs, 1);
    ASSERT_NE(view->panel, nullptr);
    Send(B_SAVE_REQUESTED);
    EXPECT_EQ(view->panel, nullptr);
}

TEST_F(CommandsTest, CloseReturnsToTheEmptyView)
{
    GiveImage();
    strcpy(view->title, "kept.png");
    view->redraw(true);
    Settle();
    Send(kClose);
    EXPECT_EQ(view->image, nullptr);
    EXPECT_EQ(pic, BRect(-1, -1, -1, -1));
    EXPECT_STREQ(window->Title(), "tavrin ver.0.00");
    EXPECT_STREQ(view->title, "kept.png");
}

TEST_F(CommandsTest, DropPositionFollowsTheDropFields)
{
    BPoint screen = view->ConvertToScreen(BPoint(100, 80));
    struct
    {
        bool point, offset;
        float scale; // 0 here: no scale field; NAN: a scale of 0
        BPoint expected;
    } cases[] = {
        {true, true, 0, BPoint(80, 70)}, {true, true, 2, BPoint(90, 75)},
        {true, false, 0, BPoint(1, 2)},  {false, true, 0, BPoint(1, 2)},
        {true, true, NAN, BPoint(1, 2)},
    };
    for (auto& c : cases) {
        droppos.Set(1, 2);
        BMessage message('none');
        if (c.point)
            message.AddPoint("_drop_point_", screen);
        if (c.offset)
            message.AddPoint("_drop_offset_", BPoint(20, 10));
        if (c.scale != 0)
            message.AddFloat("scale", std::isnan(c.scale) ? 0.0f : c.scale);
        Send(&message);
        EXPECT_EQ(droppos, c.expected) << c.point << c.offset << c.scale;
    }
    // A command without drop fields leaves the position as the last drop set it.
    droppos.Set(33, 44);
    Send(kClose);
    EXPECT_EQ(droppos, BPoint(33, 44));
}

TEST_F(CommandsTest, ConfigOpensOneWindowAtATime)
{
    SendFormat(kConfig, 2);
    EXPECT_TRUE(cwin);
    configwindow* config = nullptr;
    for (int32 i = 0; i < be_app->CountWindows(); i++) {
        if (auto* found = dynamic_cast<configwindow*>(be_app->WindowAt(i)))
            config = found;
    }
    ASSERT_NE(config, nullptr);
    // Titled with the format, sized to the panel (200 x 100), not resizable.
    EXPECT_STREQ(config->Title(), "Fake one");
    EXPECT_EQ(config->Bounds(), BRect(0, 0, 199, 99));
    EXPECT_TRUE(config->Flags() & B_NOT_RESIZABLE);
    EXPECT_TRUE(config->Flags() & B_NOT_ZOOMABLE);
    int32 windows = be_app->CountWindows();

    // A second choice while it is open: nothing.
    SendFormat(kConfig, 3);
    EXPECT_EQ(be_app->CountWindows(), windows);

    // Closing it clears the flag; the next choice opens a new one.
    config->PostMessage(B_QUIT_REQUESTED);
    run_until([&] { return !cwin && be_app->CountWindows() == windows - 1; });
    EXPECT_FALSE(cwin);
    EXPECT_EQ(be_app->CountWindows(), windows - 1);
    SendFormat(kConfig, 3);
    EXPECT_TRUE(cwin);
    EXPECT_EQ(be_app->CountWindows(), windows);

    // A format number that names nothing, or none at all: nothing opens.
    for (int32 i = be_app->CountWindows() - 1; i >= 0; i--) {
        if (auto* found = dynamic_cast<configwindow*>(be_app->WindowAt(i)))
            found->PostMessage(B_QUIT_REQUESTED);
    }
    run_until([] { return !cwin; });
    ASSERT_FALSE(cwin);
    SendFormat(kConfig, 42);
    Send(kConfig);
    EXPECT_FALSE(cwin);
}

TEST_F(CommandsTest, QuittingClosesTheConfigurationWindow)
{
    SendFormat(kConfig, 0);
    ASSERT_TRUE(cwin);
    for (int32 i = be_app->CountWindows() - 1; i >= 0; i--) {
        auto* config = dynamic_cast<configwindow*>(be_app->WindowAt(i));
        if (config && config->QuitRequested())
            config->Quit();
    }
    EXPECT_FALSE(cwin);
}

TEST_F(CommandsTest, UnknownCodesReachTheBaseClass)
{
    // BView hands what it does not know to the next handler in the chain.
    struct Catcher : BHandler
    {
        void MessageReceived(BMessage* message) override { seen.push_back(message->what); }
        std::vector<uint32> seen;
    } catcher;
    view->SetNextHandler(&catcher);
    Send('scrp');
    view->SetNextHandler(nullptr);
    ASSERT_EQ(catcher.seen.size(), 1u);
    EXPECT_EQ(catcher.seen[0], (uint32)'scrp');
}

} // namespace
