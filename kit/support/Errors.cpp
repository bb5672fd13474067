#include <Errors.h>
#include <SupportDefs.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>

// Codes without a kit equivalent keep their number above the POSIX base, so
// the cause is never lost.
int32 status_from_errno(int err)
{
    switch (err) {
    case 0:
        return B_OK;
    case ENOMEM:
        return B_NO_MEMORY;
    case EIO:
        return B_IO_ERROR;
    case EACCES:
    case EPERM:
        return B_PERMISSION_DENIED;
    case EINVAL:
        return B_BAD_VALUE;
    case ETIMEDOUT:
        return B_TIMED_OUT;
    case EINTR:
        return B_INTERRUPTED;
    case EAGAIN:
        return B_WOULD_BLOCK;
    case EBUSY:
        return B_BUSY;
    case ECANCELED:
        return B_CANCELED;
    case ENOENT:
        return B_ENTRY_NOT_FOUND;
    case EEXIST:
        return B_FILE_EXISTS;
    case ENAMETOOLONG:
        return B_NAME_TOO_LONG;
    case ENOTDIR:
        return B_NOT_A_DIRECTORY;
    case ENOTEMPTY:
        return B_DIRECTORY_NOT_EMPTY;
    case ENOSPC:
        return B_DEVICE_FULL;
    case EROFS:
        return B_READ_ONLY_DEVICE;
    case EISDIR:
        return B_IS_A_DIRECTORY;
    case EMFILE:
    case ENFILE:
        return B_NO_MORE_FDS;
    case EXDEV:
        return B_CROSS_DEVICE_LINK;
    case ELOOP:
        return B_LINK_LIMIT;
    case EPIPE:
        return B_BUSTED_PIPE;
    case ENOTSUP:
    case ENOSYS:
        return B_NOT_SUPPORTED;
    case EBADF:
        return B_FILE_ERROR;
    case ERANGE:
        return B_BUFFER_OVERFLOW;
    default:
        return err > 0 ? B_POSIX_ERROR_BASE + err : B_ERROR;
    }
}

const char* status_text(int32 status)
{
    switch (status) {
    case B_OK:
        return "no error";
    case B_ERROR:
        return "failed";
    case B_NO_MEMORY:
        return "out of memory";
    case B_IO_ERROR:
        return "input/output error";
    case B_PERMISSION_DENIED:
        return "permission denied";
    case B_BAD_INDEX:
        return "index out of range";
    case B_BAD_TYPE:
        return "of the wrong type";
    case B_BAD_VALUE:
        return "invalid value";
    case B_MISMATCHED_VALUES:
        return "mismatched values";
    case B_NAME_NOT_FOUND:
        return "name not found";
    case B_NAME_IN_USE:
        return "name in use";
    case B_TIMED_OUT:
        return "timed out";
    case B_INTERRUPTED:
        return "interrupted";
    case B_WOULD_BLOCK:
        return "it would have to wait";
    case B_CANCELED:
        return "cancelled";
    case B_NO_INIT:
        return "not set up";
    case B_BUSY:
        return "busy";
    case B_NOT_ALLOWED:
        return "not allowed";
    case B_BAD_DATA:
        return "bad data";
    case B_FILE_ERROR:
        return "file error";
    case B_FILE_NOT_FOUND:
    case B_ENTRY_NOT_FOUND:
        return "no such file or folder";
    case B_FILE_EXISTS:
        return "the file exists";
    case B_NAME_TOO_LONG:
        return "the name is too long (a name holds at most 255 bytes)";
    case B_NOT_A_DIRECTORY:
        return "a part of the path is not a folder";
    case B_DIRECTORY_NOT_EMPTY:
        return "the folder is not empty";
    case B_DEVICE_FULL:
        return "the disk is full";
    case B_READ_ONLY_DEVICE:
        return "the disk is read-only";
    case B_IS_A_DIRECTORY:
        return "it is a folder";
    case B_NO_MORE_FDS:
        return "too many open files";
    case B_CROSS_DEVICE_LINK:
        return "the files are on different disks";
    case B_LINK_LIMIT:
        return "too many symbolic links";
    case B_BUSTED_PIPE:
        return "nothing reads from the pipe";
    case B_UNSUPPORTED:
        return "not supported";
    case B_NOT_A_FILE:
        return "not a regular file";
    case B_NO_TRANSLATOR:
        return "no translator recognises the data";
    case B_ILLEGAL_DATA:
        return "the data is truncated or corrupt";
    case B_BUFFER_OVERFLOW:
        return "the result does not fit";
    default:
        break;
    }
    thread_local char text[64];
    if (status > B_POSIX_ERROR_BASE && status < B_POSIX_ERROR_BASE + 0x1000) {
        // The C library's text, in lower case to follow a colon.
        const char* posix = strerror_r(status - B_POSIX_ERROR_BASE, text, sizeof(text));
        if (posix != text)
            snprintf(text, sizeof(text), "%s", posix);
        text[0] = (char)tolower((unsigned char)text[0]);
        return text;
    }
    snprintf(text, sizeof(text), "error %#x", (unsigned)status);
    return text;
}
