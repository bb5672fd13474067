#ifndef _TRANSLATION_DEFS_H
#define _TRANSLATION_DEFS_H

#include <GraphicsDefs.h>
#include <SupportDefs.h>

typedef uint32 translator_id;

#define B_MIME_STRING_LENGTH 251

// What a translator says about a source it can read, or about one of its formats.
struct translator_info
{
    type_code type;
    translator_id translator;
    type_code group;
    float quality;
    float capability;
    char name[B_MIME_STRING_LENGTH];
    char MIME[B_MIME_STRING_LENGTH];
};

struct translation_format
{
    uint32 type;
    uint32 group;
    float quality;
    float capability;
    char MIME[B_MIME_STRING_LENGTH];
    char name[B_MIME_STRING_LENGTH];
};

#define B_TRANSLATION_CURRENT_VERSION 1
#define B_TRANSLATION_MIN_VERSION 1
#define B_TRANSLATION_MAKE_VERSION(major, minor, revision)                                         \
    (((major) << 8) | (((minor) << 4) & 0xf0) | ((revision)&0x0f))

// The largest pixel buffer a decoder makes for a header's claim: 1 GiB.
#define B_TRANSLATION_MAX_PIXEL_BYTES ((uint64)1 << 30)

#endif
