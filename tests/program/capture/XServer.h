#ifndef TAVRIN_TEST_XSERVER_H
#define TAVRIN_TEST_XSERVER_H

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

// The colour the test pattern gives screen pixel (x, y), as 0xffRRGGBB: red
// and green are the low bytes of x and y, blue holds their high bits, so every
// position on a screen up to 4096 x 4096 has a colour of its own.
uint32_t pattern_pixel(int x, int y);

// A monitor of a virtual screen: a named rectangle of the root window.
struct TestMonitor
{
    const char* name;
    int x, y, width, height;
};

// Tests that need a real X server start an Xvfb of their own, which lets
// several test processes run side by side. The server keeps the root
// window's contents when its last client leaves (-noreset).
class TestXServer
{
public:
    ~TestXServer();

    // Starts the server and points DISPLAY at it; false with a reason.
    bool Start(int width, int height, std::string* problem);
    // Fills the root window's background with the test pattern, as another
    // client of the server, so that the server repaints it wherever a window
    // leaves. Screen pixel (x, y) gets the pattern's (x + dx, y + dy).
    bool PaintPattern(std::string* problem, int dx = 0, int dy = 0);
    // Splits the screen into monitors (RandR 1.5); the first one takes over
    // the screen's output and becomes primary.
    bool SetMonitors(const std::vector<TestMonitor>& monitors, std::string* problem);

    // The root window's pixels in a rectangle, read by another client.
    std::vector<uint32_t> ReadRoot(int x, int y, int width, int height);

    const std::string& Display() const { return fDisplay; }

private:
    int fPid = -1;
    std::string fDisplay;
    std::string fRuntimeDir;
};

// Another program's window that covers the screen and draws the test
// pattern itself, as most programs do: it has no background for the server
// to paint, so an area it gets back stays stale until it answers the Expose
// event, which it does after a delay, from a thread of its own.
class PatternWindow
{
public:
    ~PatternWindow();

    bool Open(int delayMs, std::string* problem);
    void Close();
    // Expose events answered so far.
    int Repaints() const { return fRepaints; }

private:
    void _Run();

    struct xcb_connection_t* fConnection = nullptr;
    uint32_t fWindow = 0;
    int fDelayMs = 0;
    std::atomic<bool> fStop{false};
    std::atomic<int> fRepaints{0};
    std::thread fThread;
};

#endif
