#include "ConvertSettings.h"

#include <FileExtensions.h>
#include <TranslatorFormats.h>
#include <TranslatorSettingsInfo.h>

#include <cerrno>
#include <cstdlib>
#include <strings.h>
#include <vector>

using BPrivate::translator_setting;

namespace convert {

namespace {

// What the command line calls a setting: its name after the translator's
// prefix ("jpeg /quality" is "quality").
std::string key_of(const std::string& name)
{
    size_t slash = name.rfind('/');
    return slash == std::string::npos ? name : name.substr(slash + 1);
}

bool lists_mime(const translation_format* formats, int32 count, const std::string& mime)
{
    for (int32 i = 0; formats != nullptr && i < count; i++) {
        if (formats[i].type != B_TRANSLATOR_BITMAP &&
            strcasecmp(formats[i].MIME, mime.c_str()) == 0)
            return true;
    }
    return false;
}

std::vector<translator_id> all_translators(BTranslatorRoster* roster)
{
    translator_id* ids = nullptr;
    int32 count = 0;
    std::vector<translator_id> all;
    if (roster->GetAllTranslators(&ids, &count) == B_OK)
        all.assign(ids, ids + count);
    delete[] ids;
    return all;
}

bool writes(BTranslatorRoster* roster, translator_id id, uint32 type)
{
    const translation_format* formats = nullptr;
    int32 count = 0;
    if (roster->GetOutputFormats(id, &formats, &count) != B_OK)
        return false;
    for (int32 i = 0; i < count; i++) {
        if (formats[i].type == type)
            return true;
    }
    return false;
}

// The values a setting takes, as the listing shows them.
std::string values_of(const translator_setting& setting)
{
    if (setting.type == B_BOOL_TYPE)
        return "true|false";
    if (setting.choices.empty())
        return std::to_string(setting.minimum) + ".." + std::to_string(setting.maximum);
    std::string values;
    for (const auto& choice : setting.choices)
        values += (values.empty() ? "" : "|") + std::to_string(choice.first);
    return values;
}

const char* kind_of(const translator_setting& setting)
{
    if (setting.type == B_BOOL_TYPE)
        return "boolean";
    return setting.choices.empty() ? "number" : "choice";
}

std::string value_name(const translator_setting& setting, int32 value)
{
    if (setting.type == B_BOOL_TYPE)
        return value ? "true" : "false";
    return std::to_string(value);
}

// A choice named by its value or its name, whole or its first word ("lzw"
// for "LZW", "4:2:0", "ascii" for "ASCII text (P3)"), any case.
bool parse_choice(const translator_setting& setting, const std::string& text, int32* value)
{
    for (const auto& choice : setting.choices) {
        const std::string& name = choice.second;
        std::string word = name.substr(0, name.find_first_of(" ("));
        if (text == std::to_string(choice.first) || strcasecmp(text.c_str(), name.c_str()) == 0 ||
            strcasecmp(text.c_str(), word.c_str()) == 0) {
            *value = choice.first;
            return true;
        }
    }
    return false;
}

bool parse_value(const translator_setting& setting, const std::string& text, int32* value)
{
    if (setting.type == B_BOOL_TYPE) {
        for (const char* yes : {"true", "yes", "on", "1"}) {
            if (strcasecmp(text.c_str(), yes) == 0) {
                *value = 1;
                return true;
            }
        }
        for (const char* no : {"false", "no", "off", "0"}) {
            if (strcasecmp(text.c_str(), no) == 0) {
                *value = 0;
                return true;
            }
        }
        return false;
    }
    if (!setting.choices.empty())
        return parse_choice(setting, text, value);
    char* end = nullptr;
    errno = 0;
    long number = strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno != 0 || number < setting.minimum ||
        number > setting.maximum)
        return false;
    *value = int32(number);
    return true;
}

} // namespace

