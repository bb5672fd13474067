#ifndef _TAVRIN_REPLACEMENT_FILE_H
#define _TAVRIN_REPLACEMENT_FILE_H

// Writing a file that takes another's place only once it is whole, with
// respect for what stands there:
// - the new bytes go to a temporary file beside the file finally written (the
//   one a symbolic link points to), made without a name where the file system
//   allows it, so that nothing is left behind whatever stops the process; a
//   named one (0600, or the target's mode if stricter) is removed on every
//   signal that can be caught;
// - Commit() puts it in place: a file replaced keeps its permissions, its
//   owner and group where the process may set them, and its other user
//   attributes; a file with other hard links is overwritten in place once the
//   new content is complete, so that every name sees it, and so is a file the
//   user may write in a folder he may not (the temporary file is then made in
//   $TMPDIR or /tmp);
// - a FIFO or character device is written straight into, never replaced;
// - a file the user may not write is refused, as cp refuses it.
// A failure half-way leaves the old file exactly as it was, and a
// ReplacementFile destroyed without Commit() removes what it wrote.

#include <WriteRecorder.h>

#include <File.h>

#include <string>

namespace BPrivate {

class ReplacementFile
{
public:
    ReplacementFile();
    ~ReplacementFile();

    // Prepares to write the target name in folder, which must be a plain
    // name: not empty, ".", "..", and without "/" (B_BAD_VALUE), of at most
    // 255 bytes (B_NAME_TOO_LONG). Refuses a folder (B_IS_A_DIRECTORY), a
    // socket or block device (B_NOT_A_FILE), a link to nothing
    // (B_ENTRY_NOT_FOUND) and a file the user may not write
    // (B_PERMISSION_DENIED). Nothing waits: a FIFO that no program reads is
    // B_BUSTED_PIPE at once.
    status_t Open(const std::string& folder, const std::string& name);

    // Where the new content goes; File() for its attributes, Stream() for
    // the bytes, which keeps the first failed write (WriteError()).
    BFile* File() { return &fFile; }
    BPositionIO* Stream() { return &fRecorder; }
    status_t WriteError() const { return fRecorder.Error(); }
    off_t BytesWritten() const { return fRecorder.Written(); }

    // The file finally written, symbolic links followed.
    const std::string& TargetPath() const { return fTarget; }
    // The temporary file's name; empty when it has none.
    const std::string& TemporaryPath() const { return fTemporary; }
    // True when the bytes go straight into the target (a FIFO or device).
    bool WritesDirectly() const { return fDirect; }

    // Closes the file and puts it in the target's place. A new file has the
    // usual permissions (0666 less the umask). On failure nothing is left
    // beside the target, and the target is as it was.
    status_t Commit();

    // Drops the new content; the target stays as it was.
    void Abort();

    // Tests turn off the unnamed temporary file to try the named one.
    static void SetUnnamedAllowed(bool allowed);

private:
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;

    status_t _OpenDirect(const std::string& path);
    status_t _CreateTemporary(mode_t mode);
    status_t _LinkIntoPlace(int fd);
    status_t _WriteInPlace(int fd);
    void _KeepOwnerAndAttributes(int fd);
    void _Clear();

    BFile fFile;
    WriteRecorder fRecorder;
    std::string fFolder;
    std::string fTarget;
    std::string fTemporary;
    int fSlot;
    bool fOpen;
    bool fDirect;
    bool fExisted;
    bool fInPlace;
    struct stat fExisting;
};

} // namespace BPrivate

#endif
