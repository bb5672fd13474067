#ifndef _ENTRY_H
#define _ENTRY_H

#include <SupportDefs.h>

class BDirectory;
class BPath;

// Names an entry by the path of its directory and its leaf name. An unset
// reference has both empty.
struct entry_ref
{
    entry_ref();
    entry_ref(const char* directoryPath, const char* name);
    entry_ref(const entry_ref& other);
    ~entry_ref();

    status_t set_name(const char* name);
    status_t set_directory(const char* directoryPath);

    bool operator==(const entry_ref& other) const;
    bool operator!=(const entry_ref& other) const;
    entry_ref& operator=(const entry_ref& other);

    // The full path, "directory/name"; false when the reference is unset.
    bool get_path(char* buffer, size_t size) const;

    char* directory;
    char* name;
};

// An entry in the file system, named by a path. A final symbolic link is
// followed only when asked.
class BEntry
{
public:
    BEntry();
    BEntry(const char* path, bool traverse = false);
    BEntry(const entry_ref* ref, bool traverse = false);
    BEntry(const BDirectory* dir, const char* path, bool traverse = false);
    BEntry(const BEntry& entry);
    virtual ~BEntry();

    status_t InitCheck() const;
    bool Exists() const;

    status_t SetTo(const char* path, bool traverse = false);
    status_t SetTo(const entry_ref* ref, bool traverse = false);
    void Unset();

    status_t GetRef(entry_ref* ref) const;
    status_t GetPath(BPath* path) const;
    status_t GetName(char* buffer) const;
    const char* Name() const;

    bool IsFile() const;
    bool IsDirectory() const;
    bool IsSymLink() const;

    status_t Remove();

    BEntry& operator=(const BEntry& item);
    bool operator==(const BEntry& item) const;
    bool operator!=(const BEntry& item) const;

private:
    status_t fCStatus;
    char* fDirectory;
    char* fName;
};

status_t get_ref_for_path(const char* path, entry_ref* ref);
bool operator<(const entry_ref& a, const entry_ref& b);

#endif
