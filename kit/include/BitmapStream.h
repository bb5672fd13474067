#ifndef _BITMAP_STREAM_H
#define _BITMAP_STREAM_H

#include <DataIO.h>
#include <TranslatorFormats.h>

#include <map>
#include <memory>
#include <vector>

class BBitmap;

// The standard bitmap stream over a BBitmap: a 32-byte big-endian header
// followed by the rows. The stream owns its bitmap until it is detached.
// An empty stream takes a complete, consistent header and then the rows. The
// first rows are kept aside as they arrive; once they add up to a sixteenth
// of what the header promises the bitmap is made, and later rows go straight
// into it. A header that promises more than ever comes thus costs at most
// sixteen times the bytes that did come, and until every promised byte has
// been written there is no bitmap to read or detach.
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

    // Hands the bitmap to the caller; B_ERROR when there is none (no header,
    // or fewer rows written than the header promises) or it was already
    // detached.
    status_t DetachBitmap(BBitmap** _bitmap);

private:
    BBitmapStream(const BBitmapStream&) = delete;
    BBitmapStream& operator=(const BBitmapStream&) = delete;

    status_t _SetHeader(const uint8* header);
    void _CopyRows(off_t offset, uint8* buffer, size_t size, bool toBitmap);
    status_t _Stage(uint64 offset, const uint8* buffer, size_t size);
    void _MarkFilled(uint64 start, uint64 end);
    status_t _MakeBitmap();
    bool _AllRowsArrived() const;

    // The header as it appears in the stream (big-endian).
    uint8 fHeader[B_TRANSLATOR_BITMAP_HEADER_SIZE];
    BBitmap* fBitmap;
    size_t fSize;
    size_t fPosition;
    // The row length the stream's header states; the bitmap's own rows may
    // be longer or shorter, and bytes beyond the shorter one are dropped.
    size_t fStreamRowBytes;
    bool fDetached;
    // Every byte the header promises is in the bitmap: only then can it be
    // read or detached.
    bool fComplete;
    // Header bytes written so far into an empty stream, before the bitmap
    // exists, and a bit for each of them.
    uint8 fPendingHeader[B_TRANSLATOR_BITMAP_HEADER_SIZE];
    uint32 fPendingMask;
    // Rows written before the bitmap exists, in pieces of a fixed size made
    // as bytes land in them; the stretches of row bytes written so far
    // (start to end, merged), until all have come, and how many bytes they
    // cover.
    std::vector<std::unique_ptr<uint8[]>> fPieces;
    std::map<uint64, uint64> fFilled;
    uint64 fArrived;
};

#endif
