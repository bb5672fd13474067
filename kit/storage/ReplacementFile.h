#ifndef _TAVRIN_REPLACEMENT_FILE_H
#define _TAVRIN_REPLACEMENT_FILE_H

// Writing a file that takes another's place only once it is whole. The bytes
// go to a hidden file beside the target, and Commit() renames it over the
// target, so a failure half-way leaves the old file exactly as it was. A
// ReplacementFile destroyed without Commit() removes what it wrote.

#include <File.h>

#include <string>

namespace BPrivate {

class ReplacementFile
{
public:
    ReplacementFile();
    ~ReplacementFile();

    // Makes the hidden file in folder for the target name, which must be a
    // plain name: not empty, ".", "..", and without "/" (B_BAD_VALUE).
    status_t Open(const std::string& folder, const std::string& name);

    BFile* File() { return &fFile; }
    const std::string& TemporaryPath() const { return fTemporary; }
    const std::string& TargetPath() const { return fTarget; }

    // Closes the file and puts it in the target's place. A file replaced
    // keeps its permissions; a new one has the usual ones (0666 less the
    // umask). On failure nothing is left beside the target.
    status_t Commit();

    // Removes the hidden file; the target stays as it was.
    void Abort();

private:
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;

    BFile fFile;
    std::string fTemporary;
    std::string fTarget;
};

} // namespace BPrivate

#endif
