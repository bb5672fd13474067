#include "DragCache.h"

#include <QUuid>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace BPrivate {

namespace DragCache {

namespace {

// A folder that another program's file manager gave us cannot nest deeper
// than this; nothing the kit writes comes near it.
const int kMaxDepth = 16;

std::string cache_base()
{
    // The XDG rule: a relative XDG_CACHE_HOME is ignored.
    const char* cache = getenv("XDG_CACHE_HOME");
    if (cache && cache[0] == '/')
        return cache;
    const char* home = getenv("HOME");
    if (!home || home[0] != '/') {
        const passwd* entry = getpwuid(geteuid());
        home = entry ? entry->pw_dir : "/tmp";
    }
    return std::string(home) + "/.cache";
}

class Descriptor
{
public:
    explicit Descriptor(int fd = -1) : fFd(fd) {}
    ~Descriptor()
    {
        if (fFd >= 0)
            close(fFd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int Get() const { return fFd; }

private:
    int fFd;
};

// Opens the folder name in parent, making it first when create is set: never
// through a symbolic link, only when the user owns it, and made private
// (0700) when it was not.
int open_private(int parent, const char* name, bool create)
{
    if (create && mkdirat(parent, name, 0700) != 0 && errno != EEXIST)
        return -1;
    int fd = openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return -1;
    struct stat status;
    if (fstat(fd, &status) != 0 || status.st_uid != geteuid() ||
        ((status.st_mode & 077) != 0 && fchmod(fd, 0700) != 0)) {
        close(fd);
        return -1;
    }
    return fd;
}

// The drag folder, opened; -1 when it is missing (and not to be made) or not safe.
int open_root(bool create)
{
    std::string base = cache_base();
    if (create)
        mkdir(base.c_str(), 0700);
    Descriptor cache(open(base.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (cache.Get() < 0)
        return -1;
    Descriptor program(open_private(cache.Get(), "tavrin", create));
    if (program.Get() < 0)
        return -1;
    return open_private(program.Get(), "drag", create);
}

// Removes name in parent: a file or link by itself, a folder with what it holds.
void remove_tree(int parent, const char* name, int depth)
{
    int fd = openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        unlinkat(parent, name, 0);
        return;
    }
    DIR* folder = fdopendir(fd);
    if (!folder) {
        close(fd);
        return;
    }
    while (dirent* entry = readdir(folder)) {
        if (strcmp(entry->d_name, ".") == 0 || strcmp(entry->d_name, "..") == 0)
            continue;
        struct stat status;
        if (fstatat(fd, entry->d_name, &status, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        if (S_ISDIR(status.st_mode)) {
            if (depth < kMaxDepth)
                remove_tree(fd, entry->d_name, depth + 1);
        } else {
            unlinkat(fd, entry->d_name, 0);
        }
    }
    closedir(folder);
    unlinkat(parent, name, AT_REMOVEDIR);
}

} // namespace

std::string Root()
{
    return cache_base() + "/tavrin/drag";
}

std::string MakeFolder()
{
    Descriptor root(open_root(true));
    if (root.Get() < 0)
        return std::string();
    std::string name = QUuid::createUuid().toString(QUuid::WithoutBraces).toStdString();
    if (mkdirat(root.Get(), name.c_str(), 0700) != 0)
        return std::string();
    return Root() + "/" + name;
}

void RemoveFolder(const std::string& path)
{
    std::string root = Root() + "/";
    if (path.compare(0, root.size(), root) != 0)
        return;
    std::string name = path.substr(root.size());
    if (name.empty() || name.find('/') != std::string::npos || name == "." || name == "..")
        return;
    Descriptor folder(open_root(false));
    if (folder.Get() >= 0)
        remove_tree(folder.Get(), name.c_str(), 0);
}

void Sweep(time_t maxAge)
{
    Descriptor root(open_root(false));
    if (root.Get() < 0)
        return;
    int fd = dup(root.Get());
    DIR* folder = fd >= 0 ? fdopendir(fd) : nullptr;
    if (!folder) {
        if (fd >= 0)
            close(fd);
        return;
    }
    time_t now = time(nullptr);
    while (dirent* entry = readdir(folder)) {
        if (strcmp(entry->d_name, ".") == 0 || strcmp(entry->d_name, "..") == 0)
            continue;
        struct stat status;
        if (fstatat(root.Get(), entry->d_name, &status, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        if (now - status.st_mtime > maxAge)
            remove_tree(root.Get(), entry->d_name, 0);
    }
    closedir(folder);
}

} // namespace DragCache

} // namespace BPrivate
