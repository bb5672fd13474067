#include "ConvertTool.h"

#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>

static int usage(const char* message)
{
    fprintf(stderr, "tavrin-convert: %s (usage: tavrin-convert INPUT OUTPUT [--type MIME])\n",
            message);
    return convert::kBadArguments;
}

int main(int argc, char** argv)
{
    std::string input, output, mime;
    bool haveMime = false;
    for (int i = 1; i < argc; i++) {
        if (strcmp(argv[i], "--type") == 0) {
            if (i + 1 >= argc)
                return usage("--type needs a MIME type");
            mime = argv[++i];
            haveMime = true;
        } else if (strncmp(argv[i], "--type=", 7) == 0) {
            mime = argv[i] + 7;
            haveMime = true;
        } else if (argv[i][0] == '-' && argv[i][1] == '-' && argv[i][2] != '\0') {
            return usage((std::string("unknown option ") + argv[i]).c_str());
        } else if (input.empty()) {
            input = argv[i];
        } else if (output.empty()) {
            output = argv[i];
        } else {
            return usage("too many arguments");
        }
    }
    if (input.empty() || output.empty())
        return usage("an input and an output file are needed");

    // A file past the size limit is then a failed write with its reason
    // ("file too large"), not a process stopped half-way.
    signal(SIGXFSZ, SIG_IGN);
    BTranslatorRoster* roster = BTranslatorRoster::Default();
    uint32 type;
    if (haveMime) {
        type = convert::type_for_mime(roster, mime);
        if (type == 0)
            return usage(("no translator writes " + mime).c_str());
    } else {
        // The extension names a MIME type; the type code is whatever the
        // translator that writes it lists under that type.
        const char* known = convert::mime_for_name(output);
        if (!known)
            return usage(("cannot tell the format of " + output + " from its extension").c_str());
        type = convert::type_for_mime(roster, known);
        if (type == 0) {
            fprintf(stderr, "tavrin-convert: cannot write %s: no translator writes that format\n",
                    output.c_str());
            return convert::kFailed;
        }
    }

    std::string error;
    int result = convert::convert_file(roster, input, output, type, &error);
    if (result != convert::kSuccess)
        fprintf(stderr, "tavrin-convert: %s\n", error.c_str());
    return result;
}
