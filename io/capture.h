#ifndef TAVRIN_CAPTURE_H
#define TAVRIN_CAPTURE_H

#include <Bitmap.h>

#include <string>

// Writes a captured picture to path in the format its extension names (the
// first catalogue format of that type), or to standard output as PNG when
// path is "-". On failure *why says why, a phrase for the user.
status_t save_capture(BBitmap* picture, const char* path, std::string* why);

#endif
