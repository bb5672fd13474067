#ifndef _SLIDER_H
#define _SLIDER_H

#include <Control.h>

enum thumb_style { B_BLOCK_THUMB, B_TRIANGLE_THUMB };

// A labelled horizontal slider over whole numbers between two limits. Moving
// it sends the modification message (if any) as it moves and invokes the
// control's message when it is let go.
class BSlider : public BControl
{
public:
    BSlider(BRect frame, const char* name, const char* label, BMessage* message, int32 minValue,
            int32 maxValue, thumb_style thumbType = B_BLOCK_THUMB,
            uint32 resizingMode = B_FOLLOW_LEFT | B_FOLLOW_TOP,
            uint32 flags = B_NAVIGABLE | B_WILL_DRAW | B_FRAME_EVENTS);
    virtual ~BSlider();

    virtual void MessageReceived(BMessage* message);
    virtual void SetValue(int32 value);

    virtual void SetLimits(int32 minimum, int32 maximum);
    void GetLimits(int32* minimum, int32* maximum) const;

    virtual void SetModificationMessage(BMessage* message);
    BMessage* ModificationMessage() const;

    virtual void GetPreferredSize(float* _width, float* _height);

protected:
    virtual void SyncNative();

private:
    int32 fMinimum;
    int32 fMaximum;
    BMessage* fModificationMessage;
};

#endif
