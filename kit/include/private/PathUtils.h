#ifndef _TAVRIN_PATH_UTILS_H
#define _TAVRIN_PATH_UTILS_H

#include <SupportDefs.h>

#include <string>

struct entry_ref;

// Path arithmetic shared by entry_ref, BEntry, BPath and BDirectory.
namespace BPrivate {

// path made absolute against the current directory, without other changes.
status_t make_absolute(const char* path, std::string* absolute);

// An absolute path with ".", ".." and repeated slashes removed by text alone.
std::string normalize_lexically(const std::string& absolute);

// True for a name that stands for one entry inside a folder: not null or
// empty, not "." or "..", and without "/".
bool is_single_name(const char* name);

// dir + "/" + leaf, without doubling the slash after the root.
std::string join_path(const std::string& dir, const std::string& leaf);

// The path a reference names, of any length; false for a null or unset
// reference. A reference named "." stands for its directory itself.
bool path_of_ref(const entry_ref* ref, std::string* path);

// Splits path into the absolute, normalised path of its directory and its
// leaf name. The directory is resolved by the file system when it exists
// (symbolic links in it are followed); otherwise it is normalised by text.
// The leaf itself is never resolved. *parentExists tells which case applied.
// The root splits into "/" and ".".
status_t split_entry(const char* path, std::string* dir, std::string* leaf, bool* parentExists);

// Follows a chain of symbolic links from path (absolute and split as above)
// to the entry it finally names, which may not exist.
status_t traverse_links(std::string* dir, std::string* leaf);

} // namespace BPrivate

#endif
