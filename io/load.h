#ifndef TAVRIN_LOAD_H
#define TAVRIN_LOAD_H

#include <SupportDefs.h>

#include <string>

// Why a file could not be opened, for the user: a short lower-case phrase
// that follows the file's name ("is a folder", "no installed translator
// reads it").
const char* open_failure_text(status_t status);

// A failure's phrase followed by the translator's own reason, when it gave
// one: "the picture in it is damaged or cut short (libpng: IHDR: CRC error)".
std::string with_reason(const char* text, const std::string& reason);

#endif
