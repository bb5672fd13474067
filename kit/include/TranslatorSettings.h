#ifndef _TRANSLATOR_SETTINGS_H
#define _TRANSLATOR_SETTINGS_H

#include <SupportDefs.h>

class BMessage;

namespace BPrivate {
struct TranslatorSettingsData;
}

// A translator's own settings: named bool, int32 and float values kept as a
// flattened BMessage in $XDG_CONFIG_HOME/tavrin/translators/<file name>
// (~/.config/... when XDG_CONFIG_HOME is unset). The file is read on first
// use and read again whenever it changed on disk, and every Set call writes
// it back at once (a temporary file renamed over the old one), so a value
// changed in a settings panel or by another process is seen by the next
// translation. Every call is thread-safe.
class TranslatorSettings
{
public:
    explicit TranslatorSettings(const char* fileName);
    ~TranslatorSettings();

    // A field of the same name and type in ioExtension overrides the stored
    // value for that one call; a missing value answers the default.
    bool GetBool(const char* name, bool defaultValue, const BMessage* ioExtension = nullptr);
    int32 GetInt32(const char* name, int32 defaultValue, const BMessage* ioExtension = nullptr);
    float GetFloat(const char* name, float defaultValue, const BMessage* ioExtension = nullptr);

    // Stores the value and saves the file; the error is the one that kept the
    // file from being written (the value is still used by this process).
    status_t SetBool(const char* name, bool value);
    status_t SetInt32(const char* name, int32 value);
    status_t SetFloat(const char* name, float value);

    // Adds every stored value to message, replacing fields of the same name.
    status_t GetConfigurationMessage(BMessage* message);

    // The file the settings live in, or B_NAME_NOT_FOUND when neither
    // XDG_CONFIG_HOME nor HOME names a folder.
    status_t GetPath(char* buffer, size_t size);

private:
    TranslatorSettings(const TranslatorSettings&) = delete;
    TranslatorSettings& operator=(const TranslatorSettings&) = delete;

    BPrivate::TranslatorSettingsData* fData;
};

#endif
