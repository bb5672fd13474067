#include "view/tavrinview.h"

#include <Message.h>

void tavrinview::MessageReceived(BMessage* message)
{
    switch (message->what) {
    default:
        BView::MessageReceived(message);
        break;
    }
}
