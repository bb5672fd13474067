#include <Control.h>

#include <Message.h>
#include <Window.h>

#include "ControlPrivate.h"

#include <QPalette>

#include <string>

namespace BPrivate {

struct ControlData
{
    std::string label;
    int32 value = 0;
    bool enabled = true;
};

void adopt_parent_colors(BView* view)
{
    BView* parent = view->Parent();
    rgb_color color = parent != nullptr ? parent->ViewColor() : kPanelBackground;
    if (color == B_TRANSPARENT_32_BIT)
        color = kPanelBackground;
    view->SetViewColor(color);
    view->SetLowColor(color);
}

void dress_native(BView* view, QWidget* native)
{
    rgb_color background = view->ViewColor();
    if (background == B_TRANSPARENT_32_BIT)
        background = kPanelBackground;
    QColor text = to_qcolor(view->HighColor());
    QPalette palette = native->palette();
    palette.setColor(QPalette::Window, to_qcolor(background));
    // A disabled control keeps the platform's greyed text.
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        for (QPalette::ColorRole role :
             {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
            palette.setColor(group, role, text);
    }
    native->setPalette(palette);
    // Buttons would fill with the button colour; the panel shows through.
    native->setBackgroundRole(QPalette::Window);
    native->setAutoFillBackground(true);
}

} // namespace BPrivate

using BPrivate::kControlValueFromPlatform;

BControl::BControl(BRect frame, const char* name, const char* label, BMessage* message,
                   uint32 resizingMode, uint32 flags)
    : BView(frame, name, resizingMode, flags), BInvoker(message, nullptr),
      fControlData(new BPrivate::ControlData)
{
    if (label != nullptr)
        fControlData->label = label;
}

BControl::~BControl()
{
    delete fControlData;
}

void BControl::AttachedToWindow()
{
    BView::AttachedToWindow();
    BPrivate::adopt_parent_colors(this);
    if (!Messenger().IsValid())
        SetTarget(Window());
    SyncNative();
}

void BControl::MessageReceived(BMessage* message)
{
    if (message->what != kControlValueFromPlatform) {
        BView::MessageReceived(message);
        return;
    }
    int32 value;
    if (message->FindInt32("value", &value) != B_OK)
        return;
    if (value != Value()) {
        SetValue(value);
        Invoke();
    }
}

void BControl::SetLabel(const char* label)
{
    fControlData->label = label != nullptr ? label : "";
    SyncNative();
}

const char* BControl::Label() const
{
    return fControlData->label.c_str();
}

void BControl::SetValue(int32 value)
{
    fControlData->value = value;
    SyncNative();
}

int32 BControl::Value() const
{
    return fControlData->value;
}

void BControl::SetEnabled(bool enabled)
{
    fControlData->enabled = enabled;
    SyncNative();
}

bool BControl::IsEnabled() const
{
    return fControlData->enabled;
}

status_t BControl::Invoke(BMessage* message)
{
    BMessage* model = message != nullptr ? message : Message();
    if (model == nullptr)
        return B_BAD_VALUE;
    BMessage copy(*model);
    copy.AddInt64("when", system_time());
    copy.AddPointer("source", this);
    copy.AddInt32("be:value", Value());
    return BInvoker::Invoke(&copy);
}

void BControl::GetPreferredSize(float* _width, float* _height)
{
    if (_width != nullptr)
        *_width = BPrivate::text_width(Label()) + 8;
    if (_height != nullptr)
        *_height = BPrivate::line_height() + 6;
}

void BControl::ResizeToPreferred()
{
    float width, height;
    GetPreferredSize(&width, &height);
    ResizeTo(width, height);
}

void BControl::PostValueFromUser(int32 value)
{
    BMessage message(kControlValueFromPlatform);
    message.AddInt32("value", value);
    if (Window() != nullptr)
        Window()->PostMessage(&message, this);
    else
        MessageReceived(&message);
}

void BControl::SyncNative()
{
    if (QWidget* native = BPrivate::native_of<QWidget>(this)) {
        BPrivate::dress_native(this, native);
        native->setEnabled(IsEnabled());
    }
}
