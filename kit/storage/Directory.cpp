#include <Directory.h>
#include <Entry.h>
#include <File.h>
#include <Path.h>

#include <PathUtils.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using BPrivate::join_path;

BDirectory::BDirectory() : fPath(nullptr) {}

BDirectory::BDirectory(const entry_ref* ref) : fPath(nullptr)
{
    SetTo(ref);
}

BDirectory::BDirectory(const char* path) : fPath(nullptr)
{
    SetTo(path);
}

BDirectory::BDirectory(const BDirectory& dir) : BNode(), fPath(nullptr)
{
    *this = dir;
}

BDirectory::~BDirectory()
{
    free(fPath);
}

status_t BDirectory::SetTo(const entry_ref* ref)
{
    std::string path;
    if (!BPrivate::path_of_ref(ref, &path)) {
        Unset();
        _SetError(B_BAD_VALUE);
        return B_BAD_VALUE;
    }
    return SetTo(path.c_str());
}

status_t BDirectory::SetTo(const char* path)
{
    Unset();
    if (path == nullptr || path[0] == '\0') {
        _SetError(B_BAD_VALUE);
        return B_BAD_VALUE;
    }
    return _OpenPath(path);
}

// The directory is remembered by its resolved path, which names the files it
// creates and answers Contains.
status_t BDirectory::_OpenPath(const char* path)
{
    std::string absolute;
    status_t status = BPrivate::make_absolute(path, &absolute);
    if (status != B_OK) {
        _SetError(status);
        return status;
    }
    char* real = realpath(absolute.c_str(), nullptr);
    if (real == nullptr) {
        status = status_from_errno(errno);
        _SetError(status);
        return status;
    }
    status = _SetToPath(real, O_RDONLY | O_DIRECTORY, 0, true);
    if (status != B_OK) {
        free(real);
        return status;
    }
    fPath = real;
    return B_OK;
}

void BDirectory::Unset()
{
    BNode::Unset();
    free(fPath);
    fPath = nullptr;
}

status_t BDirectory::GetEntry(BEntry* entry) const
{
    if (entry == nullptr)
        return B_BAD_VALUE;
    if (InitCheck() != B_OK)
        return InitCheck();
    return entry->SetTo(fPath);
}

static bool node_matches(const struct stat& st, int32 nodeFlags)
{
    if (nodeFlags == 0 || (nodeFlags & B_ANY_NODE) == B_ANY_NODE)
        return true;
    if (S_ISLNK(st.st_mode))
        return (nodeFlags & B_SYMLINK_NODE) != 0;
    if (S_ISDIR(st.st_mode))
        return (nodeFlags & B_DIRECTORY_NODE) != 0;
    return (nodeFlags & B_FILE_NODE) != 0;
}

bool BDirectory::Contains(const char* path, int32 nodeFlags) const
{
    if (InitCheck() != B_OK || path == nullptr || path[0] == '\0')
        return false;
    BEntry entry(path[0] == '/' ? path : join_path(fPath, path).c_str());
    return Contains(&entry, nodeFlags);
}

bool BDirectory::Contains(const BEntry* entry, int32 nodeFlags) const
{
    if (InitCheck() != B_OK || entry == nullptr || entry->InitCheck() != B_OK)
        return false;
    BPath path;
    if (entry->GetPath(&path) != B_OK)
        return false;
    struct stat st;
    if (lstat(path.Path(), &st) != 0 || !node_matches(st, nodeFlags))
        return false;
    size_t length = strlen(fPath);
    if (strcmp(fPath, "/") == 0)
        return strcmp(path.Path(), "/") != 0;
    return strncmp(path.Path(), fPath, length) == 0 && path.Path()[length] == '/';
}

// On failure the file is left unset, so that nothing is written through a
// file that was open before the call.
status_t BDirectory::CreateFile(const char* name, BFile* file, bool failIfExists)
{
    if (file != nullptr)
        file->Unset();
    status_t status = InitCheck();
    if (status == B_OK && !BPrivate::is_single_name(name))
        status = B_BAD_VALUE;
    if (status == B_OK && strlen(name) >= B_FILE_NAME_LENGTH)
        status = B_NAME_TOO_LONG;
    int fd = -1;
    if (status == B_OK) {
        int flags = O_RDWR | O_CREAT | O_CLOEXEC | (failIfExists ? O_EXCL : O_TRUNC);
        fd = openat(_Descriptor(), name, flags, 0666);
        if (fd < 0)
            status = status_from_errno(errno);
    }
    if (status != B_OK) {
        if (file != nullptr)
            file->_SetError(status);
        return status;
    }
    if (file == nullptr) {
        close(fd);
        return B_OK;
    }
    file->_SetDescriptor(fd);
    file->fMode = O_RDWR;
    return B_OK;
}

status_t BDirectory::CreateDirectory(const char* path, BDirectory* dir)
{
    status_t status = InitCheck();
    if (status != B_OK)
        return status;
    if (path == nullptr || path[0] == '\0')
        return B_BAD_VALUE;
    if (mkdirat(_Descriptor(), path, 0777) != 0)
        return status_from_errno(errno);
    if (dir == nullptr)
        return B_OK;
    return dir->SetTo(path[0] == '/' ? path : join_path(fPath, path).c_str());
}

const char* BDirectory::Path() const
{
    return fPath;
}

BDirectory& BDirectory::operator=(const BDirectory& dir)
{
    if (this == &dir)
        return *this;
    Unset();
    if (dir.fPath == nullptr) {
        _SetError(dir.InitCheck());
        return *this;
    }
    _OpenPath(dir.fPath);
    return *this;
}
