// Which Qt platform the program runs on, and so how it captures the screen:
// the user's choice, Qt's Wayland platform in a Wayland session, X11 where
// the session is X11; and the one line said when no display can be reached.

#include "qt/Platform.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <sys/stat.h>

using BPrivate::Platform;

namespace {

TEST(PlatformTest, ChoosesByTheSession)
{
    struct Case
    {
        const char* requested;
        const char* display;
        const char* wayland;
        const char* session;
        const char* platform;
    } cases[] = {
        {"offscreen", ":0", "wayland-0", "wayland", "offscreen"},
        {"xcb", ":0", "wayland-0", "wayland", "xcb"},
        {"", ":0", "", "x11", "xcb"},
        {"", ":0", "wayland-0", "x11", "xcb"},
        {"", ":0", "wayland-0", "", "xcb"},
        {"", ":0", "wayland-0", "wayland", "wayland;xcb"},
        {"", "", "wayland-0", "wayland", "wayland"},
        {"", "", "wayland-0", "", "wayland"},
        {"", ":0", "", "wayland", "xcb"},
        {"", "", "", "wayland", ""},
        {nullptr, nullptr, nullptr, nullptr, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("requested '") + (c.requested ? c.requested : "(unset)") +
                     "', DISPLAY '" + (c.display ? c.display : "(unset)") + "', WAYLAND_DISPLAY '" +
                     (c.wayland ? c.wayland : "(unset)") + "', session '" +
                     (c.session ? c.session : "(unset)") + "'");
        EXPECT_STREQ(Platform::Choose(c.requested, c.display, c.wayland, c.session), c.platform);
    }
}

TEST(PlatformTest, SaysWhyNoDisplayCanBeReached)
{
    std::string runtime = testing::TempDir() + "/platform-test-runtime";
    mkdir(runtime.c_str(), 0700);
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    struct Case
    {
        const char* display;
        const char* wayland;
        const char* session;
        const char* problem;
        // What QT_QPA_PLATFORM holds afterwards.
        const char* platform;
    } cases[] = {
        {nullptr, nullptr, "wayland", "no display to open (DISPLAY is not set)", nullptr},
        {nullptr, "wayland-none", "wayland", "cannot open Wayland display wayland-none", "wayland"},
        // The compositor cannot be reached, X11 can be tried: it is, and says so.
        {":199", "wayland-none", "wayland", "cannot open display :199", "xcb"},
        {":199", nullptr, "x11", "cannot open display :199", "xcb"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.problem);
        unsetenv("QT_QPA_PLATFORM");
        c.display ? setenv("DISPLAY", c.display, 1) : unsetenv("DISPLAY");
        c.wayland ? setenv("WAYLAND_DISPLAY", c.wayland, 1) : unsetenv("WAYLAND_DISPLAY");
        setenv("XDG_SESSION_TYPE", c.session, 1);
        std::string problem;
        EXPECT_FALSE(Platform::CheckDisplay(&problem));
        EXPECT_EQ(problem, c.problem);
        const char* platform = getenv("QT_QPA_PLATFORM");
        if (c.platform)
            EXPECT_STREQ(platform, c.platform);
        else
            EXPECT_EQ(platform, nullptr);
    }
}

} // namespace
