#include "BMP.h"

#include "translation/BaseTranslator.h"

#include <cstring>

namespace bmp {

namespace {

uint16 le16(const uint8* p)
{
    return p[0] | (p[1] << 8);
}

uint32 le32(const uint8* p)
{
    return p[0] | (p[1] << 8) | (p[2] << 16) | ((uint32)p[3] << 24);
}

bool contiguous(uint32 mask)
{
    if (mask == 0)
        return true;
    while ((mask & 1) == 0)
        mask >>= 1;
    return (mask & (mask + 1)) == 0;
}

} // namespace

status_t read_header(BPositionIO* source, Header* header)
{
    uint8 bytes[kFileHeaderSize + 124 + 16];
    ssize_t got = source->Read(bytes, kFileHeaderSize + 4);
    if (got < 0)
        return (status_t)got;
    if (got < 2 || bytes[0] != 'B' || bytes[1] != 'M')
        return B_NO_TRANSLATOR;
    if (got != (ssize_t)kFileHeaderSize + 4)
        return B_ILLEGAL_DATA;

    memset(header, 0, sizeof(*header));
    header->dataOffset = le32(bytes + 10);
    header->infoSize = le32(bytes + 14);
    uint32 infoSize = header->infoSize;
    if (infoSize != 12 && infoSize != 40 && infoSize != 52 && infoSize != 56 && infoSize != 108 &&
        infoSize != 124)
        return B_NOT_SUPPORTED;
    if (source->ReadExactly(bytes + kFileHeaderSize + 4, infoSize - 4) != B_OK)
        return B_ILLEGAL_DATA;
    const uint8* info = bytes + kFileHeaderSize;

    uint16 planes;
    if (infoSize == 12) {
        header->width = le16(info + 4);
        header->height = le16(info + 6);
        planes = le16(info + 8);
        header->bits = le16(info + 10);
        header->compression = kRGB;
        header->paletteEntrySize = 3;
    } else {
        header->width = (int32)le32(info + 4);
        header->height = (int32)le32(info + 8);
        planes = le16(info + 12);
        header->bits = le16(info + 14);
        header->compression = le32(info + 16);
        header->colorsUsed = le32(info + 32);
        header->paletteEntrySize = 4;
    }
    header->paletteOffset = kFileHeaderSize + infoSize;

    if (planes != 1 || header->width <= 0 || header->height == 0 || header->height == INT32_MIN)
        return B_BAD_VALUE;
    switch (header->bits) {
    case 1:
    case 4:
    case 8:
    case 16:
    case 24:
    case 32:
        break;
    default:
        return B_BAD_VALUE;
    }

    switch (header->compression) {
    case kRGB:
        if (header->bits == 16) {
            header->masks[0] = 0x7c00;
            header->masks[1] = 0x03e0;
            header->masks[2] = 0x001f;
        } else if (header->bits == 32) {
            header->masks[0] = 0xff0000;
            header->masks[1] = 0xff00;
            header->masks[2] = 0xff;
        }
        break;
    case kRLE8:
    case kRLE4:
        if (header->bits != (header->compression == kRLE8 ? 8 : 4))
            return B_BAD_VALUE;
        // Run-length data is always stored bottom-up.
        if (header->height < 0)
            return B_BAD_VALUE;
        break;
    case kBitFields:
    case kAlphaBitFields: {
        if (header->bits != 16 && header->bits != 32)
            return B_BAD_VALUE;
        int32 count = header->compression == kAlphaBitFields ? 4 : 3;
        const uint8* masks = info + 40;
        if (infoSize < 40 + 4 * (uint32)count) {
            // The masks follow a short header.
            if (source->ReadExactly(bytes + kFileHeaderSize + infoSize, 4 * count) != B_OK)
                return B_ILLEGAL_DATA;
            header->paletteOffset += 4 * count;
        } else if (infoSize >= 56) {
            count = 4;
        }
        for (int32 i = 0; i < count; i++)
            header->masks[i] = le32(masks + 4 * i);
        break;
    }
    default:
        return B_NOT_SUPPORTED;
    }
    for (uint32 mask : header->masks) {
        if (!contiguous(mask))
            return B_BAD_VALUE;
    }
    if ((header->bits == 16 || header->bits == 32) && header->masks[0] == 0 &&
        header->masks[1] == 0 && header->masks[2] == 0)
        return B_BAD_VALUE;
    if (header->dataOffset < header->paletteOffset)
        return B_BAD_VALUE;

    int64 height = header->height < 0 ? -(int64)header->height : header->height;
    return BPrivate::check_decoded_size(header->width, height);
}

} // namespace bmp
