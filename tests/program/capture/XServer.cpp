#include "XServer.h"

#include <xcb/xcb.h>
#include <xcb/xcbext.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// RandR requests are sent raw: the machine has libxcb-randr but not its headers.
xcb_extension_t sRandR = {"RANDR", 0};
const uint8_t kRRQueryVersion = 0;
const uint8_t kRRGetScreenResourcesCurrent = 25;
const uint8_t kRRSetMonitor = 43;

struct Connection
{
    Connection() : c(xcb_connect(nullptr, nullptr)) {}
    ~Connection() { xcb_disconnect(c); }
    bool Ok() const { return !xcb_connection_has_error(c); }
    xcb_screen_t* Screen() const { return xcb_setup_roots_iterator(xcb_get_setup(c)).data; }
    xcb_connection_t* c;
};

xcb_atom_t intern(xcb_connection_t* c, const char* name)
{
    xcb_intern_atom_reply_t* reply =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, strlen(name), name), nullptr);
    xcb_atom_t atom = reply ? reply->atom : (xcb_atom_t)XCB_ATOM_NONE;
    free(reply);
    return atom;
}

// Sends a RandR request with body and returns its reply (malloc'd), or null.
void* randr_request(xcb_connection_t* c, uint8_t opcode, const void* body, size_t length,
                    bool hasReply, bool* failed)
{
    uint8_t header[4] = {0, 0, 0, 0};
    struct iovec parts[4];
    parts[2].iov_base = header;
    parts[2].iov_len = sizeof(header);
    parts[3].iov_base = const_cast<void*>(body);
    parts[3].iov_len = length;
    xcb_protocol_request_t request = {2, &sRandR, opcode, !hasReply};
    unsigned int sequence = xcb_send_request(c, XCB_REQUEST_CHECKED, parts + 2, &request);
    xcb_generic_error_t* error = nullptr;
    void* reply = nullptr;
    if (hasReply) {
        reply = xcb_wait_for_reply(c, sequence, &error);
    } else {
        xcb_void_cookie_t cookie = {sequence};
        error = xcb_request_check(c, cookie);
    }
    *failed = error != nullptr || (hasReply && !reply);
    free(error);
    return reply;
}

// Draws the pattern's rectangle into target, in strips small enough for a
// request without BIG-REQUESTS.
void put_pattern(xcb_connection_t* c, xcb_drawable_t target, xcb_gcontext_t gc, int left, int top,
                 int width, int height, int dx = 0, int dy = 0)
{
    const int rows = std::max(1, 200000 / std::max(1, width * 4));
    std::vector<uint32_t> strip((size_t)width * rows);
    for (int y0 = top; y0 < top + height; y0 += rows) {
        int count = std::min(rows, top + height - y0);
        for (int y = 0; y < count; y++) {
            for (int x = 0; x < width; x++)
                strip[(size_t)y * width + x] = pattern_pixel(left + x + dx, y0 + y + dy) & 0xffffff;
        }
        xcb_put_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, target, gc, width, count, left, y0, 0, 24,
                      count * width * 4, reinterpret_cast<const uint8_t*>(strip.data()));
    }
}

} // namespace

uint32_t pattern_pixel(int x, int y)
{
    uint32_t red = x & 0xff;
    uint32_t green = y & 0xff;
    uint32_t blue = ((x >> 8) & 0x0f) << 4 | ((y >> 8) & 0x0f);
    return 0xff000000u | red << 16 | green << 8 | blue;
}

TestXServer::~TestXServer()
{
    if (fPid > 0) {
        kill(fPid, SIGTERM);
        waitpid(fPid, nullptr, 0);
    }
    if (!fRuntimeDir.empty())
        std::filesystem::remove_all(fRuntimeDir);
}

