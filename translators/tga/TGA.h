#ifndef TAVRIN_TGA_H
#define TAVRIN_TGA_H

// The Targa file layout and the translator's two halves. A Targa file has no
// signature: the header's fields are checked for plausible values instead,
// and the optional version 2 footer is written so other programs can tell.

#include <DataIO.h>
#include <Message.h>
#include <TranslatorSettings.h>

#include "translation/BitsHeader.h"

namespace tga {

enum ImageType {
    kColorMapped = 1,
    kTrueColor = 2,
    kGray = 3,
    kRLEColorMapped = 9,
    kRLETrueColor = 10,
    kRLEGray = 11
};

// Descriptor bits: the low four count alpha bits, the next two give the origin.
const uint8 kAlphaBitsMask = 0x0f;
const uint8 kRightToLeft = 0x10;
const uint8 kTopToBottom = 0x20;

const size_t kHeaderSize = 18;
const char kFooterSignature[] = "TRUEVISION-XFILE.";
const size_t kFooterSize = 26;

struct Header
{
    uint8 idLength;
    uint8 colorMapType;
    uint8 imageType;
    uint16 mapFirst;
    uint16 mapLength;
    uint8 mapBits;
    uint16 width;
    uint16 height;
    uint8 bits;
    uint8 descriptor;
};

// Settings names; both can be overridden per call through ioExtension.
extern const char* const kSettingRLE;
extern const char* const kSettingKeepAlpha;

// B_NO_TRANSLATOR unless the 18 bytes are a plausible Targa header.
status_t parse_header(const uint8* bytes, Header* header);

status_t decode(BPositionIO* source, bool keepAlpha, BPositionIO* destination);
status_t encode(const BPrivate::BitsInfo& bits, BPositionIO* source, bool rle, bool keepAlpha,
                BPositionIO* destination);

} // namespace tga

#endif
