#include <Entry.h>
#include <Node.h>

#include <TypeConstants.h>

#include <PathUtils.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <vector>

// Attributes live in the "user." namespace of the extended attributes.
static const char kAttrPrefix[] = "user.";

static status_t attr_key(const char* name, std::string* key)
{
    if (name == nullptr || name[0] == '\0')
        return B_BAD_VALUE;
    if (strlen(name) > B_ATTR_NAME_LENGTH)
        return B_NAME_TOO_LONG;
    *key = std::string(kAttrPrefix) + name;
    return B_OK;
}

// A missing attribute and a file system without attributes read alike.
static status_t attr_error(int err)
{
    if (err == ENODATA || err == ENOTSUP)
        return B_ENTRY_NOT_FOUND;
    return status_from_errno(err);
}

BNode::BNode() : fFd(-1), fPathOnly(false), fCStatus(B_NO_INIT) {}

BNode::BNode(const entry_ref* ref) : fFd(-1), fPathOnly(false), fCStatus(B_NO_INIT)
{
    SetTo(ref);
}

BNode::BNode(const char* path) : fFd(-1), fPathOnly(false), fCStatus(B_NO_INIT)
{
    SetTo(path);
}

BNode::BNode(const BNode& node) : fFd(-1), fPathOnly(false), fCStatus(B_NO_INIT)
{
    *this = node;
}

BNode::~BNode()
{
    Unset();
}

status_t BNode::InitCheck() const
{
    return fCStatus;
}

status_t BNode::SetTo(const entry_ref* ref)
{
    std::string path;
    if (!BPrivate::path_of_ref(ref, &path)) {
        _SetError(B_BAD_VALUE);
        return B_BAD_VALUE;
    }
    return SetTo(path.c_str());
}

// O_NONBLOCK keeps a FIFO from stalling the open; the node never reads it.
status_t BNode::SetTo(const char* path)
{
    return _SetToPath(path, O_RDONLY | O_NONBLOCK | O_NOCTTY, 0, true);
}

status_t BNode::GetStat(struct stat* st) const
{
    if (fCStatus != B_OK)
        return B_FILE_ERROR;
    if (st == nullptr)
        return B_BAD_VALUE;
    return fstat(fFd, st) == 0 ? B_OK : status_from_errno(errno);
}

bool BNode::IsFile() const
{
    struct stat st;
    return GetStat(&st) == B_OK && S_ISREG(st.st_mode);
}

void BNode::Unset()
{
    if (fFd >= 0)
        close(fFd);
    fFd = -1;
    fPathOnly = false;
    fCStatus = B_NO_INIT;
}

status_t BNode::_SetToPath(const char* path, int openFlags, mode_t mode, bool allowPathOnly)
{
    Unset();
    if (path == nullptr || path[0] == '\0') {
        fCStatus = B_BAD_VALUE;
        return fCStatus;
    }
    int fd = open(path, openFlags | O_CLOEXEC, mode);
    bool pathOnly = false;
    if (fd < 0 && errno == EACCES && allowPathOnly) {
        fd = open(path, O_PATH | O_CLOEXEC | (openFlags & O_DIRECTORY));
        pathOnly = true;
    }
    if (fd < 0) {
        fCStatus = status_from_errno(errno);
        return fCStatus;
    }
    fFd = fd;
    fPathOnly = pathOnly;
    fCStatus = B_OK;
    return B_OK;
}

void BNode::_SetDescriptor(int fd)
{
    Unset();
    fFd = fd;
    fCStatus = fd >= 0 ? B_OK : B_NO_INIT;
}

void BNode::_SetError(status_t status)
{
    Unset();
    fCStatus = status;
}

bool BNode::_AttrPath(char* buffer, size_t size) const
{
    if (!fPathOnly)
        return false;
    snprintf(buffer, size, "/proc/self/fd/%d", fFd);
    return true;
}