bool TestXServer::Start(int width, int height, std::string* problem)
{
    char runtime[] = "/tmp/tavrin-xvfb-XXXXXX";
    if (!mkdtemp(runtime)) {
        *problem = "mkdtemp failed";
        return false;
    }
    chmod(runtime, 0700);
    fRuntimeDir = runtime;
    setenv("XDG_RUNTIME_DIR", runtime, 1);

    // -displayfd: the server picks a free display and writes its number once
    // it accepts clients.
    int pipeFds[2];
    if (pipe(pipeFds) != 0) {
        *problem = "pipe failed";
        return false;
    }
    std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
    std::string fd = std::to_string(pipeFds[1]);
    fPid = fork();
    if (fPid == 0) {
        // The server goes when the test process does, however that ends.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        close(pipeFds[0]);
        int devNull = open("/dev/null", O_WRONLY);
        dup2(devNull, 1);
        dup2(devNull, 2);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen.c_str(), "-noreset",
               "-nolisten", "tcp", (char*)nullptr);
        _exit(127);
    }
    close(pipeFds[1]);
    std::string number;
    struct pollfd waiting = {pipeFds[0], POLLIN, 0};
    while (poll(&waiting, 1, 10000) > 0) {
        char c;
        if (read(pipeFds[0], &c, 1) != 1 || c == '\n')
            break;
        number += c;
    }
    close(pipeFds[0]);
    if (number.empty()) {
        *problem = "Xvfb did not start";
        return false;
    }
    fDisplay = ":" + number;
    setenv("DISPLAY", fDisplay.c_str(), 1);
    return true;
}

bool TestXServer::PaintPattern(std::string* problem, int dx, int dy)
{
    Connection x;
    if (!x.Ok()) {
        *problem = "cannot connect to " + fDisplay;
        return false;
    }
    xcb_screen_t* screen = x.Screen();
    if (screen->root_depth != 24) {
        *problem = "the pattern needs a 24-bit screen";
        return false;
    }
    int width = screen->width_in_pixels;
    int height = screen->height_in_pixels;
    xcb_pixmap_t pixmap = xcb_generate_id(x.c);
    xcb_create_pixmap(x.c, 24, pixmap, screen->root, width, height);
    xcb_gcontext_t gc = xcb_generate_id(x.c);
    xcb_create_gc(x.c, gc, pixmap, 0, nullptr);
    put_pattern(x.c, pixmap, gc, 0, 0, width, height, dx, dy);
    uint32_t background = pixmap;
    xcb_change_window_attributes(x.c, screen->root, XCB_CW_BACK_PIXMAP, &background);
    xcb_clear_area(x.c, 0, screen->root, 0, 0, 0, 0);
    // The root keeps the pixmap after the id is freed, as xsetroot does it.
    xcb_free_pixmap(x.c, pixmap);
    xcb_free_gc(x.c, gc);
    free(xcb_get_input_focus_reply(x.c, xcb_get_input_focus(x.c), nullptr));
    return true;
}

bool TestXServer::SetMonitors(const std::vector<TestMonitor>& monitors, std::string* problem)
{
    Connection x;
    if (!x.Ok()) {
        *problem = "cannot connect to " + fDisplay;
        return false;
    }
    xcb_window_t root = x.Screen()->root;
    bool failed = false;
    uint32_t version[2] = {1, 5};
    free(randr_request(x.c, kRRQueryVersion, version, sizeof(version), true, &failed));
    if (failed) {
        *problem = "no RandR 1.5";
        return false;
    }
    // The screen's one output: handed to the first monitor, so that the
    // server drops the monitor it made for the output on its own.
    uint32_t output = 0;
    uint8_t* resources = static_cast<uint8_t*>(
        randr_request(x.c, kRRGetScreenResourcesCurrent, &root, sizeof(root), true, &failed));
    if (resources) {
        uint16_t crtcs, outputs;
        memcpy(&crtcs, resources + 16, 2);
        memcpy(&outputs, resources + 18, 2);
        if (outputs > 0)
            memcpy(&output, resources + 32 + 4 * crtcs, 4);
        free(resources);
    }
    for (size_t i = 0; i < monitors.size(); i++) {
        const TestMonitor& m = monitors[i];
        uint8_t body[32] = {};
        uint32_t atom = intern(x.c, m.name);
        uint16_t outputCount = (i == 0 && output) ? 1 : 0;
        int16_t left = m.x, top = m.y;
        uint16_t w = m.width, h = m.height;
        uint32_t millimetres[2] = {(uint32_t)m.width / 4, (uint32_t)m.height / 4};
        memcpy(body, &root, 4);
        memcpy(body + 4, &atom, 4);
        body[8] = i == 0;
        memcpy(body + 10, &outputCount, 2);
        memcpy(body + 12, &left, 2);
        memcpy(body + 14, &top, 2);
        memcpy(body + 16, &w, 2);
        memcpy(body + 18, &h, 2);
        memcpy(body + 20, millimetres, 8);
        memcpy(body + 28, &output, 4);
        randr_request(x.c, kRRSetMonitor, body, outputCount ? 32 : 28, false, &failed);
        if (failed) {
            *problem = std::string("RRSetMonitor failed for ") + m.name;
            return false;
        }
    }
    return true;
}

