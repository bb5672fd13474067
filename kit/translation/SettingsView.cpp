#include "SettingsView.h"

#include <CheckBox.h>
#include <Message.h>
#include <OptionPopUp.h>
#include <Slider.h>
#include <StringView.h>
#include <TranslatorRoster.h>
#include <TranslatorSettings.h>

#include "BaseTranslator.h"
#include "interface/WindowPrivate.h"

#include <algorithm>

namespace BPrivate {

namespace {

const uint32 kSettingChanged = 'tset';
const float kMargin = 10;
const float kSpacing = 6;

BMessage* setting_message(const char* setting, type_code type)
{
    BMessage* message = new BMessage(kSettingChanged);
    message->AddString("setting", setting);
    message->AddInt32("type", (int32)type);
    return message;
}

} // namespace

SettingsView::SettingsView(const char* name, BaseTranslator* translator)
    : BView(BRect(0, 0, 2 * kMargin, 2 * kMargin), name, B_FOLLOW_ALL, B_WILL_DRAW),
      fTranslator(translator), fNextTop(kMargin), fWidest(0)
{
    // A panel's background; its controls take it as theirs.
    SetViewColor(kPanelBackground);
    SetLowColor(kPanelBackground);
    fTranslator->Acquire();
}

SettingsView::~SettingsView()
{
    fTranslator->Release();
}

void SettingsView::AttachedToWindow()
{
    BView::AttachedToWindow();
    for (int32 i = 0; BView* child = ChildAt(i); i++) {
        if (auto* control = dynamic_cast<BControl*>(child))
            control->SetTarget(this);
    }
}

void SettingsView::MessageReceived(BMessage* message)
{
    if (message->what != kSettingChanged) {
        BView::MessageReceived(message);
        return;
    }
    const char* setting;
    int32 type;
    int32 value;
    TranslatorSettings* settings = fTranslator->Settings();
    if (settings == nullptr || message->FindString("setting", &setting) != B_OK ||
        message->FindInt32("type", &type) != B_OK || message->FindInt32("be:value", &value) != B_OK)
        return;
    if ((type_code)type == B_BOOL_TYPE)
        settings->SetBool(setting, value != 0);
    else
        settings->SetInt32(setting, value);
}

void SettingsView::_Place(BView* child, float width, float height)
{
    child->MoveTo(kMargin, fNextTop);
    child->ResizeTo(width, height);
    AddChild(child);
    fNextTop += height + 1 + kSpacing;
    fWidest = std::max(fWidest, width);
    ResizeTo(fWidest + 2 * kMargin, fNextTop - kSpacing + kMargin - 1);
}

BStringView* SettingsView::AddText(const char* text)
{
    BStringView* view = new BStringView(BRect(0, 0, 10, 10), "text", text);
    float width, height;
    view->GetPreferredSize(&width, &height);
    _Place(view, width, height);
    return view;
}

BCheckBox* SettingsView::AddCheckBox(const char* label, const char* setting, bool defaultValue)
{
    BCheckBox* box =
        new BCheckBox(BRect(0, 0, 10, 10), setting, label, setting_message(setting, B_BOOL_TYPE));
    TranslatorSettings* settings = fTranslator->Settings();
    bool value = settings != nullptr ? settings->GetBool(setting, defaultValue) : defaultValue;
    box->SetValue(value ? B_CONTROL_ON : B_CONTROL_OFF);
    translator_setting described;
    described.name = setting;
    described.label = label;
    described.type = B_BOOL_TYPE;
    described.defaultValue = defaultValue;
    described.maximum = 1;
    fDescribed.push_back(described);
    float width, height;
    box->GetPreferredSize(&width, &height);
    _Place(box, width, height);
    return box;
}

BSlider* SettingsView::AddSlider(const char* label, const char* setting, int32 minimum,
                                 int32 maximum, int32 defaultValue)
{
    BSlider* slider = new BSlider(BRect(0, 0, 10, 10), setting, label,
                                  setting_message(setting, B_INT32_TYPE), minimum, maximum);
    TranslatorSettings* settings = fTranslator->Settings();
    slider->SetValue(settings != nullptr ? settings->GetInt32(setting, defaultValue)
                                         : defaultValue);
    translator_setting described;
    described.name = setting;
    described.label = label;
    described.type = B_INT32_TYPE;
    described.defaultValue = defaultValue;
    described.minimum = minimum;
    described.maximum = maximum;
    fDescribed.push_back(described);
    float width, height;
    slider->GetPreferredSize(&width, &height);
    _Place(slider, std::max(width, 200.0f), height);
    return slider;
}

BOptionPopUp* SettingsView::AddOptionPopUp(const char* label, const char* setting,
                                           const char* const* names, const int32* values,
                                           int32 count, int32 defaultValue)
{
    BOptionPopUp* popUp = new BOptionPopUp(BRect(0, 0, 10, 10), setting, label,
                                           setting_message(setting, B_INT32_TYPE));
    for (int32 i = 0; i < count; i++)
        popUp->AddOption(names[i], values[i]);
    TranslatorSettings* settings = fTranslator->Settings();
    int32 value = settings != nullptr ? settings->GetInt32(setting, defaultValue) : defaultValue;
    // A stored value that is none of the options is not used: the translator
    // writes with the default, and so the pop-up shows it.
    if (std::find(values, values + count, value) == values + count)
        value = defaultValue;
    popUp->SetValue(value);
    translator_setting described;
    described.name = setting;
    described.label = label;
    described.type = B_INT32_TYPE;
    described.defaultValue = defaultValue;
    for (int32 i = 0; i < count; i++)
        described.choices.emplace_back(values[i], names[i]);
    if (count > 0) {
        described.minimum = *std::min_element(values, values + count);
        described.maximum = *std::max_element(values, values + count);
    }
    fDescribed.push_back(described);
    float width, height;
    popUp->GetPreferredSize(&width, &height);
    _Place(popUp, width, height);
    return popUp;
}

status_t get_translator_settings(BTranslatorRoster* roster, translator_id id,
                                 std::vector<translator_setting>* settings)
{
    if (roster == nullptr || settings == nullptr)
        return B_BAD_VALUE;
    settings->clear();
    BView* view = nullptr;
    BRect extent;
    status_t status = roster->MakeConfigurationView(id, nullptr, &view, &extent);
    // A translator without a panel has no settings.
    if (status == B_ERROR)
        return B_OK;
    if (status != B_OK)
        return status;
    if (auto* panel = dynamic_cast<SettingsView*>(view))
        *settings = panel->Described();
    delete view;
    return B_OK;
}

} // namespace BPrivate
