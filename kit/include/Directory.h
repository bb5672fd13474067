#ifndef _DIRECTORY_H
#define _DIRECTORY_H

#include <Node.h>

class BEntry;
class BFile;

// A directory of the file system, opened by its path.
class BDirectory : public BNode
{
public:
    BDirectory();
    BDirectory(const entry_ref* ref);
    BDirectory(const char* path);
    BDirectory(const BDirectory& dir);
    virtual ~BDirectory();

    status_t SetTo(const entry_ref* ref);
    status_t SetTo(const char* path);
    void Unset();

    // The directory's own entry.
    status_t GetEntry(BEntry* entry) const;
    // Whether path (absolute, or relative to this directory) names an existing
    // entry inside this directory, at any depth.
    bool Contains(const char* path, int32 nodeFlags = 0) const;
    bool Contains(const BEntry* entry, int32 nodeFlags = 0) const;

    // Creates name in this directory, or truncates it when it exists and
    // failIfExists is false, and opens it for reading and writing into file
    // (which may be null). A name must be a single component: "", "." and ".."
    // and names holding '/' are refused with B_BAD_VALUE.
    status_t CreateFile(const char* name, BFile* file, bool failIfExists = false);
    // Creates the directory path (relative to this one, or absolute) and opens
    // it into dir, which may be null.
    status_t CreateDirectory(const char* path, BDirectory* dir);

    // The directory's absolute path, or null when unset.
    const char* Path() const;

    BDirectory& operator=(const BDirectory& dir);

private:
    status_t _OpenPath(const char* path);

    char* fPath;
};

#endif
