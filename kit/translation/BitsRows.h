#ifndef _TAVRIN_BITS_ROWS_H
#define _TAVRIN_BITS_ROWS_H

// Row-at-a-time plumbing between a codec and a 'bits' stream, so that a
// translator moves a band of rows at a time instead of building a second copy
// of the whole picture. Rows are 32-bit pixels (bytes B, G, R, A in memory),
// exactly width * 4 bytes each, from the top.

#include <DataIO.h>

#include "BitsHeader.h"

namespace BPrivate {

// Where decoded rows go: the size first, then the rows in order, in blocks.
// An error from either ends the decoding and is what the decoder answers.
class BitsRowSink
{
public:
    virtual ~BitsRowSink() {}
    virtual status_t Start(uint32 width, uint32 height, bool alpha) = 0;
    virtual status_t PutRows(const uint8* rows, uint32 count) = 0;
};

// Where rows to encode come from, in order: count rows each time.
class BitsRowSource
{
public:
    virtual ~BitsRowSource() {}
    virtual status_t GetRows(uint8* rows, uint32 count) = 0;
};

// Writes the header, then the rows as they come, at the stream's position.
class BitsStreamWriter : public BitsRowSink
{
public:
    explicit BitsStreamWriter(BPositionIO* destination);

    status_t Start(uint32 width, uint32 height, bool alpha) override;
    status_t PutRows(const uint8* rows, uint32 count) override;

private:
    BPositionIO* fDestination;
    size_t fRowBytes;
    uint32 fRowsLeft;
};

// Reads the rows of a checked 32-bit 'bits' stream that follow at the
// source's position, dropping any padding at the end of each row. A stream
// that ends early is B_ILLEGAL_DATA.
class BitsStreamReader : public BitsRowSource
{
public:
    BitsStreamReader(BPositionIO* source, const BitsInfo& bits);

    status_t GetRows(uint8* rows, uint32 count) override;

private:
    BPositionIO* fSource;
    size_t fRowBytes;
    size_t fPixelBytes;
    uint32 fRowsLeft;
};

// True when the stream's bytes after its position are fewer than a checked
// header's rows need (known only for streams that know their size).
bool bits_rows_missing(const BitsInfo& bits, BPositionIO* source);

} // namespace BPrivate

#endif
