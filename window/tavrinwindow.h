#ifndef TAVRIN_WINDOW_H
#define TAVRIN_WINDOW_H

#include <ScrollBar.h>
#include <Window.h>

class tavrinview;

// The document window: menu bar on top, the image view, two scroll bars.
class tavrinwindow : public BWindow
{
public:
    tavrinwindow(BRect frame);
    ~tavrinwindow() override;

    bool QuitRequested() override;
    void FrameResized(float width, float height) override;

    void setupmenus();
    void get_translator_for_output();
    // Fits the window to a view of w by h (0 picks the default size).
    void resizeview(int w, int h);

    tavrinview* view;
    BScrollBar* scrollv;
    BScrollBar* scrollh;
};

// The title the window has with no picture, and the program's name and version.
extern const char* const kDefaultTitle;

#endif
