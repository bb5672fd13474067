#ifndef _CONTROL_PRIVATE_H
#define _CONTROL_PRIVATE_H

#include "interface/ViewPrivate.h"

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

} // namespace BPrivate

#endif
