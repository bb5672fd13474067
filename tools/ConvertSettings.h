#ifndef TAVRIN_CONVERT_SETTINGS_H
#define TAVRIN_CONVERT_SETTINGS_H

// The translators' settings on the command line: --list-settings FORMAT
// shows them as their panels offer them, and --set KEY=VALUE overrides one
// for a run, as a field of the ioExtension message every translation gets.

#include <Message.h>
#include <TranslatorRoster.h>

#include <cstdio>
#include <string>

namespace convert {

// The MIME type a format is named by on the command line: a MIME type as it
// is, or an extension ("png", ".JPG"); empty when it names none.
std::string mime_for_format(const std::string& format);

// Writes the settings of every translator that reads or writes format to
// out: per setting its key, the values it takes, its default and its label.
// False when no translator knows the format.
bool list_settings(BTranslatorRoster* roster, const std::string& format, FILE* out);

// Adds to settings what "KEY=VALUE" sets: the field of each translator
// setting that KEY names (the setting's key as listed, or its whole name),
// typed as that setting is, for each setting the value suits. The setting of
// the translator that writes outputType, when it has one, must take the
// value. False, with one line in error, when nothing took it.
bool add_setting(BTranslatorRoster* roster, const std::string& assignment, uint32 outputType,
                 BMessage* settings, std::string* error);

} // namespace convert

#endif
