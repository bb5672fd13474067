#ifndef _BITMAP_STREAM_H
#define _BITMAP_STREAM_H

#include <DataIO.h>
#include <TranslatorFormats.h>

class BBitmap;

// The standard bitmap stream over a BBitmap: a 32-byte big-endian header
// followed by the rows. The stream owns its bitmap until it is detached.
// An empty stream builds its bitmap once a complete, consistent header has
// been written into it; rows written after that land in the bitmap's pixels.
class BBitmapStream : public BPositionIO
{
public:
    BBitmapStream(BBitmap* bitmap = nullptr);
    virtual ~BBitmapStream();

    virtual ssize_t ReadAt(off_t offset, void* buffer, size_t size);
    virtual ssize_t WriteAt(off_t offset, const void* buffer, size_t size);
    virtual off_t Seek(off_t position, uint32 seekMode);
    virtual off_t Position() const;
    virtual off_t Size() const;
    virtual status_t SetSize(off_t size);
    virtual status_t GetSize(off_t* size) const;

    // Hands the bitmap to the caller; B_ERROR when there is none or it was
    // already detached.
    status_t DetachBitmap(BBitmap** _bitmap);

private:
    BBitmapStream(const BBitmapStream&) = delete;
    BBitmapStream& operator=(const BBitmapStream&) = delete;

    status_t _SetHeader(const uint8* header);
    void _CopyRows(off_t offset, uint8* buffer, size_t size, bool toBitmap);

    // The header as it appears in the stream (big-endian).
    uint8 fHeader[B_TRANSLATOR_BITMAP_HEADER_SIZE];
    BBitmap* fBitmap;
    size_t fSize;
    size_t fPosition;
    // The row length the stream's header states; the bitmap's own rows may
    // be longer or shorter, and bytes beyond the shorter one are dropped.
    size_t fStreamRowBytes;
    bool fDetached;
    // Header bytes written so far into an empty stream, before the bitmap
    // exists, and a bit for each of them.
    uint8 fPendingHeader[B_TRANSLATOR_BITMAP_HEADER_SIZE];
    uint32 fPendingMask;
};

#endif
