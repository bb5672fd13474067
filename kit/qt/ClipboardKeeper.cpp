// tavrin-clipboard: keeps a copied picture on the clipboard after the
// program has ended. It holds the picture's bitmap stream (mapped from the
// descriptor the program handed it) and each type a program has asked for,
// made when first asked; it ends when another program takes the clipboard.

#include <Clipboard.h>

#include <DataIO.h>
#include <Errors.h>
#include <FileExtensions.h>
#include <TranslatorFormats.h>
#include <TranslatorRoster.h>

#include "ClipboardServers.h"
#include "DragCache.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <strings.h>

#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace BPrivate {

namespace {

const char* const kUriList = "text/uri-list";
const char* const kCopiedFiles = "x-special/gnome-copied-files";

// A percent-encoded file URI for a path of the drag cache.
std::string file_uri(const std::string& path)
{
    std::string uri = "file://";
    for (unsigned char c : path) {
        if (isalnum(c) || strchr("/-._~", c)) {
            uri += (char)c;
        } else {
            char escaped[4];
            snprintf(escaped, sizeof(escaped), "%%%02X", c);
            uri += escaped;
        }
    }
    return uri;
}

} // namespace

KeptPicture::KeptPicture(const void* bits, size_t size, std::vector<std::string> types)
    : fBits(bits), fSize(size), fRoster(BTranslatorRoster::Default())
{
    fTypes.push_back("image/png");
    for (std::string& type : types) {
        if (type.rfind("image/", 0) == 0 &&
            std::find(fTypes.begin(), fTypes.end(), type) == fTypes.end())
            fTypes.push_back(type);
    }
    fTypes.push_back(kUriList);
    fTypes.push_back(kCopiedFiles);
}

KeptPicture::~KeptPicture()
{
    if (!fFolder.empty())
        DragCache::RemoveFolder(fFolder);
}

const std::string* KeptPicture::Data(const std::string& type)
{
    auto known = fMade.find(type);
    if (known != fMade.end())
        return known->second.empty() ? nullptr : &known->second;
    if (std::find(fTypes.begin(), fTypes.end(), type) == fTypes.end())
        return nullptr;
    std::string& made = fMade[type];
    if (type == kUriList || type == kCopiedFiles) {
        std::string path = _File();
        if (!path.empty())
            made = type == kUriList ? file_uri(path) + "\r\n" : "copy\n" + file_uri(path);
    } else {
        made = _Encode(type);
    }
    return made.empty() ? nullptr : &made;
}

std::string KeptPicture::_Encode(const std::string& type)
{
    uint32 code = output_type_for_mime(fRoster, type.c_str());
    if (code == 0)
        return std::string();
    BMemoryIO input(fBits, fSize);
    BMallocIO output;
    if (fRoster->Translate(&input, nullptr, nullptr, &output, code) != B_OK)
        return std::string();
    return std::string(static_cast<const char*>(output.Buffer()), output.BufferLength());
}

std::string KeptPicture::_File()
{
    const std::string* png = Data("image/png");
    if (!png)
        return std::string();
    fFolder = DragCache::MakeFolder();
    if (fFolder.empty())
        return std::string();
    std::string path = fFolder + "/tavrin_img.png";
    FILE* file = fopen(path.c_str(), "wbx");
    bool written = file && fwrite(png->data(), 1, png->size(), file) == png->size();
    if (file && fclose(file) != 0)
        written = false;
    if (!written) {
        unlink(path.c_str());
        return std::string();
    }
    return path;
}

int clipboard_keeper_main(int argc, char** argv)
{
    // A program that goes away while it reads must not end the copy.
    signal(SIGPIPE, SIG_IGN);
    if (argc < 2)
        return 2;
    struct stat status;
    if (fstat(3, &status) != 0 || status.st_size <= 0)
        return 1;
    void* bits = mmap(nullptr, (size_t)status.st_size, PROT_READ, MAP_PRIVATE, 3, 0);
    close(3);
    if (bits == MAP_FAILED)
        return 1;
    std::vector<std::string> types(argv + 2, argv + argc);
    KeptPicture picture(bits, (size_t)status.st_size, types);
    std::unique_ptr<ClipServer> server = strcmp(argv[1], "--wayland") == 0
                                             ? make_wayland_clip_server(&picture)
                                             : make_x11_clip_server(&picture);
    // The program learns whether the copy is kept; the descriptor closes
    // with the answer.
    bool holding = server && server->Take();
    char answer = holding ? '1' : '0';
    if (write(4, &answer, 1) != 1)
        holding = false;
    close(4);
    if (holding) {
        server->HandToManager();
        server->Serve(-1);
    }
    server.reset();
    munmap(bits, (size_t)status.st_size);
    return holding ? 0 : 1;
}

} // namespace BPrivate
