#ifndef _SCROLL_BAR_H
#define _SCROLL_BAR_H

#include <View.h>

// A scroll bar bound to a target view both ways: moving the bar scrolls the
// target, and the target scrolling moves the bar.
class BScrollBar : public BView
{
public:
    BScrollBar(BRect frame, const char* name, BView* target, float min, float max,
               orientation direction);
    virtual ~BScrollBar();

    virtual void ValueChanged(float newValue);

    void SetValue(float value);
    float Value() const;
    // A proportion outside 0..1 (or not a number) is taken as 0 or 1.
    void SetProportion(float proportion);
    float Proportion() const;
    void SetRange(float min, float max);
    void GetRange(float* min, float* max) const;
    void SetSteps(float smallStep, float largeStep);
    void GetSteps(float* smallStep, float* largeStep) const;
    void SetTarget(BView* target);
    void SetTarget(const char* targetName);
    BView* Target() const;
    orientation Orientation() const;

    virtual void MessageReceived(BMessage* message);
    virtual void AttachedToWindow();
    virtual void FrameResized(float width, float height);

private:
    friend class BView;
    friend class BPrivate::ViewBridge;
    struct Data;

    void _TargetScrolled(float value);
    void _SyncWidget();

    Data* fSBData;
};

#endif
