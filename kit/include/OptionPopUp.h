#ifndef _OPTION_POP_UP_H
#define _OPTION_POP_UP_H

#include <Control.h>

namespace BPrivate {
struct OptionList;
}

// A labelled pop-up menu of named options, each carrying an int32 value; the
// control's value is the chosen option's value.
class BOptionPopUp : public BControl
{
public:
    BOptionPopUp(BRect frame, const char* name, const char* label, BMessage* message,
                 uint32 resizingMode = B_FOLLOW_LEFT | B_FOLLOW_TOP,
                 uint32 flags = B_NAVIGABLE | B_WILL_DRAW);
    virtual ~BOptionPopUp();

    // Options keep the order they were added in; the first one is chosen
    // until another is.
    status_t AddOption(const char* name, int32 value, int32 index = -1);
    bool RemoveOptionAt(int32 index);
    int32 CountOptions() const;
    bool GetOptionAt(int32 index, const char** _name, int32* _value) const;
    // The index of the chosen option, or -1 when there are none.
    int32 SelectedOption(const char** _name = nullptr, int32* _value = nullptr) const;

    virtual void GetPreferredSize(float* _width, float* _height);

protected:
    virtual void SyncNative();

private:
    BPrivate::OptionList* fOptions;
};

#endif
