#ifndef _TRANSLATOR_SETTINGS_INFO_H
#define _TRANSLATOR_SETTINGS_INFO_H

// What a translator's settings are, read from the panel it builds, so that a
// program without windows (the converter's --list-settings and --set) can
// name them, check values and pass them in an ioExtension message.

#include <SupportDefs.h>
#include <TranslationDefs.h>

#include <string>
#include <utility>
#include <vector>

class BTranslatorRoster;

namespace BPrivate {

struct translator_setting
{
    // The field the translator reads ("jpeg /quality") and its panel's label.
    std::string name;
    std::string label;
    // B_BOOL_TYPE (a check box) or B_INT32_TYPE (a slider or a list).
    type_code type = 0;
    int32 defaultValue = 0;
    // The range of a slider's numbers.
    int32 minimum = 0;
    int32 maximum = 0;
    // The values of a list and their names, in the list's order.
    std::vector<std::pair<int32, std::string>> choices;
};

// The settings the translator's panel offers, in its order; none when it
// has no panel. Builds the panel without showing it.
status_t get_translator_settings(BTranslatorRoster* roster, translator_id id,
                                 std::vector<translator_setting>* settings);

} // namespace BPrivate

#endif
