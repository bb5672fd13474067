#include <BitmapStream.h>

#include <SeekTarget.h>

#include <Bitmap.h>
#include <PixelSize.h>

#include "BitsHeader.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>

using BPrivate::BitsInfo;

static const size_t kHeaderSize = B_TRANSLATOR_BITMAP_HEADER_SIZE;
// Rows that arrive before the bitmap is made are kept in pieces of this size.
static const size_t kPieceSize = 4 << 20;
// The bitmap is made once the rows that came are a sixteenth of the promised
// ones (or a piece's worth, for small bitmaps): it is never more than sixteen
// times what was written, and only those first rows are copied twice.
static const uint64 kBitmapPerRowsWritten = 16;

BBitmapStream::BBitmapStream(BBitmap* bitmap)
    : fBitmap(bitmap), fSize(0), fPosition(0), fStreamRowBytes(0), fDetached(false),
      fComplete(false), fPendingMask(0), fArrived(0)
{
    memset(fHeader, 0, sizeof(fHeader));
    memset(fPendingHeader, 0, sizeof(fPendingHeader));
    if (fBitmap == nullptr || fBitmap->InitCheck() != B_OK)
        return;

    TranslatorBitmap header;
    header.magic = B_TRANSLATOR_BITMAP;
    header.bounds = fBitmap->Bounds();
    header.rowBytes = fBitmap->BytesPerRow();
    header.colors = fBitmap->ColorSpace();
    header.dataSize = header.rowBytes * (uint32)pixel_height(header.bounds);
    // A bitmap the kit made always has a consistent header; the check keeps
    // a corrupt one from exposing memory past its pixels.
    if (BPrivate::check_bits_header(header) != B_OK ||
        header.dataSize > (uint32)fBitmap->BitsLength())
        return;
    BPrivate::bits_header_to_bytes(header, fHeader);
    fStreamRowBytes = header.rowBytes;
    fSize = kHeaderSize + header.dataSize;
    fComplete = true;
}

BBitmapStream::~BBitmapStream()
{
    delete fBitmap;
}

void BBitmapStream::_CopyRows(off_t offset, uint8* buffer, size_t size, bool toBitmap)
{
    uint8* bits = (uint8*)fBitmap->Bits();
    size_t bitmapRowBytes = fBitmap->BytesPerRow();
    if (bitmapRowBytes == fStreamRowBytes) {
        if (toBitmap)
            memcpy(bits + offset, buffer, size);
        else
            memcpy(buffer, bits + offset, size);
        return;
    }

    size_t row = offset / fStreamRowBytes;
    size_t column = offset % fStreamRowBytes;
    while (size > 0) {
        size_t length = std::min(size, fStreamRowBytes - column);
        size_t inBitmap = column < bitmapRowBytes ? std::min(length, bitmapRowBytes - column) : 0;
        uint8* pixels = bits + row * bitmapRowBytes + column;
        if (toBitmap) {
            memcpy(pixels, buffer, inBitmap);
        } else {
            memcpy(buffer, pixels, inBitmap);
            memset(buffer + inBitmap, 0, length - inBitmap);
        }
        buffer += length;
        size -= length;
        row++;
        column = 0;
    }
}

ssize_t BBitmapStream::ReadAt(off_t offset, void* buffer, size_t size)
{
    if (fBitmap == nullptr || !fComplete)
        return fDetached ? B_ERROR : B_NO_INIT;
    if (offset < 0 || buffer == nullptr)
        return B_BAD_VALUE;
    if ((uint64)offset >= fSize)
        return 0;
    size = std::min<uint64>(size, fSize - offset);

    uint8* out = (uint8*)buffer;
    size_t done = 0;
    if ((uint64)offset < kHeaderSize) {
        size_t part = std::min<size_t>(size, kHeaderSize - offset);
        memcpy(out, fHeader + offset, part);
        done = part;
    }
    if (done < size)
        _CopyRows(offset + done - kHeaderSize, out + done, size - done, false);
    return size;
}

status_t BBitmapStream::_SetHeader(const uint8* bytes)
{
    TranslatorBitmap header;
    BPrivate::bits_header_from_bytes(bytes, &header);
    if (BPrivate::check_bits_header(header) != B_OK)
        return B_BAD_VALUE;

    // The bitmap waits for its rows: a header alone allocates nothing.
    delete fBitmap;
    fBitmap = nullptr;
    fPieces.clear();
    fFilled.clear();
    fArrived = 0;
    fComplete = false;
    memcpy(fHeader, bytes, kHeaderSize);
    fStreamRowBytes = header.rowBytes;
    fSize = kHeaderSize + header.dataSize;
    return B_OK;
}

status_t BBitmapStream::_Stage(uint64 offset, const uint8* buffer, size_t size)
{
    uint64 dataSize = fSize - kHeaderSize;
    uint64 end = offset + size;
    size_t first = offset / kPieceSize;
    size_t last = (end - 1) / kPieceSize;
    if (fPieces.size() <= last)
        fPieces.resize((dataSize + kPieceSize - 1) / kPieceSize);
    for (size_t i = first; i <= last; i++) {
        uint64 pieceStart = (uint64)i * kPieceSize;
        uint64 pieceLength = std::min<uint64>(kPieceSize, dataSize - pieceStart);
        if (!fPieces[i]) {
            fPieces[i].reset(new (std::nothrow) uint8[pieceLength]);
            if (!fPieces[i])
                return B_NO_MEMORY;
        }
        uint64 from = std::max(offset, pieceStart);
        uint64 to = std::min(end, pieceStart + pieceLength);
        memcpy(fPieces[i].get() + (from - pieceStart), buffer + (from - offset), to - from);
    }
    _MarkFilled(offset, end);
    return B_OK;
}

