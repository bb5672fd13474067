#include <AppFileInfo.h>
#include <File.h>

#include <TypeConstants.h>

#include <cstring>

// The attribute file managers read the type from (freedesktop shared MIME info).
static const char kTypeAttribute[] = "mime_type";

BAppFileInfo::BAppFileInfo() : fFile(nullptr), fCStatus(B_NO_INIT) {}

BAppFileInfo::BAppFileInfo(BFile* file) : fFile(nullptr), fCStatus(B_NO_INIT)
{
    SetTo(file);
}

BAppFileInfo::~BAppFileInfo() {}

status_t BAppFileInfo::SetTo(BFile* file)
{
    fFile = nullptr;
    if (file == nullptr)
        fCStatus = B_BAD_VALUE;
    else
        fCStatus = file->InitCheck();
    if (fCStatus == B_OK)
        fFile = file;
    return fCStatus;
}

status_t BAppFileInfo::InitCheck() const
{
    return fCStatus;
}

status_t BAppFileInfo::GetType(char* type) const
{
    if (fCStatus != B_OK)
        return fCStatus;
    if (type == nullptr)
        return B_BAD_VALUE;
    attr_info info;
    status_t status = fFile->GetAttrInfo(kTypeAttribute, &info);
    if (status != B_OK)
        return status;
    // A type another program stored that would not fit is not cut short.
    if (info.size >= B_MIME_TYPE_LENGTH)
        return B_BAD_DATA;
    char buffer[B_MIME_TYPE_LENGTH];
    ssize_t length =
        fFile->ReadAttr(kTypeAttribute, B_MIME_STRING_TYPE, 0, buffer, B_MIME_TYPE_LENGTH - 1);
    if (length < 0)
        return (status_t)length;
    buffer[length] = '\0';
    memcpy(type, buffer, (size_t)length + 1);
    return B_OK;
}

// A type is a MIME type of printable ASCII without spaces, like "image/png";
// it is written without its NUL.
static bool is_valid_type(const char* type)
{
    size_t length = strlen(type);
    if (length == 0 || length >= B_MIME_TYPE_LENGTH)
        return false;
    for (size_t i = 0; i < length; i++) {
        unsigned char c = (unsigned char)type[i];
        if (c <= ' ' || c >= 0x7f)
            return false;
    }
    return type[0] != '/';
}

status_t BAppFileInfo::SetType(const char* type)
{
    if (fCStatus != B_OK)
        return fCStatus;
    if (type == nullptr) {
        status_t status = fFile->RemoveAttr(kTypeAttribute);
        return status == B_ENTRY_NOT_FOUND ? B_OK : status;
    }
    if (!is_valid_type(type))
        return B_BAD_VALUE;
    ssize_t written = fFile->WriteAttr(kTypeAttribute, B_MIME_STRING_TYPE, 0, type, strlen(type));
    return written < 0 ? (status_t)written : B_OK;
}
