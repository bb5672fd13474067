#include "ConvertTool.h"
#include "BitsPipe.h"
#include "kit/storage/ReplacementFile.h"

#include <BitmapStream.h>
#include <File.h>
#include <StorageDefs.h>
#include <TranslationDefs.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <strings.h>
#include <sys/stat.h>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace convert {

namespace {

// The temporary file being written, removed if the process is told to stop.
char sTemporaryPath[4096];

void remove_temporary_and_exit(int signal)
{
    if (sTemporaryPath[0] != '\0')
        unlink(sTemporaryPath);
    _exit(kFailed);
}

std::string describe(status_t status)
{
    switch (status) {
    case B_NO_TRANSLATOR:
        return "no translator recognises the data";
    case B_ILLEGAL_DATA:
        return "the data is truncated or corrupt";
    case B_BAD_VALUE:
        return "the data holds invalid values";
    case B_NO_MEMORY:
        return "out of memory";
    case B_NOT_SUPPORTED:
        return "this variant of the format is not supported";
    case B_IO_ERROR:
        return "input/output error";
    case B_ERROR:
        return "translation failed";
    case B_ENTRY_NOT_FOUND:
    case B_FILE_NOT_FOUND:
        return "no such file or folder";
    case B_PERMISSION_DENIED:
        return "permission denied";
    case B_DEVICE_FULL:
        return "the disk is full";
    case B_READ_ONLY_DEVICE:
        return "the disk is read-only";
    case B_IS_A_DIRECTORY:
        return "it is a folder";
    default:
        break;
    }
    if (status >= B_POSIX_ERROR_BASE && status < B_POSIX_ERROR_BASE + 0x1000)
        return strerror(status - B_POSIX_ERROR_BASE);
    char text[32];
    snprintf(text, sizeof(text), "error %#x", (unsigned)status);
    return text;
}

std::string folder_of(const std::string& path)
{
    size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string leaf_of(const std::string& path)
{
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

uint32 type_for_extension(const std::string& path)
{
    static const struct
    {
        const char* extension;
        uint32 type;
    } kTypes[] = {{"tga", 'TGA '},  {"png", 'PNG '}, {"jpg", 'JPEG'},  {"jpeg", 'JPEG'},
                  {"bmp", 'BMP '},  {"tif", 'TIFF'}, {"tiff", 'TIFF'}, {"webp", 'WebP'},
                  {"gif", 'GIF '},  {"ppm", 'PPM '}, {"heic", 'HEIC'}, {"heif", 'HEIC'},
                  {"avif", 'AVIF'}, {"jxl", 'JXL '}};
    std::string leaf = leaf_of(path);
    size_t dot = leaf.rfind('.');
    if (dot == std::string::npos || dot == 0)
        return 0;
    std::string extension = leaf.substr(dot + 1);
    for (const auto& entry : kTypes) {
        if (strcasecmp(extension.c_str(), entry.extension) == 0)
            return entry.type;
    }
    return 0;
}

uint32 type_for_mime(BTranslatorRoster* roster, const std::string& mime)
{
    translator_id* ids = nullptr;
    int32 count = 0;
    if (roster->GetAllTranslators(&ids, &count) != B_OK)
        return 0;
    uint32 found = 0;
    for (int32 i = 0; i < count && found == 0; i++) {
        const translation_format* formats;
        int32 formatCount;
        if (roster->GetOutputFormats(ids[i], &formats, &formatCount) != B_OK)
            continue;
        for (int32 k = 0; k < formatCount; k++) {
            if (formats[k].type != B_TRANSLATOR_BITMAP &&
                strcasecmp(formats[k].MIME, mime.c_str()) == 0) {
                found = formats[k].type;
                break;
            }
        }
    }
    delete[] ids;
    return found;
}

namespace {

// A translator that runs out of memory in a library that throws must not
// take the whole process down; it has failed like any other.
status_t translate(BTranslatorRoster* roster, BPositionIO* input, BPositionIO* output, uint32 type)
{
    try {
        return roster->Translate(input, nullptr, nullptr, output, type);
    } catch (const std::bad_alloc&) {
        return B_NO_MEMORY;
    } catch (...) {
        return B_ERROR;
    }
}

// The most a 'bits' stream can hold: its header and the largest picture.
const off_t kMaxBitsStream = B_TRANSLATOR_BITMAP_HEADER_SIZE + off_t(B_TRANSLATION_MAX_PIXEL_BYTES);

// Decodes on a second thread into a pipe that the encoder reads from this
// one, so decoding and encoding overlap and the picture is never held whole
// when both sides work in order. Answers false, with nothing to report, when
// the translators needed a whole picture after all (see BitsPipe) or no
// thread could be started; the output must then be made anew.
bool convert_in_parallel(BTranslatorRoster* roster, BPositionIO* input, BPositionIO* output,
                         uint32 type, status_t* decoded, status_t* encoded)
{
    BitsPipe pipe(kMaxBitsStream);
    std::thread decoder;
    try {
        decoder = std::thread([&] {
            *decoded = translate(roster, input, pipe.WriteEnd(), B_TRANSLATOR_BITMAP);
            pipe.CloseWrite();
        });
    } catch (const std::system_error&) {
        return false;
    }
    *encoded = translate(roster, pipe.ReadEnd(), output, type);
    pipe.CloseRead(*encoded);
    decoder.join();
    return !pipe.Broken();
}

// Decodes the whole picture, then encodes it.
void convert_in_turn(BTranslatorRoster* roster, BPositionIO* input, BPositionIO* output,
                     uint32 type, status_t* decoded, status_t* encoded)
{
    BBitmapStream bits;
    *encoded = B_OK;
    *decoded = translate(roster, input, &bits, B_TRANSLATOR_BITMAP);
    if (*decoded == B_OK)
        *encoded = translate(roster, &bits, output, type);
}

} // namespace

int convert_file(BTranslatorRoster* roster, const std::string& input, const std::string& output,
                 uint32 type, std::string* error)
{
    struct stat st;
    if (stat(input.c_str(), &st) != 0) {
        *error = "cannot open " + input + ": " + strerror(errno);
        return kFailed;
    }
    if (S_ISDIR(st.st_mode)) {
        *error = "cannot read " + input + ": it is a folder";
        return kFailed;
    }
    BFile in(input.c_str(), B_READ_ONLY);
    if (in.InitCheck() != B_OK) {
        *error = "cannot open " + input + ": " + describe(in.InitCheck());
        return kFailed;
    }

    BPrivate::ReplacementFile out;
    status_t opened = out.Open(folder_of(output), leaf_of(output));
    if (opened != B_OK) {
        *error = "cannot write " + output + ": " +
                 (opened == B_BAD_VALUE ? "that is not a file name" : describe(opened));
        return kFailed;
    }
    if (out.TemporaryPath().size() >= sizeof(sTemporaryPath)) {
        *error = "cannot write " + output + ": the name is too long";
        return kFailed;
    }
    strcpy(sTemporaryPath, out.TemporaryPath().c_str());
    signal(SIGINT, remove_temporary_and_exit);
    signal(SIGTERM, remove_temporary_and_exit);
    signal(SIGHUP, remove_temporary_and_exit);

    status_t decoded = B_OK;
    status_t encoded = B_OK;
    if (!convert_in_parallel(roster, &in, out.File(), type, &decoded, &encoded)) {
        // Start again from the beginning of both files.
        encoded = out.File()->SetSize(0);
        if (encoded == B_OK && (in.Seek(0, SEEK_SET) != 0 || out.File()->Seek(0, SEEK_SET) != 0))
            encoded = B_IO_ERROR;
        if (encoded == B_OK)
            convert_in_turn(roster, &in, out.File(), type, &decoded, &encoded);
    }
    if (decoded == B_OK && encoded == B_OK)
        encoded = out.Commit();
    else
        out.Abort();
    sTemporaryPath[0] = '\0';
    if (decoded != B_OK) {
        *error = "cannot read " + input + ": " + describe(decoded);
        return kFailed;
    }
    if (encoded != B_OK) {
        *error =
            "cannot write " + output + ": " +
            (encoded == B_NO_TRANSLATOR ? "no translator writes that format" : describe(encoded));
        return kFailed;
    }
    return kSuccess;
}

} // namespace convert
