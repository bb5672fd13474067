#include <DataIO.h>

#include <SeekTarget.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

static const size_t kDefaultBlockSize = 256;

BMallocIO::BMallocIO()
    : fBlockSize(kDefaultBlockSize), fMallocSize(0), fLength(0), fData(nullptr), fPosition(0)
{}

BMallocIO::~BMallocIO()
{
    free(fData);
}

ssize_t BMallocIO::ReadAt(off_t position, void* buffer, size_t size)
{
    if (buffer == nullptr || position < 0)
        return B_BAD_VALUE;
    if ((uint64)position >= fLength)
        return 0;
    size_t available = fLength - (size_t)position;
    size_t count = size < available ? size : available;
    memcpy(buffer, fData + position, count);
    return (ssize_t)count;
}

ssize_t BMallocIO::WriteAt(off_t position, const void* buffer, size_t size)
{
    if (buffer == nullptr || position < 0)
        return B_BAD_VALUE;
    if (size == 0)
        return 0;
    if (size > (size_t)SSIZE_MAX || (uint64)position > (uint64)SSIZE_MAX - size)
        return B_BAD_VALUE;
    size_t end = (size_t)position + size;
    if (end > fLength) {
        // SetSize clears whatever lies between the old end and the write.
        status_t status = SetSize((off_t)end);
        if (status != B_OK)
            return status;
    }
    memcpy(fData + position, buffer, size);
    return (ssize_t)size;
}

off_t BMallocIO::Seek(off_t position, uint32 seekMode)
{
    off_t target =
        BPrivate::seek_target(position, seekMode, fPosition, [this] { return off_t(fLength); });
    if (target >= 0)
        fPosition = target;
    return target;
}

off_t BMallocIO::Position() const
{
    return fPosition;
}

// The allocation is a whole number of blocks; bytes past the old length are
// zeroed so that a write beyond the end leaves no stale data in the gap.
status_t BMallocIO::SetSize(off_t size)
{
    if (size < 0 || (uint64)size > (uint64)SSIZE_MAX)
        return B_BAD_VALUE;
    size_t newLength = (size_t)size;
    if (newLength == 0) {
        free(fData);
        fData = nullptr;
        fMallocSize = 0;
        fLength = 0;
        return B_OK;
    }
    if (newLength > fMallocSize) {
        size_t blocks = newLength / fBlockSize + (newLength % fBlockSize != 0);
        size_t newMallocSize;
        if (__builtin_mul_overflow(blocks, fBlockSize, &newMallocSize))
            return B_NO_MEMORY;
        char* data = static_cast<char*>(realloc(fData, newMallocSize));
        if (data == nullptr)
            return B_NO_MEMORY;
        fData = data;
        fMallocSize = newMallocSize;
    }
    if (newLength > fLength)
        memset(fData + fLength, 0, newLength - fLength);
    fLength = newLength;
    return B_OK;
}

void BMallocIO::SetBlockSize(size_t blockSize)
{
    fBlockSize = blockSize > 0 ? blockSize : 1;
}

const void* BMallocIO::Buffer() const
{
    return fData;
}

size_t BMallocIO::BufferLength() const
{
    return fLength;
}
