#include <Directory.h>
#include <Entry.h>
#include <Path.h>
#include <StorageDefs.h>

#include <PathUtils.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

using BPrivate::join_path;

// Both strings are always allocated, so an unset reference prints as empty
// text. Allocation failure leaves the old string in place.
static status_t replace_string(char** target, const char* value)
{
    char* copy = strdup(value != nullptr ? value : "");
    if (copy == nullptr)
        return B_NO_MEMORY;
    free(*target);
    *target = copy;
    return B_OK;
}

entry_ref::entry_ref() : directory(strdup("")), name(strdup("")) {}

entry_ref::entry_ref(const char* directoryPath, const char* name)
    : directory(strdup(directoryPath != nullptr ? directoryPath : "")),
      name(strdup(name != nullptr ? name : ""))
{}

entry_ref::entry_ref(const entry_ref& other)
    : directory(strdup(other.directory != nullptr ? other.directory : "")),
      name(strdup(other.name != nullptr ? other.name : ""))
{}

entry_ref::~entry_ref()
{
    free(directory);
    free(name);
}

status_t entry_ref::set_name(const char* newName)
{
    return replace_string(&name, newName);
}

status_t entry_ref::set_directory(const char* directoryPath)
{
    return replace_string(&directory, directoryPath);
}

static const char* text_of(const char* string)
{
    return string != nullptr ? string : "";
}

bool entry_ref::operator==(const entry_ref& other) const
{
    return strcmp(text_of(directory), text_of(other.directory)) == 0 &&
           strcmp(text_of(name), text_of(other.name)) == 0;
}

bool entry_ref::operator!=(const entry_ref& other) const
{
    return !(*this == other);
}

entry_ref& entry_ref::operator=(const entry_ref& other)
{
    if (this != &other) {
        replace_string(&directory, other.directory);
        replace_string(&name, other.name);
    }
    return *this;
}

// A reference named "." stands for its directory itself (the root is "/" and ".").
bool entry_ref::get_path(char* buffer, size_t size) const
{
    std::string path;
    if (buffer == nullptr || size == 0 || !BPrivate::path_of_ref(this, &path))
        return false;
    if (path.size() >= size)
        return false;
    memcpy(buffer, path.c_str(), path.size() + 1);
    return true;
}

bool operator<(const entry_ref& a, const entry_ref& b)
{
    int order = strcmp(text_of(a.directory), text_of(b.directory));
    if (order != 0)
        return order < 0;
    return strcmp(text_of(a.name), text_of(b.name)) < 0;
}

status_t get_ref_for_path(const char* path, entry_ref* ref)
{
    if (ref == nullptr)
        return B_BAD_VALUE;
    BEntry entry(path);
    return entry.GetRef(ref);
}

BEntry::BEntry() : fCStatus(B_NO_INIT), fDirectory(nullptr), fName(nullptr) {}

BEntry::BEntry(const char* path, bool traverse)
    : fCStatus(B_NO_INIT), fDirectory(nullptr), fName(nullptr)
{
    SetTo(path, traverse);
}

BEntry::BEntry(const entry_ref* ref, bool traverse)
    : fCStatus(B_NO_INIT), fDirectory(nullptr), fName(nullptr)
{
    SetTo(ref, traverse);
}

BEntry::BEntry(const BDirectory* dir, const char* path, bool traverse)
    : fCStatus(B_NO_INIT), fDirectory(nullptr), fName(nullptr)
{
    if (path == nullptr || path[0] == '\0') {
        fCStatus = B_BAD_VALUE;
    } else if (path[0] == '/') {
        SetTo(path, traverse);
    } else if (dir == nullptr || dir->Path() == nullptr) {
        fCStatus = B_BAD_VALUE;
    } else {
        SetTo(join_path(dir->Path(), path).c_str(), traverse);
    }
}

BEntry::BEntry(const BEntry& entry) : fCStatus(B_NO_INIT), fDirectory(nullptr), fName(nullptr)
{
    *this = entry;
}

BEntry::~BEntry()
{
    Unset();
}

// A path whose directory does not exist still names an entry, and GetRef
// still answers its reference; InitCheck then reports B_ENTRY_NOT_FOUND.
status_t BEntry::InitCheck() const
{
    return fCStatus;
}

bool BEntry::Exists() const
{
    if (fName == nullptr)
        return false;
    struct stat st;
    return lstat(join_path(fDirectory, fName).c_str(), &st) == 0;
}

