#ifndef _STORAGE_DEFS_H
#define _STORAGE_DEFS_H

#include <SupportDefs.h>

#include <fcntl.h>

#define B_FILE_NAME_LENGTH 256
#define B_PATH_NAME_LENGTH 1024
#define B_ATTR_NAME_LENGTH (B_FILE_NAME_LENGTH - 1)
#define B_MIME_TYPE_LENGTH (B_ATTR_NAME_LENGTH - 15)

// Open modes for BFile: an access mode, or-ed with any of the flags below.
// They are the POSIX open flags; bits outside these are ignored.
enum {
    B_READ_ONLY = O_RDONLY,
    B_WRITE_ONLY = O_WRONLY,
    B_READ_WRITE = O_RDWR,

    B_FAIL_IF_EXISTS = O_EXCL,
    B_CREATE_FILE = O_CREAT,
    B_ERASE_FILE = O_TRUNC,
    B_OPEN_AT_END = O_APPEND
};

// The kinds of node BDirectory::Contains can be asked about.
enum node_flavor {
    B_FILE_NODE = 0x01,
    B_SYMLINK_NODE = 0x02,
    B_DIRECTORY_NODE = 0x04,
    B_ANY_NODE = 0x07
};

#endif
