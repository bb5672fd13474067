#ifndef _APP_FILE_INFO_H
#define _APP_FILE_INFO_H

#include <StorageDefs.h>

class BFile;

// The file type of a file, stored as its "user.mime_type" attribute (the
// freedesktop convention file managers read). The object uses the file only
// while it lives; the file stays the caller's.
class BAppFileInfo
{
public:
    BAppFileInfo();
    BAppFileInfo(BFile* file);
    virtual ~BAppFileInfo();

    status_t SetTo(BFile* file);
    status_t InitCheck() const;

    // A type is shorter than B_MIME_TYPE_LENGTH; GetType's buffer must hold
    // B_MIME_TYPE_LENGTH bytes. SetType(nullptr) removes the type.
    status_t GetType(char* type) const;
    status_t SetType(const char* type);

private:
    BAppFileInfo(const BAppFileInfo&) = delete;
    BAppFileInfo& operator=(const BAppFileInfo&) = delete;

    BFile* fFile;
    status_t fCStatus;
};

#endif
