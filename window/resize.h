#ifndef TAVRIN_RESIZE_H
#define TAVRIN_RESIZE_H

class BWindow;

// What the view asks of the main window it stands in, and nothing more: to
// fit itself to a picture of w by h (0 picks the empty view's size).
void resizeview(BWindow* window, int w, int h);

// The title the window has with no picture: the program's name and version.
extern const char* const kDefaultTitle;

#endif
