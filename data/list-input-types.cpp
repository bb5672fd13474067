// Prints the MIME types of every picture format the translators read, as the
// value of a desktop entry's MimeType key ("image/bmp;image/gif;...;"). The
// build runs it on the translators it has just built, so the desktop entry
// offers tavrin for exactly the files its translators open.
//
// Usage: list-input-types [OUTPUT]   (standard output without OUTPUT)
// The translators come from $TRANSLATORS, as for every program on the kit.

#include <TranslatorFormats.h>
#include <TranslatorRoster.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>

namespace {

// The shared MIME database's aliases (alias -> canonical type), from every
// folder in $XDG_DATA_DIRS. A file manager names a file by the canonical type,
// so a translator that calls Targa "image/x-targa" must also be listed as
// "image/x-tga" to be offered for .tga files.
std::map<std::string, std::string> mime_aliases()
{
    std::map<std::string, std::string> aliases;
    const char* dirs = getenv("XDG_DATA_DIRS");
    std::string list = (dirs != nullptr && dirs[0] != '\0') ? dirs : "/usr/local/share:/usr/share";
    std::stringstream folders(list);
    std::string folder;
    while (std::getline(folders, folder, ':')) {
        if (folder.empty())
            continue;
        std::ifstream file(folder + "/mime/aliases");
        std::string alias, canonical;
        while (file >> alias >> canonical)
            aliases.emplace(alias, canonical);
    }
    return aliases;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc > 2) {
        fprintf(stderr, "usage: list-input-types [OUTPUT]\n");
        return 2;
    }
    BTranslatorRoster* roster = BTranslatorRoster::Default();
    translator_id* ids = nullptr;
    int32 count = 0;
    if (roster == nullptr || roster->GetAllTranslators(&ids, &count) != B_OK || count == 0) {
        fprintf(stderr, "list-input-types: no translators found\n");
        delete[] ids;
        return 1;
    }

    std::map<std::string, std::string> aliases = mime_aliases();
    std::set<std::string> types;
    for (int32 i = 0; i < count; i++) {
        const translation_format* formats = nullptr;
        int32 formatCount = 0;
        if (roster->GetInputFormats(ids[i], &formats, &formatCount) != B_OK)
            continue;
        for (int32 f = 0; formats != nullptr && f < formatCount; f++) {
            // The bitmap format is the translators' common currency, read
            // for writing other formats; no file manager names a file by it.
            if (formats[f].group != B_TRANSLATOR_BITMAP || formats[f].type == B_TRANSLATOR_BITMAP)
                continue;
            std::string mime = formats[f].MIME;
            if (mime.empty())
                continue;
            types.insert(mime);
            auto canonical = aliases.find(mime);
            if (canonical != aliases.end())
                types.insert(canonical->second);
        }
    }
    delete[] ids;

    std::string value;
    for (const std::string& type : types)
        value += type + ";";
    if (value.empty()) {
        fprintf(stderr, "list-input-types: the translators read no picture format\n");
        return 1;
    }

    if (argc == 2) {
        std::ofstream out(argv[1]);
        out << value << "\n";
        out.close();
        if (!out) {
            fprintf(stderr, "list-input-types: cannot write %s\n", argv[1]);
            return 1;
        }
    } else {
        printf("%s\n", value.c_str());
    }
    return 0;
}
