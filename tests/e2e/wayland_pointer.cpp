// A pointer for a headless wlroots compositor, which has no input devices:
// while this runs, it holds a virtual pointer and carries out the commands
// it reads, one a line, answering "ok" once the compositor has taken each.
//
//   wayland_pointer WIDTH HEIGHT      the size of the compositor's layout
//     move X Y                        put the pointer at (X, Y) of the layout
//     glide X Y STEPS                 move there in STEPS steps, as a hand does
//     press | release                 the primary button
//     click                           press and release
//     extent WIDTH HEIGHT             the layout has grown or shrunk

#include "wayland_virtual_pointer.h"

#include <wayland-client.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>

namespace {

const uint32_t kLeftButton = 0x110; // BTN_LEFT

struct Globals
{
    wl_seat* seat = nullptr;
    zwlr_virtual_pointer_manager_v1* manager = nullptr;
};

void global(void* data, wl_registry* registry, uint32_t name, const char* interface,
            uint32_t version)
{
    auto* globals = static_cast<Globals*>(data);
    if (strcmp(interface, wl_seat_interface.name) == 0 && !globals->seat)
        globals->seat =
            static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    else if (strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0)
        globals->manager = static_cast<zwlr_virtual_pointer_manager_v1*>(
            wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1));
}

void global_remove(void*, wl_registry*, uint32_t) {}

const wl_registry_listener kRegistryListener = {global, global_remove};

uint32_t now()
{
    return (uint32_t)std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        fprintf(stderr, "usage: wayland_pointer WIDTH HEIGHT\n");
        return 2;
    }
    uint32_t width = (uint32_t)atoi(argv[1]), height = (uint32_t)atoi(argv[2]);
    wl_display* display = wl_display_connect(nullptr);
    if (!display) {
        fprintf(stderr, "wayland_pointer: cannot connect to the compositor\n");
        return 1;
    }
    Globals globals;
    wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &kRegistryListener, &globals);
    wl_display_roundtrip(display);
    if (!globals.manager) {
        fprintf(stderr, "wayland_pointer: the compositor offers no virtual pointer\n");
        return 1;
    }
    zwlr_virtual_pointer_v1* pointer =
        zwlr_virtual_pointer_manager_v1_create_virtual_pointer(globals.manager, globals.seat);
    wl_display_roundtrip(display);

    double x = 0, y = 0;
    auto moveTo = [&](double tx, double ty) {
        x = tx;
        y = ty;
        zwlr_virtual_pointer_v1_motion_absolute(pointer, now(), (uint32_t)x, (uint32_t)y, width,
                                                height);
        zwlr_virtual_pointer_v1_frame(pointer);
    };
    auto button = [&](bool down) {
        zwlr_virtual_pointer_v1_button(pointer, now(), kLeftButton, down ? 1 : 0);
        zwlr_virtual_pointer_v1_frame(pointer);
    };

    std::string line;
    while (std::getline(std::cin, line)) {
        std::istringstream in(line);
        std::string command;
        in >> command;
        if (command == "move") {
            double tx, ty;
            in >> tx >> ty;
            moveTo(tx, ty);
        } else if (command == "glide") {
            double tx, ty;
            int steps = 1;
            in >> tx >> ty >> steps;
            double fx = x, fy = y;
            for (int i = 1; i <= steps; i++) {
                moveTo(fx + (tx - fx) * i / steps, fy + (ty - fy) * i / steps);
                wl_display_roundtrip(display);
                std::this_thread::sleep_for(std::chrono::milliseconds(15));
            }
        } else if (command == "press" || command == "release") {
            button(command == "press");
        } else if (command == "extent") {
            in >> width >> height;
        } else if (command == "click") {
            button(true);
            wl_display_roundtrip(display);
            button(false);
        } else if (!command.empty()) {
            fprintf(stderr, "wayland_pointer: unknown command %s\n", command.c_str());
            continue;
        }
        if (wl_display_roundtrip(display) < 0) {
            fprintf(stderr, "wayland_pointer: the compositor went away\n");
            return 1;
        }
        printf("ok\n");
        fflush(stdout);
    }
    zwlr_virtual_pointer_v1_destroy(pointer);
    wl_display_roundtrip(display);
    wl_display_disconnect(display);
    return 0;
}
