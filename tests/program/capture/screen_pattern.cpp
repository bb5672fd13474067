// The test pattern from the command line, for scripts that drive the real
// program under Xvfb:
//   screen_pattern paint [DX DY]              fill the root window's background,
//                                             shifted by (DX, DY)
//   screen_pattern wait X Y W H PX PY MS      wait until the screen at (X, Y, W, H)
//                                             shows the pattern from (PX, PY) on;
//                                             prints how long that took and the
//                                             time it happened (Unix time), in ms
//   screen_pattern image FILE PX PY           check an image file against the
//                                             pattern from (PX, PY) on
//   screen_pattern cover MS                   until killed, keep a window over the
//                                             screen that draws the pattern itself,
//                                             MS after each Expose event

#include "XServer.h"

#include <QImage>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

int usage()
{
    fprintf(stderr,
            "usage: screen_pattern paint [DX DY] | wait X Y W H PX PY MS | image FILE PX PY | "
            "cover MS\n");
    return 2;
}

bool shows_pattern(TestXServer& server, int x, int y, int w, int h, int px, int py)
{
    std::vector<uint32_t> pixels = server.ReadRoot(x, y, w, h);
    if (pixels.size() != (size_t)w * h)
        return false;
    for (int j = 0; j < h; j++) {
        for (int i = 0; i < w; i++) {
            if (pixels[(size_t)j * w + i] != pattern_pixel(px + i, py + j))
                return false;
        }
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return usage();
    std::string command = argv[1];
    TestXServer server;
    if (command == "paint" && (argc == 2 || argc == 4)) {
        std::string problem;
        int dx = argc == 4 ? atoi(argv[2]) : 0;
        int dy = argc == 4 ? atoi(argv[3]) : 0;
        if (!server.PaintPattern(&problem, dx, dy)) {
            fprintf(stderr, "screen_pattern: %s\n", problem.c_str());
            return 1;
        }
        return 0;
    }
    if (command == "wait" && argc == 9) {
        int v[7];
        for (int i = 0; i < 7; i++)
            v[i] = atoi(argv[2 + i]);
        auto start = std::chrono::steady_clock::now();
        auto limit = start + std::chrono::milliseconds(v[6]);
        while (!shows_pattern(server, v[0], v[1], v[2], v[3], v[4], v[5])) {
            if (std::chrono::steady_clock::now() > limit) {
                fprintf(stderr, "screen_pattern: the screen does not show the pattern\n");
                return 1;
            }
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
        std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
        std::chrono::duration<double, std::milli> now =
            std::chrono::system_clock::now().time_since_epoch();
        printf("%.1f %.3f\n", took.count(), now.count());
        return 0;
    }
    if (command == "image" && argc == 5) {
        QImage image(QString::fromLocal8Bit(argv[2]));
        if (image.isNull()) {
            fprintf(stderr, "screen_pattern: cannot read %s\n", argv[2]);
            return 1;
        }
        image = image.convertToFormat(QImage::Format_RGB32);
        int px = atoi(argv[3]), py = atoi(argv[4]);
        int mismatches = 0;
        for (int y = 0; y < image.height(); y++) {
            for (int x = 0; x < image.width(); x++)
                mismatches += image.pixel(x, y) != pattern_pixel(px + x, py + y);
        }
        printf("%dx%d %d mismatches\n", image.width(), image.height(), mismatches);
        return mismatches == 0 ? 0 : 1;
    }
    if (command == "cover" && argc == 3) {
        PatternWindow window;
        std::string problem;
        if (!window.Open(atoi(argv[2]), &problem)) {
            fprintf(stderr, "screen_pattern: %s\n", problem.c_str());
            return 1;
        }
        for (;;)
            pause();
    }
    return usage();
}
