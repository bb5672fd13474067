#ifndef _CONTROL_H
#define _CONTROL_H

#include <Invoker.h>
#include <View.h>

enum { B_CONTROL_OFF = 0, B_CONTROL_ON = 1 };

namespace BPrivate {
struct ControlData;
}

// A view the user sets to a value; each change the user makes sets the
// value and invokes the control's message, with "when", "source" and
// "be:value" added, at its target. A control without a target sends to its
// window. The platform control behind it exists while it is in a window.
class BControl : public BView, public BInvoker
{
public:
    BControl(BRect frame, const char* name, const char* label, BMessage* message,
             uint32 resizingMode, uint32 flags);
    virtual ~BControl();

    virtual void AttachedToWindow();
    virtual void MessageReceived(BMessage* message);

    virtual void SetLabel(const char* label);
    const char* Label() const;

    virtual void SetValue(int32 value);
    int32 Value() const;

    virtual void SetEnabled(bool enabled);
    bool IsEnabled() const;

    virtual status_t Invoke(BMessage* message = nullptr);

    // The size the control's content needs, in the kit's convention (a
    // width of w spans w + 1 pixels).
    virtual void GetPreferredSize(float* _width, float* _height);
    virtual void ResizeToPreferred();

protected:
    // Subclasses call this from their platform control's change signal; the
    // new value is set and invoked on the window's strand.
    void PostValueFromUser(int32 value);
    // Brings the platform control up to date with the value, label and state.
    virtual void SyncNative();

private:
    BControl(const BControl&) = delete;
    BControl& operator=(const BControl&) = delete;

    BPrivate::ControlData* fControlData;
};

#endif
