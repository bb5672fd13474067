#include "io/savename.h"

#include <FileExtensions.h>

#include <cctype>
#include <strings.h>

namespace {

// Where the extension of name starts (after its last dot), or npos. A name
// that starts with its only dot (".profile") has none.
size_t extension_start(const std::string& name)
{
    size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0 || dot + 1 == name.size())
        return std::string::npos;
    return dot + 1;
}

} // namespace

std::string proposed_name(const std::string& document, const char* mime)
{
    const char* extension = extension_for_mime(mime);
    std::string stem = document.empty() ? "untitled" : document;
    size_t start = extension_start(stem);
    // Only an extension that names a picture format is replaced: "notes.v2"
    // keeps its ".v2".
    if (start != std::string::npos && mime_for_extension(stem.c_str() + start))
        stem.resize(start - 1);
    return extension ? stem + "." + extension : stem;
}

std::string capture_name(time_t when)
{
    struct tm local;
    localtime_r(&when, &local);
    char text[64];
    strftime(text, sizeof(text), "capture-%Y-%m-%d-%H%M%S.png", &local);
    return text;
}

name_fit fit_name(const std::string& name, const char* mime, std::string* fixed)
{
    const char* extension = extension_for_mime(mime);
    if (!extension)
        return kNameFits;
    size_t start = extension_start(name);
    const char* named =
        start == std::string::npos ? nullptr : mime_for_extension(name.c_str() + start);
    if (!named) {
        *fixed = name + "." + extension;
        return kNameGetsOne;
    }
    if (strcasecmp(named, mime) == 0)
        return kNameFits;
    *fixed = name.substr(0, start) + extension;
    return kNameOtherFormat;
}

std::string format_word(const char* mime)
{
    const char* extension = extension_for_mime(mime);
    std::string word = extension ? extension : "";
    for (char& c : word)
        c = (char)toupper((unsigned char)c);
    return word;
}
