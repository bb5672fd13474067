#ifndef _NODE_H
#define _NODE_H

#include <StorageDefs.h>
#include <TypeConstants.h>

#include <sys/stat.h>

struct entry_ref;

struct attr_info
{
    uint32 type;
    off_t size;
};

// A file system node and its attributes. Attribute NAME is the extended
// attribute "user.NAME"; Linux attributes carry no type, so the type given to
// WriteAttr is not kept and GetAttrInfo always reports B_RAW_TYPE. A file
// system without extended attributes reads as one whose nodes have none.
class BNode
{
public:
    BNode();
    BNode(const entry_ref* ref);
    BNode(const char* path);
    BNode(const BNode& node);
    virtual ~BNode();

    status_t InitCheck() const;

    status_t SetTo(const entry_ref* ref);
    status_t SetTo(const char* path);
    void Unset();

    // What the node is, as the file system tells (links already followed).
    status_t GetStat(struct stat* st) const;
    // True for a regular file: not a folder, FIFO, socket or device.
    bool IsFile() const;

    // Returns the number of bytes read or written, or an error.
    ssize_t ReadAttr(const char* name, type_code type, off_t offset, void* buffer,
                     size_t length) const;
    ssize_t WriteAttr(const char* name, type_code type, off_t offset, const void* buffer,
                      size_t length);
    status_t RemoveAttr(const char* name);
    status_t GetAttrInfo(const char* name, attr_info* info) const;

    // A duplicate of the node's descriptor, which the caller owns and closes;
    // an error when the node is not open.
    int Dup() const;

    BNode& operator=(const BNode& node);

protected:
    // Opens path with the given flags (and creation mode) and takes the
    // descriptor. With pathOnly allowed, a node that may not be read is
    // opened with O_PATH instead.
    status_t _SetToPath(const char* path, int openFlags, mode_t mode, bool allowPathOnly);
    // Takes fd, which must be open, as the node's descriptor.
    void _SetDescriptor(int fd);
    // Closes the node and makes status its InitCheck.
    void _SetError(status_t status);
    int _Descriptor() const { return fFd; }
    // The target of the attribute calls when the descriptor cannot serve
    // itself: its /proc path. False for an ordinary descriptor.
    bool _AttrPath(char* buffer, size_t size) const;

private:
    // Nodes that may not be read are opened with O_PATH; their attributes are
    // then reached through the descriptor's /proc path.
    int fFd;
    bool fPathOnly;
    status_t fCStatus;
};

#endif
