#ifndef _ALERT_H
#define _ALERT_H

#include <Window.h>

class BInvoker;

enum alert_type { B_EMPTY_ALERT = 0, B_INFO_ALERT, B_IDEA_ALERT, B_WARNING_ALERT, B_STOP_ALERT };

// A small window with a text and up to three buttons. Go() waits for a button
// and returns its index; the alert then deletes itself.
class BAlert : public BWindow
{
public:
    BAlert(const char* title, const char* text, const char* button1, const char* button2 = nullptr,
           const char* button3 = nullptr, button_width width = B_WIDTH_AS_USUAL,
           alert_type type = B_INFO_ALERT);
    virtual ~BAlert();

    virtual bool QuitRequested();

    int32 Go();
    status_t Go(BInvoker* invoker);

    const char* Text() const;
    int32 CountButtons() const;
    const char* ButtonLabel(int32 index) const;
    alert_type Type() const;

private:
    struct Data;
    void _Pressed(int32 index);

    Data* fAlertData;
};

#endif
