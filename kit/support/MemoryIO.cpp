#include <DataIO.h>

#include <SeekTarget.h>

#include <cstdio>
#include <cstring>

// The buffer belongs to the caller; the stream only reads it, and writes into
// it when it was given as writable. Its capacity never changes.
BMemoryIO::BMemoryIO(void* data, size_t length)
    : fReadOnly(false), fBuffer(static_cast<char*>(data)), fLength(data ? length : 0),
      fBufferSize(data ? length : 0), fPosition(0)
{}

BMemoryIO::BMemoryIO(const void* data, size_t length)
    : fReadOnly(true), fBuffer(const_cast<char*>(static_cast<const char*>(data))),
      fLength(data ? length : 0), fBufferSize(data ? length : 0), fPosition(0)
{}

BMemoryIO::~BMemoryIO() {}

ssize_t BMemoryIO::ReadAt(off_t position, void* buffer, size_t size)
{
    if (buffer == nullptr || position < 0)
        return B_BAD_VALUE;
    if ((uint64)position >= fLength)
        return 0;
    size_t available = fLength - (size_t)position;
    size_t count = size < available ? size : available;
    memcpy(buffer, fBuffer + position, count);
    return (ssize_t)count;
}

ssize_t BMemoryIO::WriteAt(off_t position, const void* buffer, size_t size)
{
    if (fReadOnly)
        return B_NOT_ALLOWED;
    if (buffer == nullptr || position < 0)
        return B_BAD_VALUE;
    if ((uint64)position >= fBufferSize)
        return 0;
    size_t room = fBufferSize - (size_t)position;
    size_t count = size < room ? size : room;
    memcpy(fBuffer + position, buffer, count);
    if ((size_t)position + count > fLength)
        fLength = (size_t)position + count;
    return (ssize_t)count;
}

off_t BMemoryIO::Seek(off_t position, uint32 seekMode)
{
    off_t target = BPrivate::seek_target(position, seekMode, off_t(fPosition),
                                         [this] { return off_t(fLength); });
    if (target >= 0)
        fPosition = (size_t)target;
    return target;
}

off_t BMemoryIO::Position() const
{
    return (off_t)fPosition;
}

status_t BMemoryIO::SetSize(off_t size)
{
    if (fReadOnly)
        return B_NOT_ALLOWED;
    if (size < 0 || (uint64)size > fBufferSize)
        return B_BAD_VALUE;
    fLength = (size_t)size;
    return B_OK;
}
