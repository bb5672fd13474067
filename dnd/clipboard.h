#ifndef TAVRIN_CLIPBOARD_H
#define TAVRIN_CLIPBOARD_H

#include <Bitmap.h>
#include <Handler.h>

#include <string>
#include <vector>

// The picture on the clipboard. It answers the programs that paste it as
// the view answers a drag's target, from a copy of its own: the view may
// change or close its picture meanwhile.
class clipkeeper : public BHandler
{
public:
    clipkeeper();
    ~clipkeeper() override;

    void MessageReceived(BMessage* message) override;

    // Puts picture on the clipboard with offer; the keeper owns it from now on.
    void put(BBitmap* picture, const BMessage& offer);
    // As the program ends: a copy still on the clipboard stays there.
    void keep();

private:
    BBitmap* fPicture;
    std::vector<std::string> fTypes;
};

#endif
