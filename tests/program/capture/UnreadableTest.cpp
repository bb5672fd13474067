// Where the platform cannot read the screen (Wayland; here Qt's minimal
// platform, whose screens hand out no pixels) a capture keeps the picture
// and says so once.

#include <Bitmap.h>
#include <TranslatorRoster.h>
#include <Window.h>

#include "TestApp.h"
#include "app/tavrin.h"
#include "view/tavrinview.h"
#include "window/tavrinwindow.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

namespace {

TEST(UnreadableScreenTest, CaptureKeepsThePictureAndSaysSoOnce)
{
    setenv("QT_QPA_PLATFORM", "minimal", 1);
    test_app();
    if (!tr)
        tr = BTranslatorRoster::Default();
    tavrinwindow* window = new tavrinwindow(BRect(100, 100, 300, 250));
    settle(window);

    window->Lock();
    tavrinview* view = window->view;
    BBitmap* picture = new BBitmap(BRect(0, 0, 29, 19), B_RGB32);
    memset(picture->Bits(), 0x5a, picture->BitsLength());
    view->image = picture;
    strcpy(view->title, "sky.png");
    view->redraw(true);

    std::vector<std::string> said;
    for (int i = 0; i < 3; i++) {
        testing::internal::CaptureStderr();
        view->capture();
        said.push_back(testing::internal::GetCapturedStderr());
        EXPECT_EQ(view->image, picture);
        EXPECT_EQ(pic, BRect(0, 0, 29, 19));
        EXPECT_EQ(*static_cast<uint32*>(picture->Bits()), 0x5a5a5a5au);
        EXPECT_STREQ(window->Title(), "sky.png[30x20]");
        EXPECT_FALSE(window->IsHidden());
    }
    EXPECT_EQ(said[0], "tavrin: cannot capture the screen: the display server does not let "
                       "programs read the screen; the picture is kept\n");
    EXPECT_EQ(said[1], "");
    EXPECT_EQ(said[2], "");

    BMessenger messenger(window);
    window->QuitRequested();
    window->Quit();
    run_until([&] { return !messenger.IsValid(); });
}

} // namespace
