#include <Control.h>

#include <Message.h>
#include <Window.h>

#include "ControlPrivate.h"

#include <string>

namespace BPrivate {

struct ControlData
{
    std::string label;
    int32 value = 0;
    bool enabled = true;
};

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
    if (QWidget* native = BPrivate::native_of<QWidget>(this))
        native->setEnabled(IsEnabled());
}
