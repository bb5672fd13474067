// The PPM settings panel: its pop-up chooses between binary and ASCII output.

#include "TranslatorTestSupport.h"

#include <OptionPopUp.h>
#include <TranslatorFormats.h>
#include <TranslatorSettings.h>
#include <Window.h>

#include "TestApp.h"
#include "interface/ViewPrivate.h"

#include <QComboBox>

#include <gtest/gtest.h>

using namespace test;

TEST(PPMPanel, PopUpChoosesTheFormat)
{
    test_app();
    ScopedConfigHome config;
    TranslatorModule translator("PPMTranslator.so");
    BView* view = nullptr;
    BRect extent;
    ASSERT_EQ(translator.Roster().MakeConfigurationView(translator.ID(), nullptr, &view, &extent),
              B_OK);
    auto* popUp = dynamic_cast<BOptionPopUp*>(view->FindView("ppm /format"));
    ASSERT_NE(popUp, nullptr);
    ASSERT_EQ(popUp->CountOptions(), 2);
    const char* name;
    int32 value;
    EXPECT_EQ(popUp->SelectedOption(&name, &value), 0);
    EXPECT_EQ(value, 6);

    BWindow* window = new BWindow(BRect(100, 100, 100, 100), "PPM image", B_TITLED_WINDOW,
                                  B_NOT_RESIZABLE | B_NOT_ZOOMABLE);
    window->AddChild(view);
    window->ResizeTo(extent.Width(), extent.Height());
    window->Show();
    QComboBox* combo = nullptr;
    ASSERT_TRUE(run_until([&] {
        QWidget* box = BPrivate::ViewBridge::Data(popUp)->native.data();
        combo = box != nullptr ? box->findChild<QComboBox*>() : nullptr;
        return combo != nullptr;
    }));
    ASSERT_EQ(combo->count(), 2);
    EXPECT_EQ(combo->currentIndex(), 0);
    combo->setCurrentIndex(1);

    TranslatorSettings settings("PPMTranslator_settings");
    ASSERT_TRUE(run_until([&] { return settings.GetInt32("ppm /format", 6) == 3; }));
    std::vector<uint8> bytes;
    ASSERT_EQ(encode(translator.Get(), make_test_image(4, 4, false), B_PPM_FORMAT, &bytes), B_OK);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 2), "P3");

    window->Lock();
    window->Quit();
}
