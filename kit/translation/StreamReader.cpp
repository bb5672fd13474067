#include "StreamReader.h"

#include <cstdlib>
#include <unistd.h>

namespace BPrivate {

StreamReader::StreamReader(BPositionIO* source, size_t bufferSize)
    : fSource(source), fBuffer((uint8*)malloc(bufferSize)), fBufferSize(bufferSize), fNext(fBuffer),
      fEnd(fBuffer), fStatus(B_OK)
{
    if (fBuffer == nullptr)
        fStatus = B_NO_MEMORY;
}

StreamReader::~StreamReader()
{
    free(fBuffer);
}

size_t StreamReader::Fill(size_t size)
{
    size_t available = fEnd - fNext;
    if (available >= size || fStatus != B_OK)
        return available;
    memmove(fBuffer, fNext, available);
    fNext = fBuffer;
    fEnd = fBuffer + available;
    while ((size_t)(fEnd - fBuffer) < size && (size_t)(fEnd - fBuffer) < fBufferSize) {
        ssize_t got = fSource->Read(fEnd, fBufferSize - (fEnd - fBuffer));
        if (got < 0) {
            fStatus = (status_t)got;
            break;
        }
        if (got == 0)
            break;
        fEnd += got;
    }
    return fEnd - fNext;
}

status_t StreamReader::_ReadSlow(uint8* buffer, size_t size)
{
    size_t available = fEnd - fNext;
    memcpy(buffer, fNext, available);
    fNext = fEnd;
    buffer += available;
    size -= available;
    if (fStatus != B_OK)
        return fStatus;

    // Large requests go straight to the caller's memory.
    if (size >= fBufferSize) {
        size_t done = 0;
        while (done < size) {
            ssize_t got = fSource->Read(buffer + done, size - done);
            if (got < 0)
                return fStatus = (status_t)got;
            if (got == 0)
                return fStatus = B_ILLEGAL_DATA;
            done += got;
        }
        return B_OK;
    }
    if (Fill(size) < size)
        return fStatus = fStatus != B_OK ? fStatus : B_ILLEGAL_DATA;
    memcpy(buffer, fNext, size);
    fNext += size;
    return B_OK;
}

uint8 StreamReader::_ByteSlow()
{
    if (Fill(1) < 1) {
        if (fStatus == B_OK)
            fStatus = B_ILLEGAL_DATA;
        return 0;
    }
    return *fNext++;
}

status_t StreamReader::Skip(off_t size)
{
    if (size < 0)
        return fStatus = B_BAD_VALUE;
    size_t available = fEnd - fNext;
    if ((uint64)size <= available) {
        fNext += size;
        return B_OK;
    }
    size -= available;
    fNext = fEnd;
    if (fStatus != B_OK)
        return fStatus;
    // Skipping reads through, so a short stream is noticed here and not later.
    while (size > 0) {
        size_t want = (uint64)size < fBufferSize ? (size_t)size : fBufferSize;
        if (Fill(want) < want)
            return fStatus = fStatus != B_OK ? fStatus : B_ILLEGAL_DATA;
        fNext += want;
        size -= want;
    }
    return B_OK;
}

off_t remaining_stream_size(BPositionIO* source)
{
    off_t size;
    off_t position = source->Position();
    if (position < 0 || source->GetSize(&size) != B_OK || size < position)
        return -1;
    return size - position;
}

status_t open_stream_file(BPositionIO* source, status_t (*check)(BPositionIO* source), off_t* start,
                          off_t* length)
{
    *start = source->Position();
    status_t status = *start < 0 ? status_t(*start) : check(source);
    if (status != B_OK)
        return status;
    off_t size = 0;
    status = source->GetSize(&size);
    if (status != B_OK)
        return status;
    if (size < *start)
        return B_IO_ERROR;
    *length = size - *start;
    return B_OK;
}

} // namespace BPrivate
