#include "app/commandline.h"
#include "app/tavrin.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv)
{
    command_line line;
    std::string error;
    if (!parse_command_line(argc, argv, &line, &error)) {
        fprintf(stderr, "tavrin: %s (see tavrin --help)\n", error.c_str());
        return 1;
    }
    if (line.help) {
        fputs(kUsageText, stdout);
        return 0;
    }
    tr = BTranslatorRoster::Default();
    if (!tr)
        return 1;
    tavrin app(argc, argv);
    app.Run();
    return exit_status();
}
