#include "ConvertSettings.h"
#include "ConvertTool.h"

#include <Errors.h>
#include <FileExtensions.h>
#include <Message.h>
#include <TranslatorFormats.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

const char kUsage[] =
    "usage: tavrin-convert [OPTION...] INPUT OUTPUT\n"
    "       tavrin-convert [OPTION...] -o DIR --type FORMAT INPUT...\n"
    "       tavrin-convert --list-settings FORMAT\n"
    "Converts pictures through the tavrin translators.\n"
    "\n"
    "  --type FORMAT        write FORMAT, a MIME type (image/png) or an extension (png);\n"
    "                       without it, the output name's extension says\n"
    "  -o DIR               write each INPUT into DIR, named after it with FORMAT's extension\n"
    "  -j N                 convert N files at once (default: the number of processors)\n"
    "  --set KEY=VALUE      a translator setting for this run (--set quality=80)\n"
    "  --list-settings FORMAT  the settings of FORMAT's translators, with their values\n"
    "  --strip              leave metadata (Exif, XMP) out of the files written\n"
    "  --help               this text\n"
    "  --version            the version\n"
    "\n"
    "Exit status: 0 when every file was converted, 1 when one failed, 2 for wrong arguments.\n";

int usage(const std::string& message)
{
    fprintf(stderr,
            "tavrin-convert: %s (usage: tavrin-convert INPUT OUTPUT [--type MIME], or "
            "--help)\n",
            message.c_str());
    return convert::kBadArguments;
}

// Arguments that make sense but cannot be carried out (a setting no
// translator has, a value it does not take): the message says it all.
int refuse(const std::string& message)
{
    fprintf(stderr, "tavrin-convert: %s\n", message.c_str());
    return convert::kBadArguments;
}

std::string leaf_of(const std::string& path)
{
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The output name for input in folder: its leaf without its extension, with
// the format's.
std::string output_in(const std::string& folder, const std::string& input,
                      const std::string& extension)
{
    std::string leaf = leaf_of(input);
    size_t dot = leaf.rfind('.');
    if (dot != std::string::npos && dot > 0)
        leaf.resize(dot);
    if (leaf.empty() || leaf == "." || leaf == "..")
        leaf = "picture";
    std::string base = folder.back() == '/' ? folder : folder + "/";
    return base + leaf + "." + extension;
}

struct Options
{
    std::vector<std::string> paths;
    std::string format;
    bool haveFormat = false;
    std::string folder;
    bool haveFolder = false;
    long jobs = 0;
    std::vector<std::string> assignments;
    bool strip = false;
};

// Reads an option's value, given as the next argument or after "=" (or
// straight after a one-letter option: -j4).
bool take_value(int argc, char** argv, int* i, const char* name, std::string* value)
{
    const char* argument = argv[*i];
    size_t length = strlen(name);
    if (strncmp(argument, name, length) == 0 && argument[length] != '\0') {
        const char* rest = argument + length;
        if (name[1] == '-') {
            if (*rest != '=')
                return false;
            rest++;
        }
        *value = rest;
        return true;
    }
    if (*i + 1 >= argc)
        return false;
    *value = argv[++*i];
    return true;
}

bool is_option(const char* argument, const char* name)
{
    size_t length = strlen(name);
    return strncmp(argument, name, length) == 0 &&
           (argument[length] == '\0' || argument[length] == '=' ||
            (name[1] != '-' && argument[length] != '\0'));
}

// Converts every input into the folder, several at once: a line per file as
// it ends (successes on standard output, failures on standard error), then
// the count.
int convert_batch(BTranslatorRoster* roster, const Options& options, const std::string& mime,
                  uint32 type, const BMessage& settings)
{
    struct stat st = {};
    bool found = stat(options.folder.c_str(), &st) == 0;
    if (!found || !S_ISDIR(st.st_mode)) {
        status_t status = found ? status_t(B_NOT_A_DIRECTORY) : status_from_errno(errno);
        fprintf(stderr, "tavrin-convert: cannot write into %s: %s\n", options.folder.c_str(),
                status_text(status));
        return convert::kFailed;
    }
    const char* extension = extension_for_mime(mime.c_str());
    if (extension == nullptr)
        return usage("no file name extension is known for " + mime);

    size_t count = options.paths.size();
    // Two inputs that would be written under one name: the first is.
    std::vector<std::string> outputs(count);
    std::vector<size_t> owner(count);
    std::map<std::string, size_t> first;
    for (size_t i = 0; i < count; i++) {
        outputs[i] = output_in(options.folder, options.paths[i], extension);
        owner[i] = first.emplace(outputs[i], i).first->second;
    }
    std::mutex lineLock;
    std::atomic<size_t> next{0};
    std::atomic<size_t> failed{0};
    auto work = [&] {
        for (size_t i = next++; i < count; i = next++) {
            std::string error;
            int result;
            if (owner[i] != i) {
                error = "cannot write " + outputs[i] + ": " + options.paths[owner[i]] +
                        " of this run is written there";
                result = convert::kFailed;
            } else {
                result = convert::convert_file(roster, options.paths[i], outputs[i], type, &error,
                                               &settings);
            }
            std::lock_guard<std::mutex> guard(lineLock);
            if (result == convert::kSuccess) {
                printf("%s -> %s\n", options.paths[i].c_str(), outputs[i].c_str());
                fflush(stdout);
            } else {
                failed++;
                fprintf(stderr, "tavrin-convert: %s\n", error.c_str());
            }
        }
    };
    long processors = sysconf(_SC_NPROCESSORS_ONLN);
    size_t threads = size_t(options.jobs > 0 ? options.jobs : (processors > 0 ? processors : 1));
    threads = std::min(threads, count);
    std::vector<std::thread> workers;
    for (size_t t = 1; t < threads; t++) {
        try {
            workers.emplace_back(work);
        } catch (const std::system_error&) {
            break;
        }
    }
    work();
    for (std::thread& worker : workers)
        worker.join();
    printf("%zu converted, %zu failed\n", count - failed, size_t(failed));
    return failed == 0 ? convert::kSuccess : convert::kFailed;
}

} // namespace

