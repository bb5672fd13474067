#ifndef _CONTROL_PRIVATE_H
#define _CONTROL_PRIVATE_H

#include "interface/ViewPrivate.h"
#include "interface/WindowPrivate.h"

#include <Font.h>

#include <QWidget>

namespace BPrivate {

// The private message a control posts to itself when the user changed its
// platform control; handled on the window's strand.
const uint32 kControlValueFromPlatform = '_cvp';

// The platform control behind a kit control, when it is in a window.
template <class Widget>
Widget* native_of(BView* view)
{
    return qobject_cast<Widget*>(ViewBridge::Data(view)->native.data());
}

// The height of a line of text in the plain font, in whole pixels.
inline float line_height()
{
    font_height height;
    be_plain_font->GetHeight(&height);
    return (float)(int)(height.ascent + height.descent + height.leading + 0.999f);
}

inline float text_width(const char* text)
{
    return text != nullptr ? (float)(int)(be_plain_font->StringWidth(text) + 0.999f) : 0;
}

// Takes the colours of the view's parent as its own, the way a control or a
// label sits on the panel that holds it; without a parent, the panel colour.
void adopt_parent_colors(BView* view);

// Dresses the platform widget of a control or a label: the view colour
// behind it and the high colour for its text, whatever the desktop's theme.
// The widget paints its whole area itself, because the kit's widget beneath
// paints nothing of its own where a platform control stands.
void dress_native(BView* view, QWidget* native);

} // namespace BPrivate

#endif
