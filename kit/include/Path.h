#ifndef _PATH_H
#define _PATH_H

#include <SupportDefs.h>

struct entry_ref;

// An absolute path, normalised (no ".", "..", or double slashes). A leaf is
// not resolved, so a path may name an entry that does not exist.
class BPath
{
public:
    BPath();
    BPath(const BPath& path);
    BPath(const entry_ref* ref);
    BPath(const char* dir, const char* leaf = nullptr, bool normalize = false);
    virtual ~BPath();

    status_t InitCheck() const;
    status_t SetTo(const entry_ref* ref);
    status_t SetTo(const char* path, const char* leaf = nullptr, bool normalize = false);
    void Unset();

    status_t Append(const char* path, bool normalize = false);

    const char* Path() const;
    const char* Leaf() const;
    status_t GetParent(BPath* path) const;

    bool operator==(const BPath& item) const;
    bool operator==(const char* path) const;
    bool operator!=(const BPath& item) const;
    bool operator!=(const char* path) const;
    BPath& operator=(const BPath& item);
    BPath& operator=(const char* path);

private:
    char* fName;
    status_t fCStatus;
};

#endif