status_t BEntry::SetTo(const char* path, bool traverse)
{
    Unset();
    std::string dir;
    std::string leaf;
    bool parentExists = false;
    status_t status = BPrivate::split_entry(path, &dir, &leaf, &parentExists);
    if (status == B_OK && traverse && parentExists) {
        status = BPrivate::traverse_links(&dir, &leaf);
        struct stat st;
        parentExists = stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    }
    if (status != B_OK) {
        fCStatus = status;
        return status;
    }
    fDirectory = strdup(dir.c_str());
    fName = strdup(leaf.c_str());
    if (fDirectory == nullptr || fName == nullptr) {
        Unset();
        fCStatus = B_NO_MEMORY;
        return fCStatus;
    }
    fCStatus = parentExists ? (status_t)B_OK : (status_t)B_ENTRY_NOT_FOUND;
    return fCStatus;
}

status_t BEntry::SetTo(const entry_ref* ref, bool traverse)
{
    std::string path;
    if (!BPrivate::path_of_ref(ref, &path)) {
        Unset();
        fCStatus = B_BAD_VALUE;
        return fCStatus;
    }
    return SetTo(path.c_str(), traverse);
}

void BEntry::Unset()
{
    free(fDirectory);
    free(fName);
    fDirectory = nullptr;
    fName = nullptr;
    fCStatus = B_NO_INIT;
}

status_t BEntry::GetRef(entry_ref* ref) const
{
    if (ref == nullptr)
        return B_BAD_VALUE;
    if (fName == nullptr)
        return fCStatus;
    entry_ref result(fDirectory, fName);
    if (result.directory == nullptr || result.name == nullptr)
        return B_NO_MEMORY;
    *ref = result;
    return B_OK;
}

status_t BEntry::GetPath(BPath* path) const
{
    if (path == nullptr)
        return B_BAD_VALUE;
    if (fName == nullptr)
        return fCStatus;
    if (strcmp(fName, ".") == 0)
        return path->SetTo(fDirectory);
    return path->SetTo(join_path(fDirectory, fName).c_str());
}

// The buffer must hold B_FILE_NAME_LENGTH bytes.
status_t BEntry::GetName(char* buffer) const
{
    if (buffer == nullptr)
        return B_BAD_VALUE;
    if (fName == nullptr)
        return fCStatus;
    snprintf(buffer, B_FILE_NAME_LENGTH, "%s", fName);
    return strlen(fName) < B_FILE_NAME_LENGTH ? (status_t)B_OK : (status_t)B_NAME_TOO_LONG;
}

const char* BEntry::Name() const
{
    return fName;
}

static bool lstat_entry(const char* dir, const char* name, struct stat* st)
{
    if (name == nullptr)
        return false;
    return lstat(join_path(dir, name).c_str(), st) == 0;
}

bool BEntry::IsFile() const
{
    struct stat st;
    return lstat_entry(fDirectory, fName, &st) && S_ISREG(st.st_mode);
}

bool BEntry::IsDirectory() const
{
    struct stat st;
    return lstat_entry(fDirectory, fName, &st) && S_ISDIR(st.st_mode);
}

bool BEntry::IsSymLink() const
{
    struct stat st;
    return lstat_entry(fDirectory, fName, &st) && S_ISLNK(st.st_mode);
}

// The entry keeps naming the now missing path, as a reference would.
status_t BEntry::Remove()
{
    if (fName == nullptr)
        return fCStatus;
    std::string path = join_path(fDirectory, fName);
    int result = IsDirectory() ? rmdir(path.c_str()) : unlink(path.c_str());
    return result == 0 ? B_OK : status_from_errno(errno);
}

BEntry& BEntry::operator=(const BEntry& item)
{
    if (this == &item)
        return *this;
    Unset();
    fCStatus = item.fCStatus;
    if (item.fName != nullptr) {
        fDirectory = strdup(item.fDirectory);
        fName = strdup(item.fName);
        if (fDirectory == nullptr || fName == nullptr) {
            Unset();
            fCStatus = B_NO_MEMORY;
        }
    }
    return *this;
}

bool BEntry::operator==(const BEntry& item) const
{
    if (fName == nullptr || item.fName == nullptr)
        return fName == item.fName;
    return strcmp(fDirectory, item.fDirectory) == 0 && strcmp(fName, item.fName) == 0;
}

bool BEntry::operator!=(const BEntry& item) const
{
    return !(*this == item);
}
