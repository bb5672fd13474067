#ifndef _TAVRIN_SETTINGS_VIEW_H
#define _TAVRIN_SETTINGS_VIEW_H

// The settings panel of a BaseTranslator: controls stacked top to bottom,
// each bound to one named setting, which it shows and which it changes (and
// so saves) as soon as the user touches it. A translator builds it in
// MakeSettingsView(), and the base hands it out with its size:
//
//     SettingsView* view = new SettingsView("Targa settings", this);
//     view->AddCheckBox("Compress (RLE)", "tga /rle", false);
//     return view;
//
// Each control shows the value a translation uses, which for a stored value
// out of range is not the stored one: a slider holds it to its limits, and a
// pop-up shows its default for a value none of its options has. A translator
// reads its settings by the same rules.
//
// The view holds a reference to its translator, so the settings outlive
// neither.

#include <View.h>

#include "../include/private/TranslatorSettingsInfo.h"

#include <vector>

class BCheckBox;
class BOptionPopUp;
class BSlider;
class BStringView;

namespace BPrivate {

class BaseTranslator;

class SettingsView : public BView
{
public:
    SettingsView(const char* name, BaseTranslator* translator);
    virtual ~SettingsView();

    virtual void AttachedToWindow();
    virtual void MessageReceived(BMessage* message);

    BStringView* AddText(const char* text);
    BCheckBox* AddCheckBox(const char* label, const char* setting, bool defaultValue);
    BSlider* AddSlider(const char* label, const char* setting, int32 minimum, int32 maximum,
                       int32 defaultValue);
    // names and values hold count options each.
    BOptionPopUp* AddOptionPopUp(const char* label, const char* setting, const char* const* names,
                                 const int32* values, int32 count, int32 defaultValue);

    // What the controls added so far set, in their order.
    const std::vector<translator_setting>& Described() const { return fDescribed; }

private:
    void _Place(BView* child, float width, float height);

    BaseTranslator* fTranslator;
    std::vector<translator_setting> fDescribed;
    float fNextTop;
    float fWidest;
};

} // namespace BPrivate

#endif
