#ifndef TAVRIN_CONVERT_TOOL_H
#define TAVRIN_CONVERT_TOOL_H

// tavrin-convert: reads an image through the translators and writes it in
// the format its output name (or --type) asks for.

#include <TranslatorRoster.h>

class BMessage;

#include <string>

namespace convert {

enum ExitCode { kSuccess = 0, kFailed = 1, kBadArguments = 2 };

// The MIME type an output file name's extension (.tga, .png, ...) asks for,
// or NULL when it names none.
const char* mime_for_name(const std::string& path);

// The type code of the first output format any translator lists under the
// MIME type (compared without regard to case), or 0.
uint32 type_for_mime(BTranslatorRoster* roster, const std::string& mime);

// Decodes input and encodes it as type into a temporary file beside output,
// renamed over output only once it is complete; decoding and encoding run on
// two threads side by side. settings (when given) holds fields that override
// the translators' own settings, as an ioExtension does. On failure error
// holds one line, with the codec's own reason where it gave one, and output
// is left as it was. Safe to call from several threads at once.
int convert_file(BTranslatorRoster* roster, const std::string& input, const std::string& output,
                 uint32 type, std::string* error, const BMessage* settings = nullptr);

} // namespace convert

#endif
