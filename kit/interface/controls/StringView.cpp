#include <StringView.h>

#include "ControlPrivate.h"

#include <QLabel>

#include <cstdlib>
#include <cstring>

BStringView::BStringView(BRect frame, const char* name, const char* text, uint32 resizingMode,
                         uint32 flags)
    : BView(frame, name, resizingMode, flags), fText(strdup(text != nullptr ? text : ""))
{
    BPrivate::ViewBridge::Data(this)->makeNative = [this](QWidget* parent) -> QWidget* {
        auto* label = new QLabel(QString::fromUtf8(fText), parent);
        label->show();
        return label;
    };
}

BStringView::~BStringView()
{
    free(fText);
}

void BStringView::AttachedToWindow()
{
    BView::AttachedToWindow();
    BPrivate::adopt_parent_colors(this);
    if (QLabel* label = BPrivate::native_of<QLabel>(this))
        BPrivate::dress_native(this, label);
}

void BStringView::SetText(const char* text)
{
    free(fText);
    fText = strdup(text != nullptr ? text : "");
    if (QLabel* label = BPrivate::native_of<QLabel>(this))
        label->setText(QString::fromUtf8(fText));
}

const char* BStringView::Text() const
{
    return fText;
}

void BStringView::GetPreferredSize(float* _width, float* _height)
{
    if (_width != nullptr)
        *_width = BPrivate::text_width(fText) + 2;
    if (_height != nullptr)
        *_height = BPrivate::line_height() + 2;
}

void BStringView::ResizeToPreferred()
{
    float width, height;
    GetPreferredSize(&width, &height);
    ResizeTo(width, height);
}
