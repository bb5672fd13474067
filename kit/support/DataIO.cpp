#include <DataIO.h>

#include <cstdio>

BDataIO::BDataIO() {}

BDataIO::~BDataIO() {}

ssize_t BDataIO::Read(void* buffer, size_t size)
{
    return B_NOT_SUPPORTED;
}

ssize_t BDataIO::Write(const void* buffer, size_t size)
{
    return B_NOT_SUPPORTED;
}

status_t BDataIO::Flush()
{
    return B_OK;
}

status_t BDataIO::ReadExactly(void* buffer, size_t size, size_t* _bytesRead)
{
    char* out = static_cast<char*>(buffer);
    size_t total = 0;
    status_t status = B_OK;
    while (total < size) {
        ssize_t got = Read(out + total, size - total);
        if (got < 0) {
            status = (status_t)got;
            break;
        }
        if (got == 0) {
            status = B_ERROR;
            break;
        }
        total += (size_t)got;
    }
    if (_bytesRead != nullptr)
        *_bytesRead = total;
    return status;
}

status_t BDataIO::WriteExactly(const void* buffer, size_t size, size_t* _bytesWritten)
{
    const char* in = static_cast<const char*>(buffer);
    size_t total = 0;
    status_t status = B_OK;
    while (total < size) {
        ssize_t put = Write(in + total, size - total);
        if (put < 0) {
            status = (status_t)put;
            break;
        }
        if (put == 0) {
            status = B_ERROR;
            break;
        }
        total += (size_t)put;
    }
    if (_bytesWritten != nullptr)
        *_bytesWritten = total;
    return status;
}

BPositionIO::BPositionIO() {}

BPositionIO::~BPositionIO() {}

ssize_t BPositionIO::Read(void* buffer, size_t size)
{
    off_t position = Position();
    if (position < 0)
        return (ssize_t)position;
    ssize_t result = ReadAt(position, buffer, size);
    if (result > 0)
        Seek(result, SEEK_CUR);
    return result;
}

ssize_t BPositionIO::Write(const void* buffer, size_t size)
{
    off_t position = Position();
    if (position < 0)
        return (ssize_t)position;
    ssize_t result = WriteAt(position, buffer, size);
    if (result > 0)
        Seek(result, SEEK_CUR);
    return result;
}

status_t BPositionIO::SetSize(off_t size)
{
    return B_NOT_SUPPORTED;
}

// Streams that know their size override this; the rest are measured by seeking
// to the end and back, which is why the object is cast from const here.
status_t BPositionIO::GetSize(off_t* size) const
{
    if (size == nullptr)
        return B_BAD_VALUE;
    BPositionIO* self = const_cast<BPositionIO*>(this);
    off_t current = self->Position();
    if (current < 0)
        return (status_t)current;
    off_t end = self->Seek(0, SEEK_END);
    if (end < 0)
        return (status_t)end;
    self->Seek(current, SEEK_SET);
    *size = end;
    return B_OK;
}
