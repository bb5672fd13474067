// The Targa settings panel: its check boxes show the stored settings and
// change them, saved, as soon as they are clicked.

#include "TranslatorTestSupport.h"

#include <CheckBox.h>
#include <TranslatorFormats.h>
#include <TranslatorSettings.h>
#include <Window.h>

#include "TestApp.h"
#include "interface/ViewPrivate.h"

#include <QCheckBox>

#include <gtest/gtest.h>

using namespace test;

namespace {

QCheckBox* platform_box(BView* view)
{
    return qobject_cast<QCheckBox*>(BPrivate::ViewBridge::Data(view)->native.data());
}

} // namespace

TEST(TGAPanel, ClicksChangeTheSettingsAtOnce)
{
    test_app();
    ScopedConfigHome config;
    TranslatorSettings settings("TGATranslator_settings");
    ASSERT_EQ(settings.SetBool("tga /keep_alpha", false), B_OK);
    TranslatorModule translator("TGATranslator.so");

    BView* view = nullptr;
    BRect extent(0, 0, -1, -1);
    ASSERT_EQ(translator.Roster().MakeConfigurationView(translator.ID(), nullptr, &view, &extent),
              B_OK);
    ASSERT_NE(view, nullptr);
    EXPECT_GT(extent.Width(), 100);
    EXPECT_GT(extent.Height(), 30);

    auto* rle = dynamic_cast<BCheckBox*>(view->FindView("tga /rle"));
    auto* alpha = dynamic_cast<BCheckBox*>(view->FindView("tga /keep_alpha"));
    ASSERT_NE(rle, nullptr);
    ASSERT_NE(alpha, nullptr);
    EXPECT_EQ(rle->Value(), B_CONTROL_OFF);
    EXPECT_EQ(alpha->Value(), B_CONTROL_OFF);

    BWindow* window = new BWindow(BRect(100, 100, 100, 100), "Targa image", B_TITLED_WINDOW,
                                  B_NOT_RESIZABLE | B_NOT_ZOOMABLE);
    window->AddChild(view);
    window->ResizeTo(extent.Width(), extent.Height());
    window->Show();
    ASSERT_TRUE(run_until([&] { return platform_box(rle) != nullptr; }));
    QCheckBox* box = platform_box(rle);
    EXPECT_FALSE(box->isChecked());
    EXPECT_EQ(box->text().toStdString(), rle->Label());

    box->click();
    ASSERT_TRUE(run_until([&] { return settings.GetBool("tga /rle", false); }));
    EXPECT_EQ(rle->Value(), B_CONTROL_ON);

    // The next translation uses the new setting.
    std::vector<uint8> bytes;
    ASSERT_EQ(encode(translator.Get(), make_test_image(8, 8, false), B_TGA_FORMAT, &bytes), B_OK);
    EXPECT_EQ(bytes[2], 10);

    platform_box(alpha)->click();
    ASSERT_TRUE(run_until([&] { return settings.GetBool("tga /keep_alpha", false); }));
    box->click();
    ASSERT_TRUE(run_until([&] { return !settings.GetBool("tga /rle", true); }));

    window->Lock();
    window->Quit();
}
