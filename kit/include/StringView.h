#ifndef _STRING_VIEW_H
#define _STRING_VIEW_H

#include <View.h>

// A line of text that the user cannot change.
class BStringView : public BView
{
public:
    BStringView(BRect frame, const char* name, const char* text,
                uint32 resizingMode = B_FOLLOW_LEFT | B_FOLLOW_TOP, uint32 flags = B_WILL_DRAW);
    virtual ~BStringView();

    // Takes its parent's colours, as a label on a panel does.
    virtual void AttachedToWindow();

    void SetText(const char* text);
    const char* Text() const;

    virtual void GetPreferredSize(float* _width, float* _height);
    virtual void ResizeToPreferred();

private:
    BStringView(const BStringView&) = delete;
    BStringView& operator=(const BStringView&) = delete;

    char* fText;
};

#endif
