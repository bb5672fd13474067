// Prints the MIME types of every picture format the translators read, as the
// value of a desktop entry's MimeType key ("image/bmp;image/gif;...;"), or,
// with --man, the manual pages' list of the formats: each with its
// extensions, its MIME type and whether it is read, written or both. The
// build runs it on the translators it has just built, so the desktop entry
// offers tavrin for exactly the files its translators open, and the manual
// names exactly the formats installed.
//
// Usage: list-input-types [--man] [OUTPUT]   (standard output without OUTPUT)
// The translators come from $TRANSLATORS, as for every program on the kit.

#include <FileExtensions.h>
#include <TranslatorFormats.h>
#include <TranslatorRoster.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
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

// Writes text to the file path, or to standard output when there is none.
int write_out(const char* path, const std::string& text)
{
    if (path == nullptr) {
        fputs(text.c_str(), stdout);
        return 0;
    }
    std::ofstream out(path);
    out << text;
    out.close();
    if (!out) {
        fprintf(stderr, "list-input-types: cannot write %s\n", path);
        return 1;
    }
    return 0;
}

// A translator's text as troff prints it, not as requests or escapes.
std::string roff_text(const std::string& text)
{
    std::string escaped;
    for (char c : text) {
        if (c == '\\')
            escaped += "\\e";
        else if (c == '-')
            escaped += "\\-";
        else if (c != '\n')
            escaped += c;
    }
    if (!escaped.empty() && (escaped[0] == '.' || escaped[0] == '\''))
        escaped.insert(0, "\\&");
    return escaped;
}

struct Format
{
    std::string name;
    bool read = false;
    bool written = false;
};

// A format of the translators' own, not the bitmap format they all share:
// that is their common currency, read for writing other formats, and no file
// manager names a file by it.
bool is_picture_format(const translation_format& format)
{
    return format.group == B_TRANSLATOR_BITMAP && format.type != B_TRANSLATOR_BITMAP &&
           format.MIME[0] != '\0';
}

// The formats by MIME type, as troff lines: a tagged paragraph per format
// whose tag is its extensions.
std::string man_list(BTranslatorRoster* roster, const translator_id* ids, int32 count)
{
    std::map<std::string, Format> formats;
    for (int32 i = 0; i < count; i++) {
        for (bool output : {false, true}) {
            const translation_format* list = nullptr;
            int32 listCount = 0;
            if ((output ? roster->GetOutputFormats(ids[i], &list, &listCount)
                        : roster->GetInputFormats(ids[i], &list, &listCount)) != B_OK)
                continue;
            for (int32 f = 0; list != nullptr && f < listCount; f++) {
                if (!is_picture_format(list[f]))
                    continue;
                Format& format = formats[list[f].MIME];
                if (format.name.empty())
                    format.name = list[f].name;
                (output ? format.written : format.read) = true;
            }
        }
    }
    // In the order of their extensions, as a reader looks them up.
    std::map<std::string, std::string> entries;
    for (const auto& [mime, format] : formats) {
        std::string tag;
        const char* const* extensions = extensions_for_mime(mime.c_str());
        for (int e = 0; extensions != nullptr && extensions[e] != nullptr; e++)
            tag += std::string(tag.empty() ? "" : ", ") + "." + extensions[e];
        if (tag.empty())
            tag = "(no extension)";
        const char* use = format.read && format.written ? "read and written"
                          : format.read                 ? "read only"
                                                        : "written only";
        entries[tag] =
            ".TP\n.B " + tag + "\n" + roff_text(format.name) + " (" + mime + "), " + use + ".\n";
    }
    std::string text;
    for (const auto& entry : entries)
        text += entry.second;
    return text;
}

} // namespace

int main(int argc, char** argv)
{
    bool man = argc > 1 && strcmp(argv[1], "--man") == 0;
    if (man) {
        argv++;
        argc--;
    }
    if (argc > 2) {
        fprintf(stderr, "usage: list-input-types [--man] [OUTPUT]\n");
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

    std::string value;
    if (man) {
        value = man_list(roster, ids, count);
        delete[] ids;
        return write_out(argc == 2 ? argv[1] : nullptr, value);
    }

    std::map<std::string, std::string> aliases = mime_aliases();
    std::set<std::string> types;
    for (int32 i = 0; i < count; i++) {
        const translation_format* formats = nullptr;
        int32 formatCount = 0;
        if (roster->GetInputFormats(ids[i], &formats, &formatCount) != B_OK)
            continue;
        for (int32 f = 0; formats != nullptr && f < formatCount; f++) {
            if (!is_picture_format(formats[f]))
                continue;
            std::string mime = formats[f].MIME;
            types.insert(mime);
            auto canonical = aliases.find(mime);
            if (canonical != aliases.end())
                types.insert(canonical->second);
        }
    }
    delete[] ids;

    for (const std::string& type : types)
        value += type + ";";
    if (value.empty()) {
        fprintf(stderr, "list-input-types: the translators read no picture format\n");
        return 1;
    }
    return write_out(argc == 2 ? argv[1] : nullptr, value + "\n");
}
