#ifndef TAVRIN_TEST_PIXELS_H
#define TAVRIN_TEST_PIXELS_H

#include <QImage>

class BWindow;
class BView;

// What the window shows: its widgets painted into one image, 1:1 with the
// window's content area.
QImage grab_window(BWindow* window);
// What a view shows, in the view's own pixels.
QImage grab_view(BView* view);

#endif
