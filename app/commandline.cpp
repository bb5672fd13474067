#include "app/commandline.h"

#include "window/codes.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

const char* const kUsageText =
    "Usage: tavrin [FILE...]\n"
    "       tavrin --capture[=screen|region|window] [--delay SECONDS] [--output FILE] "
    "[--clipboard]\n"
    "\n"
    "Shows pictures, or captures the screen.\n"
    "\n"
    "  --capture[=MODE]   capture the whole screen (screen, the default), a region\n"
    "                     chosen with the mouse or keys (region), or a window chosen\n"
    "                     with a click, the active one on Enter (window)\n"
    "  --delay SECONDS    wait this long first (Escape cancels, where the display allows)\n"
    "  --output FILE      save the capture in the format of FILE's extension instead of\n"
    "                     showing it (- writes PNG to standard output); the status is 0\n"
    "                     when it was saved, 1 otherwise (also when cancelled)\n"
    "  --clipboard        copy the capture to the clipboard as well\n"
    "  --help             show this text\n";

namespace {

// The value of --name=value or of --name value (the next argument).
bool option_value(const char* name, int argc, const char* const* argv, int* i, const char** value)
{
    const char* arg = argv[*i];
    size_t length = strlen(name);
    if (strncmp(arg, name, length) != 0)
        return false;
    if (arg[length] == '=') {
        *value = arg + length + 1;
        return true;
    }
    if (arg[length] != '\0')
        return false;
    *value = *i + 1 < argc ? argv[++*i] : nullptr;
    return true;
}

} // namespace

bool parse_command_line(int argc, const char* const* argv, command_line* line, std::string* error)
{
    *line = command_line();
    bool options = true;
    bool captureOptions = false;
    for (int i = 1; i < argc; i++) {
        const char* arg = argv[i];
        const char* value = nullptr;
        // Only long options are options (and -h): other names are files, as they always were.
        if (!options || (strncmp(arg, "--", 2) != 0 && strcmp(arg, "-h") != 0)) {
            line->files.push_back(arg);
        } else if (strcmp(arg, "--") == 0) {
            options = false;
        } else if (strcmp(arg, "--help") == 0 || strcmp(arg, "-h") == 0) {
            line->help = true;
        } else if (strcmp(arg, "--capture") == 0 || strncmp(arg, "--capture=", 10) == 0) {
            line->capture = true;
            const char* mode = arg[9] == '=' ? arg + 10 : "screen";
            if (strcmp(mode, "screen") == 0)
                line->mode = kCapture;
            else if (strcmp(mode, "region") == 0)
                line->mode = kCaptureRegion;
            else if (strcmp(mode, "window") == 0)
                line->mode = kCaptureWindow;
            else {
                *error =
                    std::string("unknown capture mode \"") + mode + "\" (screen, region or window)";
                return false;
            }
        } else if (option_value("--delay", argc, argv, &i, &value)) {
            char* end = nullptr;
            errno = 0;
            long seconds = value ? strtol(value, &end, 10) : -1;
            if (!value || *value == '\0' || *end != '\0' || errno || seconds < 0 ||
                seconds > 3600) {
                *error = "--delay needs a whole number of seconds from 0 to 3600";
                return false;
            }
            line->delay = (int32)seconds;
            captureOptions = true;
        } else if (option_value("--output", argc, argv, &i, &value)) {
            if (!value || *value == '\0') {
                *error = "--output needs a file name (- for standard output)";
                return false;
            }
            line->output = value;
            captureOptions = true;
        } else if (strcmp(arg, "--clipboard") == 0) {
            line->clipboard = true;
            captureOptions = true;
        } else {
            *error = std::string("unknown option ") + arg;
            return false;
        }
    }
    if (captureOptions && !line->capture) {
        *error = "--delay, --output and --clipboard go with --capture";
        return false;
    }
    if (line->capture && !line->files.empty()) {
        *error = "--capture takes no files";
        return false;
    }
    return true;
}
