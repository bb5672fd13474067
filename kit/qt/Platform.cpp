#include "Platform.h"

#include "DragBridge.h"

#include <QApplication>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

namespace BPrivate {

namespace {
// QApplication keeps references to these for its whole life. The program's
// own arguments are documents, never Qt options, so Qt sees only the name.
int sArgc = 1;
char sProgramName[256] = "tavrin";
char* sArgv[] = {sProgramName, nullptr};
QApplication* sApplication = nullptr;

std::string PlatformName()
{
    const char* name = getenv("QT_QPA_PLATFORM");
    return name ? name : "";
}
} // namespace

bool Platform::CheckDisplay(std::string* problem)
{
    std::string platform = PlatformName();
    const char* display = getenv("DISPLAY");
    bool hasX = display && *display;

    if (platform.empty() && hasX) {
        // Screen capture and the drag protocol are X11's: prefer it when both exist.
        setenv("QT_QPA_PLATFORM", "xcb", 0);
        platform = "xcb";
    }
    if (platform.empty()) {
        const char* wayland = getenv("WAYLAND_DISPLAY");
        if (wayland && *wayland)
            return true;
        *problem = "no display to open (DISPLAY is not set)";
        return false;
    }
    if (platform.rfind("xcb", 0) != 0)
        return true;
    if (!hasX) {
        *problem = "no display to open (DISPLAY is not set)";
        return false;
    }
    xcb_connection_t* connection = xcb_connect(display, nullptr);
    bool ok = connection && !xcb_connection_has_error(connection);
    if (connection)
        xcb_disconnect(connection);
    if (!ok)
        *problem = std::string("cannot open display ") + display;
    return ok;
}

void Platform::CreateApplication()
{
    strncpy(sProgramName, ProgramName(), sizeof(sProgramName) - 1);
    sApplication = new QApplication(sArgc, sArgv);
    QApplication::setQuitOnLastWindowClosed(false);
    DragBridge::SweepCache();
}

void Platform::DestroyApplication()
{
    DragBridge::Shutdown();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    delete sApplication;
    sApplication = nullptr;
}

const char* Platform::ProgramName()
{
    static std::string name;
    if (name.empty()) {
        std::vector<std::string> args = CommandLine();
        name = args.empty() ? "tavrin" : args[0];
        size_t slash = name.rfind('/');
        if (slash != std::string::npos)
            name = name.substr(slash + 1);
    }
    return name.c_str();
}

std::vector<std::string> Platform::CommandLine()
{
    std::vector<std::string> args;
    std::ifstream in("/proc/self/cmdline", std::ios::binary);
    std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    size_t start = 0;
    while (start < all.size()) {
        size_t end = all.find('\0', start);
        if (end == std::string::npos)
            end = all.size();
        args.push_back(all.substr(start, end - start));
        start = end + 1;
    }
    return args;
}

} // namespace BPrivate