void BBitmapStream::_MarkFilled(uint64 start, uint64 end)
{
    auto it = fFilled.upper_bound(start);
    if (it != fFilled.begin()) {
        auto before = std::prev(it);
        if (before->second >= start) {
            start = before->first;
            end = std::max(end, before->second);
            fArrived -= before->second - before->first;
            it = fFilled.erase(before);
        }
    }
    while (it != fFilled.end() && it->first <= end) {
        end = std::max(end, it->second);
        fArrived -= it->second - it->first;
        it = fFilled.erase(it);
    }
    fFilled[start] = end;
    fArrived += end - start;
}

bool BBitmapStream::_AllRowsArrived() const
{
    return fArrived == fSize - kHeaderSize;
}

status_t BBitmapStream::_MakeBitmap()
{
    TranslatorBitmap header;
    BPrivate::bits_header_from_bytes(fHeader, &header);
    BitsInfo info;
    if (BPrivate::check_bits_header(header, &info) != B_OK)
        return B_BAD_VALUE;
    BBitmap* bitmap = new (std::nothrow) BBitmap(header.bounds, 0, header.colors);
    if (bitmap == nullptr)
        return B_NO_MEMORY;
    status_t status = bitmap->InitCheck();
    uint64 rows = info.height;
    if (status == B_OK && (bitmap->Bits() == nullptr || bitmap->BytesPerRow() <= 0 ||
                           (uint64)bitmap->BitsLength() < (uint64)bitmap->BytesPerRow() * rows))
        status = B_NO_MEMORY;
    if (status != B_OK) {
        delete bitmap;
        return status;
    }
    fBitmap = bitmap;
    // Only the stretches written so far are copied; the rest of the rows go
    // straight into the bitmap as they come.
    for (const auto& [start, end] : fFilled) {
        uint64 at = start;
        while (at < end) {
            size_t piece = at / kPieceSize;
            uint64 pieceEnd = std::min<uint64>((uint64)(piece + 1) * kPieceSize, end);
            _CopyRows(at, fPieces[piece].get() + (at - (uint64)piece * kPieceSize), pieceEnd - at,
                      true);
            at = pieceEnd;
        }
    }
    fPieces.clear();
    return B_OK;
}

ssize_t BBitmapStream::WriteAt(off_t offset, const void* buffer, size_t size)
{
    if (fDetached)
        return B_ERROR;
    if (offset < 0 || (buffer == nullptr && size > 0))
        return B_BAD_VALUE;
    if (size == 0)
        return 0;

    const uint8* in = (const uint8*)buffer;
    size_t done = 0;
    if ((uint64)offset < kHeaderSize) {
        size_t part = std::min<size_t>(size, kHeaderSize - offset);
        if (fSize == 0) {
            memcpy(fPendingHeader + offset, in, part);
            for (size_t i = 0; i < part; i++)
                fPendingMask |= 1u << (offset + i);
            if (fPendingMask == 0xffffffffu) {
                status_t status = _SetHeader(fPendingHeader);
                fPendingMask = 0;
                if (status != B_OK)
                    return status;
            }
        } else {
            uint8 header[kHeaderSize];
            memcpy(header, fHeader, kHeaderSize);
            memcpy(header + offset, in, part);
            if (memcmp(header, fHeader, kHeaderSize) != 0) {
                status_t status = _SetHeader(header);
                if (status != B_OK)
                    return status;
            }
        }
        done = part;
    }
    if (done == size)
        return size;

    // Rows need the whole header first.
    if (fSize == 0)
        return done > 0 ? (ssize_t)done : (ssize_t)B_NO_INIT;
    off_t position = offset + done;
    if ((uint64)position >= fSize)
        return done > 0 ? (ssize_t)done : (ssize_t)B_BAD_VALUE;
    size_t part = std::min<uint64>(size - done, fSize - position);
    uint64 rowsAt = position - kHeaderSize;
    if (fBitmap != nullptr) {
        _CopyRows(rowsAt, const_cast<uint8*>(in + done), part, true);
        if (!fComplete)
            _MarkFilled(rowsAt, rowsAt + part);
    } else {
        status_t status = _Stage(rowsAt, in + done, part);
        if (status != B_OK)
            return status;
        uint64 dataSize = fSize - kHeaderSize;
        uint64 enough = std::max<uint64>(dataSize / kBitmapPerRowsWritten, kPieceSize);
        if (fArrived >= std::min(enough, dataSize)) {
            status = _MakeBitmap();
            if (status != B_OK)
                return status;
        }
    }
    if (!fComplete && _AllRowsArrived()) {
        fComplete = true;
        fFilled.clear();
    }
    return done + part;
}

off_t BBitmapStream::Seek(off_t position, uint32 seekMode)
{
    off_t target = BPrivate::seek_target(position, seekMode, fPosition, [this] { return fSize; });
    if (target >= 0)
        fPosition = target;
    return target;
}

off_t BBitmapStream::Position() const
{
    return fPosition;
}

off_t BBitmapStream::Size() const
{
    return fSize;
}

status_t BBitmapStream::SetSize(off_t size)
{
    return (uint64)size == fSize ? B_OK : B_NOT_ALLOWED;
}

status_t BBitmapStream::GetSize(off_t* size) const
{
    if (size == nullptr)
        return B_BAD_VALUE;
    *size = fSize;
    return B_OK;
}

status_t BBitmapStream::DetachBitmap(BBitmap** _bitmap)
{
    if (_bitmap == nullptr)
        return B_BAD_VALUE;
    if (fBitmap == nullptr || fDetached || !fComplete)
        return B_ERROR;
    *_bitmap = fBitmap;
    fBitmap = nullptr;
    fDetached = true;
    fSize = 0;
    return B_OK;
}
