#include <Entry.h>
#include <Path.h>

#include <PathUtils.h>

#include <cstdlib>
#include <cstring>

using BPrivate::join_path;

BPath::BPath() : fName(nullptr), fCStatus(B_NO_INIT) {}

BPath::BPath(const BPath& path) : fName(nullptr), fCStatus(B_NO_INIT)
{
    *this = path;
}

BPath::BPath(const entry_ref* ref) : fName(nullptr), fCStatus(B_NO_INIT)
{
    SetTo(ref);
}

BPath::BPath(const char* dir, const char* leaf, bool normalize)
    : fName(nullptr), fCStatus(B_NO_INIT)
{
    SetTo(dir, leaf, normalize);
}

BPath::~BPath()
{
    free(fName);
}

status_t BPath::InitCheck() const
{
    return fCStatus;
}

status_t BPath::SetTo(const entry_ref* ref)
{
    std::string path;
    if (!BPrivate::path_of_ref(ref, &path)) {
        Unset();
        fCStatus = B_BAD_VALUE;
        return fCStatus;
    }
    return SetTo(path.c_str());
}

// Without normalize the path is cleaned by text alone; with it the directory
// part is resolved by the file system when it exists, following its links.
status_t BPath::SetTo(const char* path, const char* leaf, bool normalize)
{
    if (path == nullptr || path[0] == '\0' || (leaf != nullptr && leaf[0] == '/')) {
        Unset();
        fCStatus = B_BAD_VALUE;
        return fCStatus;
    }
    std::string full = path;
    if (leaf != nullptr && leaf[0] != '\0')
        full = join_path(full, leaf);

    std::string result;
    if (normalize) {
        std::string dir;
        std::string name;
        bool parentExists;
        status_t status = BPrivate::split_entry(full.c_str(), &dir, &name, &parentExists);
        if (status != B_OK) {
            Unset();
            fCStatus = status;
            return status;
        }
        result = name == "." ? dir : join_path(dir, name);
    } else {
        std::string absolute;
        status_t status = BPrivate::make_absolute(full.c_str(), &absolute);
        if (status != B_OK) {
            Unset();
            fCStatus = status;
            return status;
        }
        result = BPrivate::normalize_lexically(absolute);
    }

    char* copy = strdup(result.c_str());
    if (copy == nullptr) {
        Unset();
        fCStatus = B_NO_MEMORY;
        return fCStatus;
    }
    free(fName);
    fName = copy;
    fCStatus = B_OK;
    return B_OK;
}

void BPath::Unset()
{
    free(fName);
    fName = nullptr;
    fCStatus = B_NO_INIT;
}

status_t BPath::Append(const char* path, bool normalize)
{
    if (fCStatus != B_OK)
        return fCStatus;
    if (path == nullptr || path[0] == '/')
        return B_BAD_VALUE;
    if (path[0] == '\0')
        return B_OK;
    std::string base = fName;
    return SetTo(base.c_str(), path, normalize);
}

const char* BPath::Path() const
{
    return fName;
}

const char* BPath::Leaf() const
{
    if (fName == nullptr)
        return nullptr;
    return strrchr(fName, '/') + 1;
}

status_t BPath::GetParent(BPath* path) const
{
    if (path == nullptr)
        return B_BAD_VALUE;
    if (fCStatus != B_OK)
        return fCStatus;
    if (strcmp(fName, "/") == 0)
        return B_ENTRY_NOT_FOUND;
    std::string parent(fName, Leaf() - fName);
    if (parent.size() > 1)
        parent.pop_back();
    return path->SetTo(parent.c_str());
}

bool BPath::operator==(const BPath& item) const
{
    return *this == item.fName;
}

bool BPath::operator==(const char* path) const
{
    if (fName == nullptr || path == nullptr)
        return fName == path;
    return strcmp(fName, path) == 0;
}

bool BPath::operator!=(const BPath& item) const
{
    return !(*this == item);
}

bool BPath::operator!=(const char* path) const
{
    return !(*this == path);
}

BPath& BPath::operator=(const BPath& item)
{
    if (this == &item)
        return *this;
    if (item.fName == nullptr) {
        Unset();
        fCStatus = item.fCStatus;
        return *this;
    }
    char* copy = strdup(item.fName);
    free(fName);
    fName = copy;
    fCStatus = copy != nullptr ? B_OK : B_NO_MEMORY;
    return *this;
}

BPath& BPath::operator=(const char* path)
{
    if (path == nullptr)
        Unset();
    else
        SetTo(path);
    return *this;
}
