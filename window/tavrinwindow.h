#ifndef TAVRIN_WINDOW_H
#define TAVRIN_WINDOW_H

#include <ScrollBar.h>
#include <Window.h>

#include "window/resize.h"

class tavrinview;

// The document window: menu bar on top, the image view, two scroll bars.
class tavrinwindow : public BWindow
{
public:
    // A hidden window works, and shows on its first Show().
    tavrinwindow(BRect frame, bool hidden = false);
    ~tavrinwindow() override;

    bool QuitRequested() override;
    void FrameResized(float width, float height) override;
    void ScreenChanged(BRect screenFrame, color_space depth) override;

    void setupmenus();
    // The one place that decides what the menus offer: Undo and Redo
    // enabled when there is a step, File > Save as in the last format used.
    void updatemenus();
    void get_translator_for_output();
    // Fits the window to a view of w by h (0 picks the default size).
    void resizeview(int w, int h);

    tavrinview* view;
    BScrollBar* scrollv;
    BScrollBar* scrollh;
};

#endif