std::vector<uint32_t> TestXServer::ReadRoot(int x, int y, int width, int height)
{
    std::vector<uint32_t> pixels;
    Connection conn;
    if (!conn.Ok())
        return pixels;
    xcb_get_image_reply_t* reply =
        xcb_get_image_reply(conn.c,
                            xcb_get_image(conn.c, XCB_IMAGE_FORMAT_Z_PIXMAP, conn.Screen()->root, x,
                                          y, width, height, ~0u),
                            nullptr);
    if (!reply)
        return pixels;
    const uint32_t* data = reinterpret_cast<const uint32_t*>(xcb_get_image_data(reply));
    if (xcb_get_image_data_length(reply) >= width * height * 4) {
        pixels.assign(data, data + (size_t)width * height);
        for (uint32_t& p : pixels)
            p |= 0xff000000u;
    }
    free(reply);
    return pixels;
}

PatternWindow::~PatternWindow()
{
    Close();
}

bool PatternWindow::Open(int delayMs, std::string* problem)
{
    fConnection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(fConnection)) {
        *problem = "cannot connect to the display";
        return false;
    }
    fDelayMs = delayMs;
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(fConnection)).data;
    fWindow = xcb_generate_id(fConnection);
    // No background: the server leaves uncovered parts as they were.
    uint32_t values[] = {XCB_BACK_PIXMAP_NONE, 1, XCB_EVENT_MASK_EXPOSURE};
    xcb_create_window(fConnection, XCB_COPY_FROM_PARENT, fWindow, screen->root, 0, 0,
                      screen->width_in_pixels, screen->height_in_pixels, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual,
                      XCB_CW_BACK_PIXMAP | XCB_CW_OVERRIDE_REDIRECT | XCB_CW_EVENT_MASK, values);
    xcb_map_window(fConnection, fWindow);
    xcb_flush(fConnection);
    fThread = std::thread([this]() { _Run(); });
    return true;
}

void PatternWindow::Close()
{
    if (!fConnection)
        return;
    fStop = true;
    if (fThread.joinable())
        fThread.join();
    xcb_destroy_window(fConnection, fWindow);
    xcb_disconnect(fConnection);
    fConnection = nullptr;
}

void PatternWindow::_Run()
{
    xcb_gcontext_t gc = xcb_generate_id(fConnection);
    xcb_create_gc(fConnection, gc, fWindow, 0, nullptr);
    struct pollfd waiting = {xcb_get_file_descriptor(fConnection), POLLIN, 0};
    while (!fStop) {
        xcb_generic_event_t* event = xcb_poll_for_event(fConnection);
        if (!event) {
            poll(&waiting, 1, 10);
            continue;
        }
        if ((event->response_type & 0x7f) == XCB_EXPOSE) {
            auto* expose = reinterpret_cast<xcb_expose_event_t*>(event);
            std::this_thread::sleep_for(std::chrono::milliseconds(fDelayMs));
            put_pattern(fConnection, fWindow, gc, expose->x, expose->y, expose->width,
                        expose->height);
            xcb_flush(fConnection);
            fRepaints++;
        }
        free(event);
    }
    xcb_free_gc(fConnection, gc);
}
