#include "Platform.h"

#include "ClipboardServers.h"
#include "DragBridge.h"
#include "WaylandDrop.h"

#include <QApplication>
#include <QFileInfo>
#include <QLibraryInfo>

#include <wayland-client.h>

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

std::string Variable(const char* name)
{
    const char* value = getenv(name);
    return value ? value : "";
}

bool CanReachX(const std::string& display)
{
    xcb_connection_t* connection = xcb_connect(display.c_str(), nullptr);
    bool ok = connection && !xcb_connection_has_error(connection);
    if (connection)
        xcb_disconnect(connection);
    return ok;
}

bool CanReachWayland(const std::string& display)
{
    wl_display* connection = wl_display_connect(display.empty() ? nullptr : display.c_str());
    if (connection)
        wl_display_disconnect(connection);
    return connection != nullptr;
}

bool HasWaylandPlugin()
{
    // Plugins from elsewhere are Qt's to find.
    if (!Variable("QT_PLUGIN_PATH").empty())
        return true;
    QString folder = QLibraryInfo::path(QLibraryInfo::PluginsPath) + "/platforms";
    return QFileInfo::exists(folder + "/libqwayland-generic.so");
}
} // namespace

const char* Platform::Choose(const char* requested, const char* display, const char* wayland,
                             const char* sessionType)
{
    if (requested && *requested)
        return requested;
    bool hasX = display && *display;
    bool hasWayland = wayland && *wayland;
    // In a Wayland session the program is a client of the compositor itself;
    // XWayland is kept as the way back where the Wayland platform fails.
    if (hasWayland && ((sessionType && strcmp(sessionType, "wayland") == 0) || !hasX))
        return hasX ? "wayland;xcb" : "wayland";
    return hasX ? "xcb" : "";
}

bool Platform::CheckDisplay(std::string* problem)
{
    std::string display = Variable("DISPLAY");
    std::string wayland = Variable("WAYLAND_DISPLAY");
    std::string requested = Variable("QT_QPA_PLATFORM");
    std::string platform = Choose(requested.c_str(), display.c_str(), wayland.c_str(),
                                  Variable("XDG_SESSION_TYPE").c_str());
    bool onWayland = platform.rfind("wayland", 0) == 0;
    if (requested.empty() && onWayland && !display.empty() &&
        (!HasWaylandPlugin() || !CanReachWayland(wayland))) {
        platform = "xcb";
        onWayland = false;
    }
    if (requested.empty() && !platform.empty())
        setenv("QT_QPA_PLATFORM", platform.c_str(), 1);

    if (onWayland) {
        if (!CanReachWayland(wayland)) {
            *problem = "cannot open Wayland display " + (wayland.empty() ? "wayland-0" : wayland);
            return false;
        }
        if (!HasWaylandPlugin()) {
            *problem = "Qt's Wayland platform is not installed (Debian's qt6-wayland)";
            return false;
        }
        return true;
    }
    if (platform.empty() || (platform.rfind("xcb", 0) == 0 && display.empty())) {
        *problem = "no display to open (DISPLAY is not set)";
        return false;
    }
    if (platform.rfind("xcb", 0) == 0 && !CanReachX(display)) {
        *problem = "cannot open display " + display;
        return false;
    }
    return true;
}

void Platform::CreateApplication()
{
    strncpy(sProgramName, ProgramName(), sizeof(sProgramName) - 1);
    sApplication = new QApplication(sArgc, sArgv);
    QApplication::setQuitOnLastWindowClosed(false);
    DragBridge::SweepCache();
    // Drops of other programs are followed from the start, before any drag
    // comes near a window.
    WaylandDrop::Start();
}

void Platform::DestroyApplication()
{
    DragBridge::Shutdown();
    end_clipboard_serving();
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
