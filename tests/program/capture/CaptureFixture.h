#ifndef TAVRIN_TEST_CAPTURE_FIXTURE_H
#define TAVRIN_TEST_CAPTURE_FIXTURE_H

#include <Bitmap.h>

#include "XServer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

class tavrinwindow;

// A test process with an X server of its own, the test pattern on its root
// window, and the program's main window on the xcb platform.
class CaptureTest : public ::testing::Test
{
protected:
    // Starts the server (once per process) with the given screen and
    // monitors, then the application on it.
    static void StartServer(int width, int height, const std::vector<TestMonitor>& monitors = {});
    static TestXServer* sServer;

    void TearDown() override;

    // Opens the main window with its frame's corner at (x, y) and waits
    // until the server shows it.
    void OpenWindow(float x, float y);
    // What the screen shows now in the rectangle.
    std::vector<uint32_t> Screen(int x, int y, int width, int height);
    // Waits until the screen point shows the colour (0xRRGGBB); false if it
    // never does.
    bool ScreenShows(int x, int y, uint32_t rgb);
    // Runs File > Capture as the window's handler does.
    void Capture();

    tavrinwindow* window = nullptr;
};

// How many pixels of bitmap differ from the test pattern taken from screen
// point (left, top) on; the first difference is described in where.
int pattern_mismatches(const BBitmap* bitmap, int left, int top, std::string* where);

#endif
