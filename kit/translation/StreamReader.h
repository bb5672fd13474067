#ifndef _TAVRIN_STREAM_READER_H
#define _TAVRIN_STREAM_READER_H

// Buffered reading for decoders: bytes come out of a block read from the
// stream, so pixel loops make no virtual call per pixel. Reads never go past
// the stream's end; running out is reported as B_ILLEGAL_DATA (the data is
// truncated), a stream failure with its own error.

#include <DataIO.h>
#include <TranslationDefs.h>

#include <cstring>

namespace BPrivate {

class StreamReader
{
public:
    explicit StreamReader(BPositionIO* source, size_t bufferSize = 64 * 1024);
    ~StreamReader();

    status_t InitCheck() const { return fBuffer != nullptr ? B_OK : B_NO_MEMORY; }

    // Copies exactly size bytes; an error when the stream ends first.
    status_t Read(void* buffer, size_t size)
    {
        if (size == 0)
            return fStatus;
        if (size <= (size_t)(fEnd - fNext)) {
            memcpy(buffer, fNext, size);
            fNext += size;
            return B_OK;
        }
        return _ReadSlow((uint8*)buffer, size);
    }

    // The next byte; check Status() after a loop that uses it.
    uint8 Byte()
    {
        if (fNext < fEnd)
            return *fNext++;
        return _ByteSlow();
    }

    // Makes at least size bytes available at Peek() unless the stream ends;
    // answers how many are available (up to the buffer's size).
    size_t Fill(size_t size);
    const uint8* Peek() const { return fNext; }
    void Consume(size_t size) { fNext += size; }

    status_t Skip(off_t size);

    // B_OK, or the first error met (B_ILLEGAL_DATA for a short stream).
    status_t Status() const { return fStatus; }

private:
    StreamReader(const StreamReader&) = delete;
    StreamReader& operator=(const StreamReader&) = delete;

    status_t _ReadSlow(uint8* buffer, size_t size);
    uint8 _ByteSlow();

    BPositionIO* fSource;
    uint8* fBuffer;
    size_t fBufferSize;
    uint8* fNext;
    uint8* fEnd;
    status_t fStatus;
};

// The stream's size from its position on, or -1 when it cannot tell.
off_t remaining_stream_size(BPositionIO* source);

// For decoders whose library reads the file at the stream's position through
// callbacks: check (which may read) tells whether the file is theirs, then
// start is where it begins and length how many bytes it has to the stream's
// end (B_IO_ERROR when the stream ends before it begins). The position is
// left where check left it.
status_t open_stream_file(BPositionIO* source, status_t (*check)(BPositionIO* source), off_t* start,
                          off_t* length);

} // namespace BPrivate

#endif