ssize_t BNode::ReadAttr(const char* name, type_code type, off_t offset, void* buffer,
                        size_t length) const
{
    if (fCStatus != B_OK)
        return B_FILE_ERROR;
    std::string key;
    status_t status = attr_key(name, &key);
    if (status != B_OK)
        return status;
    if ((buffer == nullptr && length > 0) || offset < 0)
        return B_BAD_VALUE;

    char procPath[64];
    bool byPath = _AttrPath(procPath, sizeof(procPath));
    auto get = [&](void* out, size_t size) {
        return byPath ? getxattr(procPath, key.c_str(), out, size)
                      : fgetxattr(fFd, key.c_str(), out, size);
    };

    // The common case reads straight into the caller's buffer.
    if (offset == 0 && length > 0) {
        ssize_t got = get(buffer, length);
        if (got >= 0)
            return got;
        if (errno != ERANGE)
            return attr_error(errno);
    }

    // A partial read: the whole value is fetched (the kernel bounds its size)
    // and the requested part copied out. The value may change between the
    // size query and the read, hence the loop.
    std::vector<char> value;
    for (int attempt = 0; attempt < 4; attempt++) {
        ssize_t size = get(nullptr, 0);
        if (size < 0)
            return attr_error(errno);
        value.resize((size_t)size);
        ssize_t got = size > 0 ? get(value.data(), value.size()) : 0;
        if (got >= 0) {
            value.resize((size_t)got);
            if ((uint64)offset >= value.size())
                return 0;
            size_t count = value.size() - (size_t)offset;
            if (count > length)
                count = length;
            memcpy(buffer, value.data() + offset, count);
            return (ssize_t)count;
        }
        if (errno != ERANGE)
            return attr_error(errno);
    }
    return B_BUSY;
}

ssize_t BNode::WriteAttr(const char* name, type_code type, off_t offset, const void* buffer,
                         size_t length)
{
    if (fCStatus != B_OK)
        return B_FILE_ERROR;
    std::string key;
    status_t status = attr_key(name, &key);
    if (status != B_OK)
        return status;
    if (buffer == nullptr && length > 0)
        return B_BAD_VALUE;
    // Extended attributes are written whole; there is no writing into the middle.
    if (offset != 0)
        return B_NOT_SUPPORTED;
    if (length > (size_t)SSIZE_MAX)
        return B_BAD_VALUE;

    char procPath[64];
    int result = _AttrPath(procPath, sizeof(procPath))
                     ? setxattr(procPath, key.c_str(), buffer, length, 0)
                     : fsetxattr(fFd, key.c_str(), buffer, length, 0);
    if (result != 0) {
        if (errno == E2BIG || errno == ENOSPC)
            return B_DEVICE_FULL;
        return status_from_errno(errno);
    }
    return (ssize_t)length;
}

status_t BNode::RemoveAttr(const char* name)
{
    if (fCStatus != B_OK)
        return B_FILE_ERROR;
    std::string key;
    status_t status = attr_key(name, &key);
    if (status != B_OK)
        return status;
    char procPath[64];
    int result = _AttrPath(procPath, sizeof(procPath)) ? removexattr(procPath, key.c_str())
                                                       : fremovexattr(fFd, key.c_str());
    return result == 0 ? B_OK : attr_error(errno);
}

status_t BNode::GetAttrInfo(const char* name, attr_info* info) const
{
    if (fCStatus != B_OK)
        return B_FILE_ERROR;
    if (info == nullptr)
        return B_BAD_VALUE;
    std::string key;
    status_t status = attr_key(name, &key);
    if (status != B_OK)
        return status;
    char procPath[64];
    ssize_t size = _AttrPath(procPath, sizeof(procPath))
                       ? getxattr(procPath, key.c_str(), nullptr, 0)
                       : fgetxattr(fFd, key.c_str(), nullptr, 0);
    if (size < 0)
        return attr_error(errno);
    info->type = B_RAW_TYPE;
    info->size = size;
    return B_OK;
}

int BNode::Dup() const
{
    if (fCStatus != B_OK)
        return B_FILE_ERROR;
    int fd = fcntl(fFd, F_DUPFD_CLOEXEC, 0);
    return fd >= 0 ? fd : status_from_errno(errno);
}

BNode& BNode::operator=(const BNode& node)
{
    if (this == &node)
        return *this;
    Unset();
    if (node.fCStatus != B_OK) {
        fCStatus = node.fCStatus;
        return *this;
    }
    int fd = node.Dup();
    if (fd < 0) {
        fCStatus = fd;
        return *this;
    }
    fFd = fd;
    fPathOnly = node.fPathOnly;
    fCStatus = B_OK;
    return *this;
}
