#include <FileExtensions.h>
#include <TranslatorFormats.h>
#include <TranslatorRoster.h>

#include <cstring>
#include <strings.h>

namespace {

// The first extension of each type is the one new files get; the lists end
// with NULL.
const struct
{
    const char* mime;
    const char* extensions[3];
} kTypes[] = {
    {"image/png", {"png"}},           {"image/jpeg", {"jpg", "jpeg"}},
    {"image/x-targa", {"tga"}},       {"image/bmp", {"bmp"}},
    {"image/tiff", {"tif", "tiff"}},  {"image/webp", {"webp"}},
    {"image/gif", {"gif"}},           {"image/x-portable-pixmap", {"ppm"}},
    {"image/heic", {"heic", "heif"}}, {"image/avif", {"avif"}},
    {"image/jxl", {"jxl"}},
};

} // namespace

const char* extension_for_mime(const char* mime)
{
    if (!mime)
        return nullptr;
    for (const auto& type : kTypes) {
        if (strcasecmp(type.mime, mime) == 0)
            return type.extensions[0];
    }
    return nullptr;
}

const char* const* extensions_for_mime(const char* mime)
{
    if (!mime)
        return nullptr;
    for (const auto& type : kTypes) {
        if (strcasecmp(type.mime, mime) == 0)
            return type.extensions;
    }
    return nullptr;
}

const char* mime_for_extension(const char* extension)
{
    if (!extension)
        return nullptr;
    for (const auto& type : kTypes) {
        for (const char* known : type.extensions) {
            if (known && strcasecmp(known, extension) == 0)
                return type.mime;
        }
    }
    return nullptr;
}

uint32 output_type_for_mime(BTranslatorRoster* roster, const char* mime)
{
    translator_id* ids = nullptr;
    int32 count = 0;
    if (!roster || !mime || roster->GetAllTranslators(&ids, &count) != B_OK)
        return 0;
    uint32 found = 0;
    for (int32 i = 0; i < count && found == 0; i++) {
        const translation_format* formats;
        int32 formatCount;
        if (roster->GetOutputFormats(ids[i], &formats, &formatCount) != B_OK)
            continue;
        for (int32 k = 0; k < formatCount && found == 0; k++) {
            if (formats[k].type != B_TRANSLATOR_BITMAP && strcasecmp(formats[k].MIME, mime) == 0)
                found = formats[k].type;
        }
    }
    delete[] ids;
    return found;
}
