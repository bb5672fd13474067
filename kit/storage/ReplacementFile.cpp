#include "NamedTemporaries.h"
#include <PathUtils.h>
#include <ReplacementFile.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <vector>

namespace BPrivate {

namespace {

std::atomic<bool> sUnnamedAllowed{true};

// A hidden name beside name that no other writer has: it is created (or
// linked) exclusively and tried again on a clash.
std::string hidden_name(const std::string& folder, const std::string& name)
{
    static std::random_device device;
    char suffix[16];
    snprintf(suffix, sizeof(suffix), "%06x", unsigned(device() & 0xffffff));
    std::string leaf = "." + name + ".tavrin-" + suffix;
    if (leaf.size() >= B_FILE_NAME_LENGTH)
        leaf = std::string(".tavrin-save-") + suffix;
    return join_path(folder, leaf);
}

std::string folder_of(const std::string& path)
{
    size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string leaf_of(const std::string& path)
{
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

mode_t current_umask()
{
    // Read without changing it: setting the umask to learn it would race
    // with other threads creating files.
    if (FILE* status = fopen("/proc/self/status", "re")) {
        char line[128];
        unsigned mask;
        while (fgets(line, sizeof(line), status)) {
            if (sscanf(line, "Umask: %o", &mask) == 1) {
                fclose(status);
                return mask & 0777;
            }
        }
        fclose(status);
    }
    mode_t mask = umask(022);
    umask(mask);
    return mask;
}

// The file a symbolic link finally names, found by the kernel (which applies
// its rules for links in shared folders), and its status.
status_t resolve_link(const std::string& path, std::string* resolved, struct stat* st)
{
    int fd = open(path.c_str(), O_PATH | O_CLOEXEC);
    if (fd < 0)
        return status_from_errno(errno);
    char proc[64];
    snprintf(proc, sizeof(proc), "/proc/self/fd/%d", fd);
    std::vector<char> buffer(PATH_MAX);
    ssize_t length = readlink(proc, buffer.data(), buffer.size());
    status_t status = B_OK;
    if (length <= 0 || buffer[0] != '/')
        status = length < 0 ? status_from_errno(errno) : B_ENTRY_NOT_FOUND;
    else if ((size_t)length >= buffer.size())
        status = B_NAME_TOO_LONG;
    else if (fstat(fd, st) != 0)
        status = status_from_errno(errno);
    close(fd);
    if (status == B_OK)
        resolved->assign(buffer.data(), (size_t)length);
    return status;
}

// Copies the user attributes of from onto the descriptor to; with
// onlyMissing, those it already has are kept.
void copy_user_attributes(const std::string& from, int fromFd, int to, bool onlyMissing)
{
    ssize_t size =
        fromFd >= 0 ? flistxattr(fromFd, nullptr, 0) : listxattr(from.c_str(), nullptr, 0);
    if (size <= 0)
        return;
    std::vector<char> names((size_t)size);
    size = fromFd >= 0 ? flistxattr(fromFd, names.data(), names.size())
                       : listxattr(from.c_str(), names.data(), names.size());
    if (size <= 0)
        return;
    std::vector<char> value;
    for (const char* name = names.data(); name < names.data() + size; name += strlen(name) + 1) {
        if (strncmp(name, "user.", 5) != 0)
            continue;
        if (onlyMissing && fgetxattr(to, name, nullptr, 0) >= 0)
            continue;
        ssize_t length = fromFd >= 0 ? fgetxattr(fromFd, name, nullptr, 0)
                                     : getxattr(from.c_str(), name, nullptr, 0);
        if (length < 0)
            continue;
        value.resize((size_t)length + 1);
        length = fromFd >= 0 ? fgetxattr(fromFd, name, value.data(), value.size())
                             : getxattr(from.c_str(), name, value.data(), value.size());
        if (length >= 0)
            fsetxattr(to, name, value.data(), (size_t)length, 0);
    }
}

} // namespace

ReplacementFile::ReplacementFile()
    : fRecorder(&fFile), fSlot(-1), fOpen(false), fDirect(false), fExisted(false), fInPlace(false),
      fExisting()
{}

ReplacementFile::~ReplacementFile()
{
    Abort();
}

void ReplacementFile::SetUnnamedAllowed(bool allowed)
{
    sUnnamedAllowed = allowed;
}

status_t ReplacementFile::Open(const std::string& folder, const std::string& name)
{
    Abort();
    if (!is_single_name(name.c_str()))
        return B_BAD_VALUE;
    if (name.size() >= B_FILE_NAME_LENGTH)
        return B_NAME_TOO_LONG;

    std::string path = join_path(folder, name);
    struct stat st;
    bool exists = lstat(path.c_str(), &st) == 0;
    if (!exists) {
        if (errno != ENOENT)
            return status_from_errno(errno);
        struct stat dir;
        if (stat(folder.c_str(), &dir) != 0)
            return status_from_errno(errno);
        if (!S_ISDIR(dir.st_mode))
            return B_NOT_A_DIRECTORY;
    } else if (S_ISLNK(st.st_mode)) {
        // Through a link, the file it points to is the one replaced.
        status_t status = resolve_link(path, &path, &st);
        if (status != B_OK)
            return status;
    }

    fTarget = path;
    fFolder = folder_of(path);
    fExisted = exists;
    if (exists) {
        fExisting = st;
        status_t status = B_OK;
        if (S_ISDIR(st.st_mode))
            status = B_IS_A_DIRECTORY;
        else if (S_ISFIFO(st.st_mode) || S_ISCHR(st.st_mode))
            status = _OpenDirect(path);
        else if (!S_ISREG(st.st_mode))
            status = B_NOT_A_FILE;
        // The kernel's own answer, so that root may write what cp would.
        else if (faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0)
            status = status_from_errno(errno);
        if (status != B_OK || fDirect) {
            if (status != B_OK)
                _Clear();
            return status;
        }
        fInPlace = st.st_nlink > 1;
    }
    mode_t mode = exists ? (st.st_mode & 0600) : 0600;
    status_t status = _CreateTemporary(mode);
    if (status == B_PERMISSION_DENIED && exists) {
        // A folder the user may not write, holding a file he may: as cp, the
        // file is written in place, from a temporary file elsewhere.
        const char* elsewhere = getenv("TMPDIR");
        fFolder = elsewhere != nullptr && elsewhere[0] == '/' ? elsewhere : "/tmp";
        fInPlace = true;
        status = _CreateTemporary(mode);
    }
    if (status != B_OK)
        _Clear();
    return status;
}

status_t ReplacementFile::_OpenDirect(const std::string& path)
{
    // A FIFO that no program reads would make the open wait for one.
    int fd = open(path.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return errno == ENXIO ? B_BUSTED_PIPE : status_from_errno(errno);
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    // A reader that goes away is a failed write, not the end of the process.
    if (S_ISFIFO(fExisting.st_mode))
        ignore_broken_pipes();
    fFile._SetDescriptor(fd);
    fFile.fMode = O_WRONLY;
    fRecorder.Reset();
    fDirect = true;
    fOpen = true;
    return B_OK;
}

status_t ReplacementFile::_CreateTemporary(mode_t mode)
{
    int fd = -1;
    if (sUnnamedAllowed) {
        fd = open(fFolder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, mode);
        if (fd < 0 && errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
            return status_from_errno(errno);
    }
    if (fd < 0) {
        std::string name = leaf_of(fTarget);
        status_t status = B_ERROR;
        for (int attempt = 0; attempt < 16 && fd < 0; attempt++) {
            std::string path = hidden_name(fFolder, name);
            int slot = register_named(path);
            fd = open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
            if (fd >= 0) {
                fTemporary = path;
                fSlot = slot;
                break;
            }
            unregister_named(slot);
            status = status_from_errno(errno);
            if (errno != EEXIST)
                return status;
        }
        if (fd < 0)
            return status;
    }
    fFile._SetDescriptor(fd);
    fFile.fMode = O_RDWR;
    fRecorder.Reset();
    fOpen = true;
    return B_OK;
}

status_t ReplacementFile::Commit()
{
    if (!fOpen)
        return B_NO_INIT;
    status_t status = fRecorder.Error();
    if (status != B_OK) {
        Abort();
        return status;
    }
    int fd = fFile.Dup();
    fFile.Unset();
    if (fd < 0) {
        Abort();
        return fd;
    }
    if (fDirect) {
        status = close(fd) == 0 ? B_OK : status_from_errno(errno);
        _Clear();
        return status;
    }

    if (fInPlace) {
        status = _WriteInPlace(fd);
    } else {
        if (fExisted)
            _KeepOwnerAndAttributes(fd);
        else
            fchmod(fd, 0666 & ~current_umask());
        status = _LinkIntoPlace(fd);
    }
    close(fd);
    Abort();
    return status;
}

void ReplacementFile::_KeepOwnerAndAttributes(int fd)
{
    // Attributes first: once the mode is copied the file may refuse them.
    copy_user_attributes(fTarget, -1, fd, true);
    if (fchown(fd, fExisting.st_uid, fExisting.st_gid) != 0)
        (void)!fchown(fd, (uid_t)-1, fExisting.st_gid);
    fchmod(fd, fExisting.st_mode & 07777);
}

status_t ReplacementFile::_LinkIntoPlace(int fd)
{
    if (!fTemporary.empty()) {
        status_t status = B_OK;
        if (rename(fTemporary.c_str(), fTarget.c_str()) != 0)
            status = status_from_errno(errno);
        else
            fTemporary.clear();
        return status;
    }

    char proc[64];
    snprintf(proc, sizeof(proc), "/proc/self/fd/%d", fd);
    auto link_to = [&](const std::string& path) {
        if (linkat(AT_FDCWD, proc, AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0)
            return 0;
        if (errno != ENOENT)
            return errno;
        // Without /proc; this form needs a privilege.
        return linkat(fd, "", AT_FDCWD, path.c_str(), AT_EMPTY_PATH) == 0 ? 0 : errno;
    };
    if (!fExisted) {
        int error = link_to(fTarget);
        if (error != EEXIST)
            return status_from_errno(error);
    }
    // A link never replaces a file: the new one gets a hidden name of its
    // own for the moment it takes to rename it over the target.
    for (int attempt = 0; attempt < 16; attempt++) {
        std::string path = hidden_name(fFolder, leaf_of(fTarget));
        int slot = register_named(path);
        int error = link_to(path);
        if (error == EEXIST) {
            unregister_named(slot);
            continue;
        }
        status_t status = status_from_errno(error);
        if (error == 0 && rename(path.c_str(), fTarget.c_str()) != 0) {
            status = status_from_errno(errno);
            unlink(path.c_str());
        }
        unregister_named(slot);
        return status;
    }
    return B_FILE_EXISTS;
}

status_t ReplacementFile::_WriteInPlace(int fd)
{
    struct stat temporary;
    if (fstat(fd, &temporary) != 0)
        return status_from_errno(errno);
    int target = open(fTarget.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (target < 0)
        return status_from_errno(errno);
    struct stat now;
    status_t status = B_OK;
    if (fstat(target, &now) != 0)
        status = status_from_errno(errno);
    else if (!S_ISREG(now.st_mode))
        status = B_NOT_A_FILE;
    // The space is taken before the old content is touched, so that a full
    // disk leaves it whole.
    off_t size = temporary.st_size;
    if (status == B_OK && size > now.st_size && fallocate(target, 0, 0, size) != 0 &&
        errno != EOPNOTSUPP && errno != ENOSYS)
        status = status_from_errno(errno);

    std::vector<char> block(1 << 16);
    for (off_t offset = 0; status == B_OK && offset < size;) {
        ssize_t got = pread(fd, block.data(), block.size(), offset);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            status = got < 0 ? status_from_errno(errno) : B_IO_ERROR;
            break;
        }
        for (ssize_t done = 0; done < got;) {
            ssize_t put = pwrite(target, block.data() + done, (size_t)(got - done), offset + done);
            if (put < 0 && errno == EINTR)
                continue;
            if (put <= 0) {
                status = put < 0 ? status_from_errno(errno) : B_IO_ERROR;
                break;
            }
            done += put;
        }
        offset += got;
    }
    if (status == B_OK && ftruncate(target, size) != 0)
        status = status_from_errno(errno);
    // The attributes this save set (the file type) go with the content.
    if (status == B_OK)
        copy_user_attributes(std::string(), fd, target, false);
    if (close(target) != 0 && status == B_OK)
        status = status_from_errno(errno);
    return status;
}

void ReplacementFile::Abort()
{
    if (!fOpen)
        return;
    fFile.Unset();
    if (!fTemporary.empty())
        unlink(fTemporary.c_str());
    _Clear();
}

void ReplacementFile::_Clear()
{
    fFile.Unset();
    unregister_named(fSlot);
    fSlot = -1;
    fTemporary.clear();
    fFolder.clear();
    fOpen = fDirect = fExisted = fInPlace = false;
    fRecorder.Reset();
}

} // namespace BPrivate
