#include "io/save.h"

#include <AppFileInfo.h>
#include <BitmapStream.h>
#include <Directory.h>
#include <File.h>
#include <TranslatorRoster.h>

#include "app/tavrin.h"
#include "kit/storage/PathUtils.h"
#include "kit/storage/ReplacementFile.h"
#include "view/tavrinview.h"
#include "window/catalogue.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

bool is_plain_name(const char* name)
{
    return BPrivate::is_single_name(name);
}

status_t write_translated(const entry_ref& dir, const char* name, BPositionIO* source,
                          translator_id translator, uint32 type, const char* mime)
{
    if (!is_plain_name(name))
        return B_BAD_VALUE;
    char path[B_PATH_NAME_LENGTH];
    if (!dir.get_path(path, sizeof(path)) && !(dir.directory && *dir.directory))
        return B_ENTRY_NOT_FOUND;
    std::string folder =
        std::string(dir.directory ? dir.directory : "") + "/" + (dir.name ? dir.name : "");
    BPrivate::ReplacementFile file;
    status_t status = file.Open(folder, name);
    if (status != B_OK)
        return status;

    source->Seek(0, SEEK_SET);
    if (translator != 0)
        status = tr ? tr->Translate(translator, source, nullptr, file.File(), type) : B_NO_INIT;
    else
        status =
            tr ? tr->Translate(source, nullptr, nullptr, file.File(), type, 0, nullptr) : B_NO_INIT;
    if (status != B_OK)
        return status;
    BAppFileInfo info(file.File());
    info.SetType(mime);
    return file.Commit();
}

namespace {

const char* describe(status_t status)
{
    if (status > B_POSIX_ERROR_BASE && status < B_POSIX_ERROR_BASE + 0x1000)
        return strerror(status - B_POSIX_ERROR_BASE);
    switch (status) {
    case B_NO_TRANSLATOR:
        return "no translator writes this format";
    case B_PERMISSION_DENIED:
        return "permission denied";
    case B_ENTRY_NOT_FOUND:
        return "no such folder";
    case B_DEVICE_FULL:
        return "the disk is full";
    case B_NO_MEMORY:
        return "out of memory";
    case B_BAD_VALUE:
        return "not a usable name";
    case B_READ_ONLY_DEVICE:
        return "the disk is read-only";
    default:
        return "the translation failed";
    }
}

} // namespace

void tavrinview::save(entry_ref& dir, char* name)
{
    s_fmt* record = format_at(format_no);
    if (!image || !record)
        return;
    BBitmapStream stream(image);
    status_t status = write_translated(dir, name, &stream, 0, record->type, record->MIME);
    stream.DetachBitmap(&image);
    if (status != B_OK)
        fprintf(stderr, "tavrin: could not save \"%s\" as %s: %s\n", name ? name : "", record->name,
                describe(status));
}

void tavrinview::select_trans(const char* mime, ulong* id, ulong* type)
{
    for (int32 i = 0; i < trc; i++) {
        s_fmt* record = format_at(i);
        if (mime && strcmp(record->MIME, mime) == 0) {
            *id = record->translator;
            *type = record->type;
            return;
        }
    }
    *id = 0;
    *type = 0;
}
