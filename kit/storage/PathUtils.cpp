#include <PathUtils.h>

#include <Entry.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace BPrivate {

// The kernel's limit on symbolic links followed in one lookup.
static const int kMaxLinkHops = 40;

status_t make_absolute(const char* path, std::string* absolute)
{
    if (path == nullptr || path[0] == '\0')
        return B_BAD_VALUE;
    if (path[0] == '/') {
        *absolute = path;
        return B_OK;
    }
    char* cwd = getcwd(nullptr, 0);
    if (cwd == nullptr)
        return status_from_errno(errno);
    *absolute = join_path(cwd, path);
    free(cwd);
    return B_OK;
}

std::string normalize_lexically(const std::string& absolute)
{
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= absolute.size()) {
        size_t end = absolute.find('/', start);
        if (end == std::string::npos)
            end = absolute.size();
        std::string part = absolute.substr(start, end - start);
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    std::string result;
    for (const std::string& part : parts)
        result += "/" + part;
    return result.empty() ? "/" : result;
}

bool is_single_name(const char* name)
{
    return name != nullptr && name[0] != '\0' && strcmp(name, ".") != 0 &&
           strcmp(name, "..") != 0 && strchr(name, '/') == nullptr;
}

std::string join_path(const std::string& dir, const std::string& leaf)
{
    if (!dir.empty() && dir.back() == '/')
        return dir + leaf;
    return dir + "/" + leaf;
}

bool path_of_ref(const entry_ref* ref, std::string* path)
{
    if (ref == nullptr || ref->directory == nullptr || ref->name == nullptr ||
        ref->directory[0] == '\0' || ref->name[0] == '\0')
        return false;
    *path = strcmp(ref->name, ".") == 0 ? std::string(ref->directory)
                                        : join_path(ref->directory, ref->name);
    return true;
}

static bool resolve_existing(const std::string& path, std::string* resolved)
{
    char* real = realpath(path.c_str(), nullptr);
    if (real == nullptr)
        return false;
    *resolved = real;
    free(real);
    return true;
}

static void split_normalised(const std::string& normal, std::string* dir, std::string* leaf)
{
    // The characters are assigned as characters: GCC 12 at -O2 misreads the
    // copy of a literal inlined here as overlapping (-Wrestrict).
    if (normal == "/") {
        dir->assign(1, '/');
        leaf->assign(1, '.');
        return;
    }
    size_t slash = normal.rfind('/');
    *dir = slash == 0 ? "/" : normal.substr(0, slash);
    *leaf = normal.substr(slash + 1);
}

status_t split_entry(const char* path, std::string* dir, std::string* leaf, bool* parentExists)
{
    std::string absolute;
    status_t status = make_absolute(path, &absolute);
    if (status != B_OK)
        return status;

    while (absolute.size() > 1 && absolute.back() == '/')
        absolute.pop_back();
    size_t slash = absolute.rfind('/');
    std::string rawLeaf = absolute.substr(slash + 1);
    std::string rawDir = slash == 0 ? "/" : absolute.substr(0, slash);

    // A path ending in "." or ".." (or the root) names a directory by its
    // relation to another; it is resolved as a whole and split afterwards.
    if (rawLeaf.empty() || rawLeaf == "." || rawLeaf == "..") {
        std::string whole;
        bool exists = resolve_existing(absolute, &whole);
        if (!exists)
            whole = normalize_lexically(absolute);
        split_normalised(whole, dir, leaf);
        *parentExists = exists;
        return B_OK;
    }

    std::string resolvedDir;
    bool exists = resolve_existing(rawDir, &resolvedDir);
    if (exists) {
        struct stat st;
        exists = stat(resolvedDir.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    }
    *dir = exists ? resolvedDir : normalize_lexically(rawDir);
    *leaf = rawLeaf;
    *parentExists = exists;
    return B_OK;
}

status_t traverse_links(std::string* dir, std::string* leaf)
{
    for (int hop = 0; hop <= kMaxLinkHops; hop++) {
        std::string path = join_path(*dir, *leaf);
        struct stat st;
        if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return B_OK;
        // Links in /proc report a size of 0; no link is longer than PATH_MAX.
        size_t capacity =
            st.st_size > 0 && st.st_size < PATH_MAX ? (size_t)st.st_size + 1 : PATH_MAX;
        std::vector<char> target(capacity);
        ssize_t length = readlink(path.c_str(), target.data(), target.size());
        if (length < 0)
            return status_from_errno(errno);
        if ((size_t)length >= target.size())
            return B_NAME_TOO_LONG;
        std::string next(target.data(), (size_t)length);
        if (next.empty())
            return B_ENTRY_NOT_FOUND;
        if (next[0] != '/')
            next = join_path(*dir, next);
        bool parentExists;
        status_t status = split_entry(next.c_str(), dir, leaf, &parentExists);
        if (status != B_OK)
            return status;
    }
    return B_LINK_LIMIT;
}

} // namespace BPrivate