std::string mime_for_format(const std::string& format)
{
    if (format.find('/') != std::string::npos)
        return format;
    const char* mime = mime_for_extension(format.c_str() + (format[0] == '.' ? 1 : 0));
    return mime != nullptr ? mime : "";
}

bool list_settings(BTranslatorRoster* roster, const std::string& format, FILE* out)
{
    std::string mime = mime_for_format(format);
    bool found = false;
    for (translator_id id : all_translators(roster)) {
        const translation_format* inputs = nullptr;
        const translation_format* outputs = nullptr;
        int32 inputCount = 0, outputCount = 0;
        roster->GetInputFormats(id, &inputs, &inputCount);
        roster->GetOutputFormats(id, &outputs, &outputCount);
        if (mime.empty() ||
            (!lists_mime(inputs, inputCount, mime) && !lists_mime(outputs, outputCount, mime)))
            continue;
        found = true;
        const char* name = nullptr;
        roster->GetTranslatorInfo(id, &name, nullptr, nullptr);
        std::vector<translator_setting> settings;
        BPrivate::get_translator_settings(roster, id, &settings);
        fprintf(out, "%s (%s)%s\n", name != nullptr ? name : "?", mime.c_str(),
                settings.empty() ? ": no settings" : ":");
        for (const translator_setting& setting : settings) {
            std::string usage = key_of(setting.name) + "=" + values_of(setting);
            // A panel's label may end in a colon before its control.
            std::string label = setting.label;
            if (!label.empty() && label.back() == ':')
                label.pop_back();
            std::string kind = std::string(kind_of(setting)) + ", default " +
                               value_name(setting, setting.defaultValue);
            fprintf(out, "  %-24s %-24s %s", usage.c_str(), kind.c_str(), label.c_str());
            std::string named;
            for (const auto& choice : setting.choices)
                named += (named.empty() ? "" : ", ") + std::to_string(choice.first) + " = " +
                         choice.second;
            if (named.empty())
                fputc('\n', out);
            else
                fprintf(out, " (%s)\n", named.c_str());
        }
    }
    return found;
}

bool add_setting(BTranslatorRoster* roster, const std::string& assignment, uint32 outputType,
                 BMessage* settings, std::string* error)
{
    size_t equals = assignment.find('=');
    if (equals == std::string::npos || equals == 0) {
        *error = "--set needs KEY=VALUE, not \"" + assignment + "\"";
        return false;
    }
    std::string key = assignment.substr(0, equals);
    std::string text = assignment.substr(equals + 1);
    bool known = false, taken = false;
    std::string refusal;
    for (translator_id id : all_translators(roster)) {
        std::vector<translator_setting> described;
        BPrivate::get_translator_settings(roster, id, &described);
        for (const translator_setting& setting : described) {
            if (key != setting.name && key != key_of(setting.name))
                continue;
            known = true;
            int32 value = 0;
            if (!parse_value(setting, text, &value)) {
                // The output's own translator must understand it.
                if (outputType != 0 && writes(roster, id, outputType)) {
                    const char* name = nullptr;
                    roster->GetTranslatorInfo(id, &name, nullptr, nullptr);
                    refusal = "bad value for " + key + " (" +
                              (name != nullptr ? name : "the translator") + "): " + text +
                              "; it takes " + values_of(setting);
                }
                continue;
            }
            settings->RemoveName(setting.name.c_str());
            if (setting.type == B_BOOL_TYPE)
                settings->AddBool(setting.name.c_str(), value != 0);
            else
                settings->AddInt32(setting.name.c_str(), value);
            taken = true;
        }
    }
    if (!known)
        *error = "no translator has a setting " + key + " (see --list-settings FORMAT)";
    else if (!refusal.empty())
        *error = refusal;
    else if (!taken)
        *error = "no translator takes " + key + "=" + text + " (see --list-settings FORMAT)";
    return known && taken && refusal.empty();
}

} // namespace convert
