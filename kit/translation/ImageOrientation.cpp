#include "ImageOrientation.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

namespace BPrivate {

namespace {

const uint16 kOrientationTag = 0x0112;
const uint16 kTypeShort = 3;
const uint16 kTypeLong = 4;
const size_t kEntrySize = 12;

// Rows sent on per call to the target.
const uint32 kBlockRows = 16;

// Reads the TIFF structure's integers in its byte order; every caller has
// checked that the bytes lie inside the block.
struct ExifReader
{
    const uint8* data;
    size_t size;
    bool little;

    uint16 U16(size_t at) const
    {
        return little ? uint16(data[at] | data[at + 1] << 8) : uint16(data[at] << 8 | data[at + 1]);
    }
    uint32 U32(size_t at) const
    {
        return little ? uint32(data[at]) | uint32(data[at + 1]) << 8 | uint32(data[at + 2]) << 16 |
                            uint32(data[at + 3]) << 24
                      : uint32(data[at]) << 24 | uint32(data[at + 1]) << 16 |
                            uint32(data[at + 2]) << 8 | uint32(data[at + 3]);
    }
    // True when size bytes from at lie inside the block.
    bool Holds(uint64 at, uint64 length) const { return at <= size && length <= size - at; }
};

// Sends the rows of a whole stored picture of width x height to the target,
// upright; blockMemory holds kBlockRows rows of the longer side.
status_t send_rows_upright(BitsRowSink* target, const uint8* pixels, uint32 w, uint32 h,
                           int32 orientation, uint8* blockMemory)
{
    const uint32* in = reinterpret_cast<const uint32*>(pixels);
    uint32* block = reinterpret_cast<uint32*>(blockMemory);

    if (!orientation_swaps_sides(orientation)) {
        // 2 mirrors each row; 3 and 4 send the rows bottom first, 3 mirrored.
        for (uint32 y = 0; y < h; y += kBlockRows) {
            uint32 step = std::min(kBlockRows, h - y);
            for (uint32 i = 0; i < step; i++) {
                uint32 from = orientation == 2 ? y + i : h - 1 - (y + i);
                const uint32* row = in + size_t(from) * w;
                uint32* out = block + size_t(i) * w;
                if (orientation == 4)
                    memcpy(out, row, size_t(w) * 4);
                else
                    std::reverse_copy(row, row + w, out);
            }
            status_t status = target->PutRows(blockMemory, step);
            if (status != B_OK)
                return status;
        }
        return B_OK;
    }

    // The upright picture is h wide and w high. Its row y is stored column
    // y (5, 6) or w - 1 - y (7, 8); its column x is stored row x (5, 8) or
    // h - 1 - x (6, 7). A block of upright rows reads a short run of each
    // stored row, which keeps the reads in the cache.
    bool fromRight = orientation == 7 || orientation == 8;
    bool fromBottom = orientation == 6 || orientation == 7;
    for (uint32 y = 0; y < w; y += kBlockRows) {
        uint32 step = std::min(kBlockRows, w - y);
        for (uint32 x = 0; x < h; x++) {
            const uint32* row = in + size_t(fromBottom ? h - 1 - x : x) * w;
            for (uint32 i = 0; i < step; i++) {
                uint32 column = fromRight ? w - 1 - (y + i) : y + i;
                block[size_t(i) * h + x] = row[column];
            }
        }
        status_t status = target->PutRows(blockMemory, step);
        if (status != B_OK)
            return status;
    }
    return B_OK;
}

} // namespace

int32 exif_orientation(const uint8* data, size_t size)
{
    if (data == nullptr)
        return 0;
    static const uint8 kPrefix[6] = {'E', 'x', 'i', 'f', 0, 0};
    if (size >= sizeof(kPrefix) && memcmp(data, kPrefix, sizeof(kPrefix)) == 0) {
        data += sizeof(kPrefix);
        size -= sizeof(kPrefix);
    }
    if (size < 8)
        return 0;
    ExifReader reader = {data, size, false};
    if (data[0] == 'I' && data[1] == 'I')
        reader.little = true;
    else if (!(data[0] == 'M' && data[1] == 'M'))
        return 0;
    if (reader.U16(2) != 42)
        return 0;

    uint64 directory = reader.U32(4);
    if (!reader.Holds(directory, 2))
        return 0;
    uint32 count = reader.U16(size_t(directory));
    for (uint32 i = 0; i < count; i++) {
        uint64 entry = directory + 2 + uint64(i) * kEntrySize;
        if (!reader.Holds(entry, kEntrySize))
            return 0;
        size_t at = size_t(entry);
        if (reader.U16(at) != kOrientationTag)
            continue;
        uint16 type = reader.U16(at + 2);
        if (reader.U32(at + 4) != 1)
            return 0;
        // One value fits in the entry itself, at its start.
        uint32 value = type == kTypeShort  ? reader.U16(at + 8)
                       : type == kTypeLong ? reader.U32(at + 8)
                                           : 0;
        return value >= 1 && value <= 8 ? int32(value) : 0;
    }
    return 0;
}

OrientingSink::OrientingSink(BitsRowSink* target, int32 orientation)
    : fTarget(target), fOrientation(1), fWidth(0), fHeight(0), fRowsIn(0), fPicture(nullptr),
      fBlock(nullptr)
{
    SetOrientation(orientation);
}

OrientingSink::~OrientingSink()
{
    delete[] fPicture;
    delete[] fBlock;
}

void OrientingSink::SetOrientation(int32 orientation)
{
    fOrientation = orientation >= 1 && orientation <= 8 ? orientation : 1;
}

status_t OrientingSink::Start(uint32 width, uint32 height, bool alpha)
{
    fWidth = width;
    fHeight = height;
    fRowsIn = 0;
    if (fOrientation == 1)
        return fTarget->Start(width, height, alpha);

    delete[] fBlock;
    delete[] fPicture;
    fPicture = nullptr;
    // The longer side bounds a block's row whichever way the picture turns.
    size_t side = std::max(width, height);
    fBlock = new (std::nothrow) uint8[side * 4 * kBlockRows];
    if (fBlock == nullptr)
        return B_NO_MEMORY;
    if (fOrientation != 2) {
        fPicture = new (std::nothrow) uint8[size_t(width) * height * 4];
        if (fPicture == nullptr)
            return B_NO_MEMORY;
    }
    if (orientation_swaps_sides(fOrientation))
        return fTarget->Start(height, width, alpha);
    return fTarget->Start(width, height, alpha);
}

status_t OrientingSink::PutRows(const uint8* rows, uint32 count)
{
    if (count > fHeight - fRowsIn)
        return B_ERROR;
    if (fOrientation == 1) {
        fRowsIn += count;
        return fTarget->PutRows(rows, count);
    }

    size_t rowBytes = size_t(fWidth) * 4;
    if (fOrientation == 2) {
        // Mirroring keeps each row a row: no need to wait for the rest.
        fRowsIn += count;
        return send_rows_upright(fTarget, rows, fWidth, count, 2, fBlock);
    }

    memcpy(fPicture + fRowsIn * rowBytes, rows, count * rowBytes);
    fRowsIn += count;
    return fRowsIn == fHeight ? _SendUpright() : B_OK;
}

status_t OrientingSink::_SendUpright()
{
    return send_rows_upright(fTarget, fPicture, fWidth, fHeight, fOrientation, fBlock);
}

status_t put_upright_picture(BitsRowSink* target, const uint8* pixels, uint32 width, uint32 height,
                             bool alpha, int32 orientation)
{
    if (orientation < 2 || orientation > 8) {
        status_t status = target->Start(width, height, alpha);
        return status == B_OK ? target->PutRows(pixels, height) : status;
    }
    size_t side = std::max(width, height);
    std::unique_ptr<uint8[]> block(new (std::nothrow) uint8[side * 4 * kBlockRows]);
    if (!block)
        return B_NO_MEMORY;
    status_t status = orientation_swaps_sides(orientation) ? target->Start(height, width, alpha)
                                                           : target->Start(width, height, alpha);
    if (status != B_OK)
        return status;
    return send_rows_upright(target, pixels, width, height, orientation, block.get());
}

} // namespace BPrivate
