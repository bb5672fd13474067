#ifndef TAVRIN_VIEW_H
#define TAVRIN_VIEW_H

#include <Bitmap.h>
#include <Entry.h>
#include <View.h>

#include "view/selection.h"

class BFilePanel;

// The bounds of the current image in view coordinates: (0, 0, -1, -1) at
// start, (-1, -1, -1, -1) once the view has been emptied.
extern BRect pic;

// The one view of the main window: it owns the image and every command on it.
class tavrinview : public BView
{
public:
    tavrinview(BRect frame);
    virtual ~tavrinview();

    virtual void MessageReceived(BMessage* message);
    virtual void AttachedToWindow();
    virtual void Draw(BRect update);

    // Brings pic, the window title, its size (with resize) and the picture up
    // to date with image.
    void redraw(bool resize);

    BBitmap* image;
    BBitmap* dragbitmap;
    BFilePanel* panel;
    int32 mousemode;
    BPoint anchor;
    s_sel oldsel;
    s_sel cursel;
    int16 format_no;
    // The document name: a whole file name (up to 255 bytes) and its NUL.
    char title[256];
};

// Composes "name[WxH]" into out, which holds size bytes. A name too long for
// it is shortened in the middle with "…", keeping its extension and the whole
// size, and never cutting a UTF-8 character.
void compose_title(char* out, size_t size, const char* name, int width, int height);

// The window title's capacity, its NUL included.
const size_t kTitleSize = 64;

#endif
