// The settings panels of the PNG, JPEG, TIFF, WebP and GIF translators: each
// control shows the stored setting, a change the user makes is saved at once,
// and the next translation follows it. Each codec's test folder builds this
// file for its own translator (TAVRIN_PANEL_MODULE): one add-on per process,
// which keeps LeakSanitizer's scan of dynamic TLS blocks within what it
// handles.

#include <gtest/gtest.h>

#include <CheckBox.h>
#include <OptionPopUp.h>
#include <Slider.h>
#include <TranslatorSettings.h>
#include <Window.h>

#include <QCheckBox>
#include <QComboBox>
#include <QSlider>

#include <cstring>

#include "TestApp.h"
#include "TranslatorTestSupport.h"
#include "interface/ViewPrivate.h"

using test::Image;

namespace {

enum ControlKind { kSlider, kCheckBox, kPopUp };

struct ControlCase
{
    const char* setting;
    ControlKind kind;
    int32 stored; // written to the settings file before the panel opens
    int32 chosen; // what the user then picks
};

struct PanelCase
{
    const char* module;
    const char* settingsFile;
    uint32 type;
    std::vector<ControlCase> controls;
    // Checks that a file written after the change follows the chosen values.
    std::function<void(const std::vector<uint8>& file, const Image& original,
                       BTranslator* translator)>
        checkFile;
};

// Names the case in test output.
void PrintTo(const PanelCase& c, std::ostream* out)
{
    *out << c.module;
}

QWidget* native_of(BView* view)
{
    return BPrivate::ViewBridge::Data(view)->native.data();
}

// Sets the platform control as a user would.
void choose(BView* control, ControlKind kind, int32 value)
{
    QWidget* widget = native_of(control);
    ASSERT_NE(widget, nullptr);
    switch (kind) {
    case kSlider:
        widget->findChild<QSlider*>()->setValue(value);
        break;
    case kCheckBox: {
        auto* box = qobject_cast<QCheckBox*>(widget);
        if (box->isChecked() != (value != 0))
            box->click();
        break;
    }
    case kPopUp: {
        auto* popUp = dynamic_cast<BOptionPopUp*>(control);
        for (int32 i = 0; i < popUp->CountOptions(); i++) {
            const char* name;
            int32 optionValue;
            popUp->GetOptionAt(i, &name, &optionValue);
            if (optionValue == value)
                widget->findChild<QComboBox*>()->setCurrentIndex(i);
        }
        break;
    }
    }
}

int32 stored_value(TranslatorSettings& settings, const ControlCase& control)
{
    if (control.kind == kCheckBox)
        return settings.GetBool(control.setting, control.stored == 0) ? 1 : 0;
    return settings.GetInt32(control.setting, -12345);
}

void store(TranslatorSettings& settings, const ControlCase& control, int32 value)
{
    if (control.kind == kCheckBox)
        ASSERT_EQ(settings.SetBool(control.setting, value != 0), B_OK);
    else
        ASSERT_EQ(settings.SetInt32(control.setting, value), B_OK);
}

uint32 argb(uint32 a, uint32 r, uint32 g, uint32 b)
{
    return a << 24 | r << 16 | g << 8 | b;
}

// The panel turned lossless coding on: the file gives back every pixel.
void lossless_check(const std::vector<uint8>& file, const Image& original, BTranslator* translator)
{
    Image decoded;
    ASSERT_EQ(test::decode(translator, file, &decoded), B_OK);
    EXPECT_EQ(decoded.pixels, original.pixels);
}

std::vector<PanelCase> panel_cases()
{
    return {
        {"PNGTranslator.so",
         "PNGTranslator_settings",
         B_PNG_FORMAT,
         {{"png /compression", kSlider, 2, 8},
          {"png /interlace", kCheckBox, 0, 1},
          {"png /upright", kCheckBox, 1, 0}},
         [](const std::vector<uint8>& file, const Image&, BTranslator*) {
             // IHDR's interlace method byte.
             EXPECT_EQ(file.at(28), 1);
         }},
        {"JPEGTranslator.so",
         "JPEGTranslator_settings",
         B_JPEG_FORMAT,
         {{"jpeg /quality", kSlider, 50, 75},
          {"jpeg /progressive", kCheckBox, 0, 1},
          {"jpeg /subsampling", kPopUp, 2, 0},
          {"jpeg /upright", kCheckBox, 1, 0}},
         [](const std::vector<uint8>& file, const Image&, BTranslator*) {
             bool progressive = false;
             for (size_t i = 0; i + 1 < file.size(); i++)
                 progressive = progressive || (file[i] == 0xff && file[i + 1] == 0xc2);
             EXPECT_TRUE(progressive);
         }},
        {"TIFFTranslator.so",
         "TIFFTranslator_settings",
         B_TIFF_FORMAT,
         {{"tiff /compression", kPopUp, 5, 1}, {"tiff /upright", kCheckBox, 1, 0}},
         [](const std::vector<uint8>& file, const Image& original, BTranslator*) {
             // Uncompressed: every RGB byte is in the file.
             EXPECT_GE(file.size(), original.pixels.size() * 3);
         }},
        {"WebPTranslator.so",
         "WebPTranslator_settings",
         B_WEBP_FORMAT,
         {{"webp /quality", kSlider, 20, 60},
          {"webp /lossless", kCheckBox, 0, 1},
          {"webp /upright", kCheckBox, 1, 0}},
         [](const std::vector<uint8>& file, const Image& original, BTranslator* translator) {
             Image decoded;
             ASSERT_EQ(test::decode(translator, file, &decoded), B_OK);
             EXPECT_EQ(decoded.pixels, original.pixels);
         }},
        {"GIFTranslator.so",
         "GIFTranslator_settings",
         B_GIF_FORMAT,
         {{"gif /dither", kCheckBox, 1, 0}},
         [](const std::vector<uint8>& file, const Image& original, BTranslator* translator) {
             // The panel turned dithering off: the file differs from one
             // written with it on for this call.
             BMessage dither;
             dither.AddBool("gif /dither", true);
             std::vector<uint8> dithered;
             ASSERT_EQ(test::encode(translator, original, B_GIF_FORMAT, &dithered, &dither), B_OK);
             EXPECT_NE(file, dithered);
         }},
        {"HEIFTranslator.so",
         "HEIFTranslator_settings",
         'HEIC',
         {{"heif /quality", kSlider, 20, 60}, {"heif /lossless", kCheckBox, 0, 1}},
         lossless_check},
        {"AVIFTranslator.so",
         "AVIFTranslator_settings",
         'AVIF',
         {{"avif /quality", kSlider, 20, 60}, {"avif /lossless", kCheckBox, 0, 1}},
         lossless_check},
        {"JXLTranslator.so",
         "JXLTranslator_settings",
         'JXL ',
         {{"jxl /quality", kSlider, 20, 60}, {"jxl /lossless", kCheckBox, 0, 1}},
         lossless_check},
    };
}

std::vector<PanelCase> cases_for(const char* module)
{
    std::vector<PanelCase> cases;
    for (const PanelCase& c : panel_cases()) {
        if (strcmp(c.module, module) == 0)
            cases.push_back(c);
    }
    return cases;
}

class CodecPanelTest : public ::testing::TestWithParam<PanelCase>
{};

TEST_P(CodecPanelTest, ControlsShowAndChangeTheStoredSettings)
{
    test_app();
    {
        const PanelCase& c = GetParam();
        test::ScopedConfigHome config;
        TranslatorSettings settings(c.settingsFile);
        for (const ControlCase& control : c.controls)
            store(settings, control, control.stored);

        test::TranslatorModule module(c.module);
        ASSERT_NE(module.Get(), nullptr) << module.Error();
        BView* view = nullptr;
        BRect extent(0, 0, -1, -1);
        // Without a place for the view or its size there is nothing to hand out.
        EXPECT_EQ(module.Get()->MakeConfigurationView(nullptr, nullptr, &extent), B_BAD_VALUE);
        EXPECT_EQ(module.Get()->MakeConfigurationView(nullptr, &view, nullptr), B_BAD_VALUE);
        EXPECT_EQ(view, nullptr);
        ASSERT_EQ(module.Get()->MakeConfigurationView(nullptr, &view, &extent), B_OK);
        ASSERT_NE(view, nullptr);
        EXPECT_GT(extent.Width(), 100);
        EXPECT_GT(extent.Height(), 20);

        std::vector<BControl*> controls;
        for (const ControlCase& control : c.controls) {
            SCOPED_TRACE(control.setting);
            auto* found = dynamic_cast<BControl*>(view->FindView(control.setting));
            ASSERT_NE(found, nullptr);
            EXPECT_EQ(found->Value(), control.stored);
            controls.push_back(found);
        }

        BWindow* window = new BWindow(BRect(100, 100, 100, 100), "settings", B_TITLED_WINDOW,
                                      B_NOT_RESIZABLE | B_NOT_ZOOMABLE);
        window->AddChild(view);
        window->ResizeTo(extent.Width(), extent.Height());
        window->Show();
        ASSERT_TRUE(run_until([&] { return native_of(controls.back()) != nullptr; }));
        for (size_t i = 0; i < controls.size(); i++) {
            const ControlCase& control = c.controls[i];
            SCOPED_TRACE(control.setting);
            choose(controls[i], control.kind, control.chosen);
            EXPECT_TRUE(
                run_until([&] { return stored_value(settings, control) == control.chosen; }));
        }

        Image original = test::make_image(
            48, 32, B_RGB32, [](uint32 x, uint32 y) { return argb(255, x * 5, y * 7, 128); });
        std::vector<uint8> file;
        ASSERT_EQ(test::encode(module.Get(), original, c.type, &file), B_OK);
        c.checkFile(file, original, module.Get());

        window->Lock();
        window->Quit();
    }
}

// A settings file may hold a value no option of a pop-up has (written by hand
// or by another version): the pop-up shows the option the translator writes
// with instead, never a blank.
TEST_P(CodecPanelTest, PopUpsShowTheOptionUsedForAnUnknownValue)
{
    test_app();
    const PanelCase& c = GetParam();
    std::vector<const ControlCase*> popUps;
    for (const ControlCase& control : c.controls) {
        if (control.kind == kPopUp)
            popUps.push_back(&control);
    }
    if (popUps.empty())
        GTEST_SKIP() << "this panel has no pop-up";

    test::ScopedConfigHome config;
    TranslatorSettings settings(c.settingsFile);
    test::TranslatorModule module(c.module);
    ASSERT_NE(module.Get(), nullptr) << module.Error();
    Image original = test::make_image(
        48, 32, B_RGB32, [](uint32 x, uint32 y) { return argb(255, x * 5, y * 7, 128); });
    for (const ControlCase* control : popUps) {
        for (int32 unknown : {99, -1}) {
            SCOPED_TRACE(std::string(control->setting) + " = " + std::to_string(unknown));
            store(settings, *control, unknown);
            BView* view = nullptr;
            BRect extent;
            ASSERT_EQ(module.Get()->MakeConfigurationView(nullptr, &view, &extent), B_OK);
            auto* popUp = dynamic_cast<BOptionPopUp*>(view->FindView(control->setting));
            ASSERT_NE(popUp, nullptr);
            BWindow* window = new BWindow(BRect(100, 100, 100, 100), "settings", B_TITLED_WINDOW,
                                          B_NOT_RESIZABLE | B_NOT_ZOOMABLE);
            window->AddChild(view);
            window->ResizeTo(extent.Width(), extent.Height());
            window->Show();
            QComboBox* combo = nullptr;
            ASSERT_TRUE(run_until([&] {
                QWidget* box = native_of(popUp);
                combo = box != nullptr ? box->findChild<QComboBox*>() : nullptr;
                return combo != nullptr;
            }));
            const char* name = nullptr;
            int32 shown = 0;
            ASSERT_TRUE(popUp->GetOptionAt(combo->currentIndex(), &name, &shown));
            EXPECT_EQ(combo->currentText().toStdString(), name);

            // A file written with the stored value is the one written with
            // the option shown.
            std::vector<uint8> stored, chosen;
            ASSERT_EQ(test::encode(module.Get(), original, c.type, &stored), B_OK);
            BMessage option;
            option.AddInt32(control->setting, shown);
            ASSERT_EQ(test::encode(module.Get(), original, c.type, &chosen, &option), B_OK);
            EXPECT_EQ(stored, chosen);

            window->Lock();
            window->Quit();
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Panel, CodecPanelTest, ::testing::ValuesIn(cases_for(TAVRIN_PANEL_MODULE)),
                         [](const ::testing::TestParamInfo<PanelCase>& info) {
                             std::string name = info.param.module;
                             return name.substr(0, name.find('.'));
                         });

} // namespace
