#ifndef _FILE_H
#define _FILE_H

#include <DataIO.h>
#include <Node.h>

class BDirectory;
namespace BPrivate {
class ReplacementFile;
}

// A file opened for reading and/or writing. The node part owns the
// descriptor; the stream part reads and writes through it. Opening never
// waits: a FIFO without a writer opens at once (and reads nothing), and one
// without a reader fails to open for writing; callers that need a regular
// file ask IsFile().
class BFile : public BNode, public BPositionIO
{
public:
    BFile();
    BFile(const entry_ref* ref, uint32 openMode);
    BFile(const char* path, uint32 openMode);
    BFile(const BDirectory* dir, const char* path, uint32 openMode);
    virtual ~BFile();

    status_t SetTo(const entry_ref* ref, uint32 openMode);
    status_t SetTo(const char* path, uint32 openMode);
    status_t SetTo(const BDirectory* dir, const char* path, uint32 openMode);
    void Unset();

    bool IsReadable() const;
    bool IsWritable() const;

    virtual ssize_t Read(void* buffer, size_t size);
    virtual ssize_t Write(const void* buffer, size_t size);
    virtual ssize_t ReadAt(off_t position, void* buffer, size_t size);
    virtual ssize_t WriteAt(off_t position, const void* buffer, size_t size);

    virtual off_t Seek(off_t position, uint32 seekMode);
    virtual off_t Position() const;

    virtual status_t SetSize(off_t size);
    virtual status_t GetSize(off_t* size) const;

private:
    BFile(const BFile&) = delete;
    BFile& operator=(const BFile&) = delete;

    friend class BDirectory;
    friend class BPrivate::ReplacementFile;

    status_t _Open(const char* path, uint32 openMode, mode_t mode);

    uint32 fMode;
};

#endif
