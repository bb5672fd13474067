#ifndef _DATA_IO_H
#define _DATA_IO_H

#include <SupportDefs.h>

// A stream of bytes. Read and Write return the number of bytes moved or an error.
class BDataIO
{
public:
    BDataIO();
    virtual ~BDataIO();

    virtual ssize_t Read(void* buffer, size_t size);
    virtual ssize_t Write(const void* buffer, size_t size);
    virtual status_t Flush();

    // Loops until all of size is moved; B_PARTIAL_READ/WRITE style errors come back as B_ERROR.
    status_t ReadExactly(void* buffer, size_t size, size_t* _bytesRead = nullptr);
    status_t WriteExactly(const void* buffer, size_t size, size_t* _bytesWritten = nullptr);

private:
    BDataIO(const BDataIO&) = delete;
    BDataIO& operator=(const BDataIO&) = delete;
};

// A stream with a position that can be read and written at any offset.
class BPositionIO : public BDataIO
{
public:
    BPositionIO();
    virtual ~BPositionIO();

    virtual ssize_t Read(void* buffer, size_t size);
    virtual ssize_t Write(const void* buffer, size_t size);

    virtual ssize_t ReadAt(off_t position, void* buffer, size_t size) = 0;
    virtual ssize_t WriteAt(off_t position, const void* buffer, size_t size) = 0;

    virtual off_t Seek(off_t position, uint32 seekMode) = 0;
    virtual off_t Position() const = 0;

    virtual status_t SetSize(off_t size);
    virtual status_t GetSize(off_t* size) const;
};

// A fixed block of memory seen as a stream; constructed on a const buffer it is read-only.
class BMemoryIO : public BPositionIO
{
public:
    BMemoryIO(void* data, size_t length);
    BMemoryIO(const void* data, size_t length);
    virtual ~BMemoryIO();

    virtual ssize_t ReadAt(off_t position, void* buffer, size_t size);
    virtual ssize_t WriteAt(off_t position, const void* buffer, size_t size);

    virtual off_t Seek(off_t position, uint32 seekMode);
    virtual off_t Position() const;

    virtual status_t SetSize(off_t size);

private:
    bool fReadOnly;
    char* fBuffer;
    size_t fLength;
    size_t fBufferSize;
    size_t fPosition;
};

// A growable block of memory owned by the stream.
class BMallocIO : public BPositionIO
{
public:
    BMallocIO();
    virtual ~BMallocIO();

    virtual ssize_t ReadAt(off_t position, void* buffer, size_t size);
    virtual ssize_t WriteAt(off_t position, const void* buffer, size_t size);

    virtual off_t Seek(off_t position, uint32 seekMode);
    virtual off_t Position() const;

    virtual status_t SetSize(off_t size);

    void SetBlockSize(size_t blockSize);
    const void* Buffer() const;
    size_t BufferLength() const;

private:
    size_t fBlockSize;
    size_t fMallocSize;
    size_t fLength;
    char* fData;
    off_t fPosition;
};

#endif
