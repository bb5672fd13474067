#ifndef _PLATFORM_H
#define _PLATFORM_H

#include <string>
#include <vector>

namespace BPrivate {

// The process's link to the Qt platform underneath the kit.
struct Platform
{
    // False, with a one-line reason, when no display can be reached. Picks
    // the Qt platform first, unless the user named one in QT_QPA_PLATFORM.
    static bool CheckDisplay(std::string* problem);
    // The Qt platform for this environment: the one requested; in a Wayland
    // session (or with only a Wayland display) Qt's Wayland platform, falling
    // back to X11 where there is one; else X11; "" with no display at all.
    static const char* Choose(const char* requested, const char* display, const char* wayland,
                              const char* sessionType);
    static void CreateApplication();
    static void DestroyApplication();
    static const char* ProgramName();
    // The arguments the program was started with, its name first.
    static std::vector<std::string> CommandLine();
};

} // namespace BPrivate

#endif