int main(int argc, char** argv)
{
    Options options;
    std::string listFormat;
    bool list = false;
    for (int i = 1; i < argc; i++) {
        const char* argument = argv[i];
        std::string value;
        if (strcmp(argument, "--help") == 0 || strcmp(argument, "-h") == 0) {
            fputs(kUsage, stdout);
            return convert::kSuccess;
        } else if (strcmp(argument, "--version") == 0) {
            printf("tavrin-convert %s\n", TAVRIN_PROJECT_VERSION);
            return convert::kSuccess;
        } else if (strcmp(argument, "--strip") == 0) {
            options.strip = true;
        } else if (is_option(argument, "--type")) {
            if (!take_value(argc, argv, &i, "--type", &options.format))
                return usage("--type needs a MIME type or an extension");
            options.haveFormat = true;
        } else if (is_option(argument, "--list-settings")) {
            if (!take_value(argc, argv, &i, "--list-settings", &listFormat))
                return usage("--list-settings needs a format");
            list = true;
        } else if (is_option(argument, "--set")) {
            if (!take_value(argc, argv, &i, "--set", &value))
                return usage("--set needs KEY=VALUE");
            options.assignments.push_back(value);
        } else if (is_option(argument, "-o")) {
            if (!take_value(argc, argv, &i, "-o", &options.folder) || options.folder.empty())
                return usage("-o needs a folder");
            options.haveFolder = true;
        } else if (is_option(argument, "-j")) {
            char* end = nullptr;
            if (!take_value(argc, argv, &i, "-j", &value))
                return usage("-j needs a number");
            options.jobs = strtol(value.c_str(), &end, 10);
            if (value.empty() || *end != '\0' || options.jobs < 1 || options.jobs > 1024)
                return usage("-j needs a number from 1 to 1024");
        } else if (strcmp(argument, "--") == 0) {
            for (i++; i < argc; i++)
                options.paths.push_back(argv[i]);
        } else if (argument[0] == '-' && argument[1] != '\0') {
            return usage(std::string("unknown option ") + argument);
        } else {
            options.paths.push_back(argument);
        }
    }

    BTranslatorRoster* roster = BTranslatorRoster::Default();
    if (list) {
        if (!convert::list_settings(roster, listFormat, stdout))
            return refuse("no translator reads or writes " + listFormat);
        return convert::kSuccess;
    }

    if (options.haveFolder) {
        if (options.paths.empty())
            return usage("no input given");
        if (!options.haveFormat)
            return usage("-o needs --type to name the format written");
    } else {
        if (options.paths.size() < 2)
            return usage("an input and an output file are needed");
        if (options.paths.size() > 2)
            return usage("too many arguments (several inputs need -o DIR)");
    }

    // The type code is whatever the translator that writes the format lists
    // under its MIME type, named by --type or by the output's extension.
    std::string mime;
    if (options.haveFormat) {
        mime = convert::mime_for_format(options.format);
        if (mime.empty())
            return usage("no known format is called " + options.format);
    } else {
        const char* known = convert::mime_for_name(options.paths[1]);
        if (!known)
            return usage("cannot tell the format of " + options.paths[1] + " from its extension");
        mime = known;
    }
    uint32 type = convert::type_for_mime(roster, mime);
    if (type == 0) {
        if (options.haveFormat)
            return usage("no translator writes " + options.format);
        fprintf(stderr, "tavrin-convert: cannot write %s: no translator writes that format\n",
                options.paths[1].c_str());
        return convert::kFailed;
    }

    BMessage settings;
    for (const std::string& assignment : options.assignments) {
        std::string error;
        if (!convert::add_setting(roster, assignment, type, &settings, &error))
            return refuse(error);
    }
    if (options.strip)
        settings.AddBool(B_TRANSLATOR_EXT_STRIP_METADATA, true);

    // A file past the size limit is then a failed write with its reason
    // ("file too large"), not a process stopped half-way.
    signal(SIGXFSZ, SIG_IGN);

    if (!options.haveFolder) {
        std::string error;
        int result = convert::convert_file(roster, options.paths[0], options.paths[1], type, &error,
                                           &settings);
        if (result != convert::kSuccess)
            fprintf(stderr, "tavrin-convert: %s\n", error.c_str());
        return result;
    }

    return convert_batch(roster, options, mime, type, settings);
}
