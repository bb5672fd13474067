#include "ReplacementFile.h"
#include "PathUtils.h"

#include <Directory.h>

#include <cerrno>
#include <cstdio>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace BPrivate {

ReplacementFile::ReplacementFile() {}

ReplacementFile::~ReplacementFile()
{
    Abort();
}

status_t ReplacementFile::Open(const std::string& folder, const std::string& name)
{
    Abort();
    if (!is_single_name(name.c_str()))
        return B_BAD_VALUE;
    BDirectory directory(folder.c_str());
    status_t status = directory.InitCheck();
    if (status != B_OK)
        return status;

    // A fresh name each time; creating it exclusively means a name some
    // other writer picked meanwhile is never shared.
    std::random_device device;
    std::string leaf;
    for (int attempt = 0; attempt < 16; attempt++) {
        char suffix[16];
        snprintf(suffix, sizeof(suffix), "%06x", unsigned(device() & 0xffffff));
        leaf = "." + name + ".tavrin-" + suffix;
        if (leaf.size() >= B_FILE_NAME_LENGTH)
            leaf = std::string(".tavrin-save-") + suffix;
        status = directory.CreateFile(leaf.c_str(), &fFile, true);
        if (status != B_FILE_EXISTS)
            break;
    }
    if (status != B_OK)
        return status;
    fTemporary = join_path(folder, leaf);
    fTarget = join_path(folder, name);
    return B_OK;
}

status_t ReplacementFile::Commit()
{
    if (fTemporary.empty())
        return B_NO_INIT;
    fFile.Unset();
    struct stat existing;
    if (stat(fTarget.c_str(), &existing) == 0)
        chmod(fTemporary.c_str(), existing.st_mode & 07777);
    status_t status = B_OK;
    if (rename(fTemporary.c_str(), fTarget.c_str()) != 0) {
        status = status_from_errno(errno);
        unlink(fTemporary.c_str());
    }
    fTemporary.clear();
    return status;
}

void ReplacementFile::Abort()
{
    if (fTemporary.empty())
        return;
    fFile.Unset();
    unlink(fTemporary.c_str());
    fTemporary.clear();
}

} // namespace BPrivate
