#include <Directory.h>
#include <Entry.h>
#include <File.h>

#include <PathUtils.h>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// Bits of an open mode that are passed to open(); anything else in the mode
// word (such as the platform's O_BINARY) is ignored.
static const uint32 kOpenModeMask = O_ACCMODE | O_CREAT | O_TRUNC | O_EXCL | O_APPEND;

BFile::BFile() : fMode(0) {}

BFile::BFile(const entry_ref* ref, uint32 openMode) : fMode(0)
{
    SetTo(ref, openMode);
}

BFile::BFile(const char* path, uint32 openMode) : fMode(0)
{
    SetTo(path, openMode);
}

BFile::BFile(const BDirectory* dir, const char* path, uint32 openMode) : fMode(0)
{
    SetTo(dir, path, openMode);
}

BFile::~BFile() {}

status_t BFile::SetTo(const entry_ref* ref, uint32 openMode)
{
    std::string path;
    if (!BPrivate::path_of_ref(ref, &path)) {
        Unset();
        _SetError(B_BAD_VALUE);
        return B_BAD_VALUE;
    }
    return _Open(path.c_str(), openMode, 0666);
}

status_t BFile::SetTo(const char* path, uint32 openMode)
{
    return _Open(path, openMode, 0666);
}

status_t BFile::SetTo(const BDirectory* dir, const char* path, uint32 openMode)
{
    if (path != nullptr && path[0] == '/')
        return _Open(path, openMode, 0666);
    if (dir == nullptr || dir->Path() == nullptr || path == nullptr || path[0] == '\0') {
        Unset();
        _SetError(B_BAD_VALUE);
        return B_BAD_VALUE;
    }
    return _Open(BPrivate::join_path(dir->Path(), path).c_str(), openMode, 0666);
}

void BFile::Unset()
{
    BNode::Unset();
    fMode = 0;
}

// New files get mode 0666 less the umask, as any Linux program's files do.
status_t BFile::_Open(const char* path, uint32 openMode, mode_t mode)
{
    Unset();
    uint32 flags = openMode & kOpenModeMask;
    if ((flags & O_ACCMODE) == O_ACCMODE) {
        _SetError(B_BAD_VALUE);
        return B_BAD_VALUE;
    }
    // O_NONBLOCK keeps the open of a FIFO from waiting for its other end
    // (for ever, when none comes); O_NOCTTY keeps a terminal from becoming
    // the process's own.
    status_t status = _SetToPath(path, (int)flags | O_NONBLOCK | O_NOCTTY, mode, false);
    if (status != B_OK)
        return status;
    struct stat st;
    if (fstat(_Descriptor(), &st) != 0) {
        status = status_from_errno(errno);
        _SetError(status);
        return status;
    }
    if (S_ISDIR(st.st_mode)) {
        _SetError(B_IS_A_DIRECTORY);
        return B_IS_A_DIRECTORY;
    }
    // A regular file is read and written in the usual, waiting way.
    if (S_ISREG(st.st_mode))
        fcntl(_Descriptor(), F_SETFL, fcntl(_Descriptor(), F_GETFL) & ~O_NONBLOCK);
    fMode = flags;
    return B_OK;
}

bool BFile::IsReadable() const
{
    uint32 access = fMode & O_ACCMODE;
    return InitCheck() == B_OK && (access == O_RDONLY || access == O_RDWR);
}

bool BFile::IsWritable() const
{
    uint32 access = fMode & O_ACCMODE;
    return InitCheck() == B_OK && (access == O_WRONLY || access == O_RDWR);
}

// Read and Write move the descriptor's own offset, so that a file opened at
// its end appends.
ssize_t BFile::Read(void* buffer, size_t size)
{
    if (InitCheck() != B_OK)
        return B_FILE_ERROR;
    if (!IsReadable())
        return B_PERMISSION_DENIED;
    if (buffer == nullptr && size > 0)
        return B_BAD_VALUE;
    ssize_t result;
    do {
        result = read(_Descriptor(), buffer, size);
    } while (result < 0 && errno == EINTR);
    return result >= 0 ? result : status_from_errno(errno);
}

ssize_t BFile::Write(const void* buffer, size_t size)
{
    if (InitCheck() != B_OK)
        return B_FILE_ERROR;
    if (!IsWritable())
        return B_PERMISSION_DENIED;
    if (buffer == nullptr && size > 0)
        return B_BAD_VALUE;
    ssize_t result;
    do {
        result = write(_Descriptor(), buffer, size);
    } while (result < 0 && errno == EINTR);
    return result >= 0 ? result : status_from_errno(errno);
}

ssize_t BFile::ReadAt(off_t position, void* buffer, size_t size)
{
    if (InitCheck() != B_OK)
        return B_FILE_ERROR;
    if (!IsReadable())
        return B_PERMISSION_DENIED;
    if ((buffer == nullptr && size > 0) || position < 0)
        return B_BAD_VALUE;
    ssize_t result;
    do {
        result = pread(_Descriptor(), buffer, size, position);
    } while (result < 0 && errno == EINTR);
    return result >= 0 ? result : status_from_errno(errno);
}

ssize_t BFile::WriteAt(off_t position, const void* buffer, size_t size)
{
    if (InitCheck() != B_OK)
        return B_FILE_ERROR;
    if (!IsWritable())
        return B_PERMISSION_DENIED;
    if ((buffer == nullptr && size > 0) || position < 0)
        return B_BAD_VALUE;
    ssize_t result;
    do {
        result = pwrite(_Descriptor(), buffer, size, position);
    } while (result < 0 && errno == EINTR);
    return result >= 0 ? result : status_from_errno(errno);
}

off_t BFile::Seek(off_t position, uint32 seekMode)
{
    if (InitCheck() != B_OK)
        return B_FILE_ERROR;
    if (seekMode != SEEK_SET && seekMode != SEEK_CUR && seekMode != SEEK_END)
        return B_BAD_VALUE;
    off_t result = lseek(_Descriptor(), position, (int)seekMode);
    return result >= 0 ? result : status_from_errno(errno);
}

off_t BFile::Position() const
{
    if (InitCheck() != B_OK)
        return B_FILE_ERROR;
    off_t result = lseek(_Descriptor(), 0, SEEK_CUR);
    return result >= 0 ? result : status_from_errno(errno);
}

status_t BFile::SetSize(off_t size)
{
    if (InitCheck() != B_OK)
        return B_FILE_ERROR;
    if (size < 0)
        return B_BAD_VALUE;
    if (!IsWritable())
        return B_PERMISSION_DENIED;
    return ftruncate(_Descriptor(), size) == 0 ? B_OK : status_from_errno(errno);
}

status_t BFile::GetSize(off_t* size) const
{
    if (InitCheck() != B_OK)
        return B_FILE_ERROR;
    if (size == nullptr)
        return B_BAD_VALUE;
    struct stat st;
    if (fstat(_Descriptor(), &st) != 0)
        return status_from_errno(errno);
    *size = st.st_size;
    return B_OK;
}
