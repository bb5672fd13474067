#ifndef _PLATFORM_H
#define _PLATFORM_H

#include <string>
#include <vector>

namespace BPrivate {

// The process's link to the Qt platform underneath the kit.
struct Platform
{
    // False, with a one-line reason, when no display can be reached.
    static bool CheckDisplay(std::string* problem);
    static void CreateApplication();
    static void DestroyApplication();
    static const char* ProgramName();
    // The arguments the program was started with, its name first.
    static std::vector<std::string> CommandLine();
};

} // namespace BPrivate

#endif
