// Edit > Copy and Paste: the clipboard, offered and answered as a drag is,
// and read as a drop is.

#include "dnd/clipboard.h"

#include <AppDefs.h>
#include <Clipboard.h>
#include <Message.h>
#include <Messenger.h>
#include <PictureMetadata.h>
#include <PixelSize.h>

#include "view/tavrinview.h"
#include "window/catalogue.h"

#include <cstdio>
#include <cstring>

clipkeeper::clipkeeper() : BHandler("clipboard"), fPicture(nullptr) {}

clipkeeper::~clipkeeper()
{
    delete fPicture;
}

void clipkeeper::MessageReceived(BMessage* message)
{
    if (message->what == B_COPY_TARGET && fPicture)
        answer_copy_target(message, fPicture);
    else
        BHandler::MessageReceived(message);
}

void clipkeeper::put(BBitmap* picture, const BMessage& offer)
{
    delete fPicture;
    fPicture = picture;
    fTypes.clear();
    const char* type;
    for (int32 i = 0; offer.FindString("be:types", i, &type) == B_OK; i++)
        fTypes.push_back(type);
    BPrivate::clipboard_offer(offer, this);
}

void clipkeeper::keep()
{
    if (!fPicture || !BPrivate::clipboard_owns())
        return;
    status_t status = BPrivate::clipboard_keep(fPicture, fTypes);
    if (status != B_OK)
        fprintf(stderr, "tavrin: the copied picture could not be kept on the clipboard (%s)\n",
                status == B_ENTRY_NOT_FOUND ? "tavrin-clipboard is missing" : "it did not start");
}

BMessage* tavrinview::clipmessage()
{
    BMessage* offer = new BMessage(B_SIMPLE_DATA);
    offer->AddString("be:types", "image/png");
    offer->AddString("be:filetypes", "image/png");
    for (int32 i = 0; i < trc; i++) {
        s_fmt* record = format_at(i);
        if (strcmp(record->MIME, "image/png") == 0)
            continue;
        offer->AddString("be:types", record->MIME);
        offer->AddString("be:filetypes", record->MIME);
    }
    offer->AddString("be:clip_name", "tavrin_img");
    return offer;
}

void tavrinview::copy()
{
    if (!image || !clip)
        return;
    // Only the pixels are copied now: every format is made when a program
    // asks for it.
    BRect area = pic;
    bool part = cursel.visible && _ClipSelection();
    if (part)
        area = cursel.rect;
    BBitmap* picture =
        new BBitmap(BRect(0, 0, pixel_width(area) - 1, pixel_height(area) - 1),
                    image->ColorSpace() == B_RGBA32 ? B_RGBA32 : B_RGB32, false, false);
    if (!picture->IsValid()) {
        delete picture;
        return;
    }
    copy_pixels(image, area, picture);
    // The colours and the story go along; a selection, as a drag does,
    // never says where it was taken.
    BPrivate::PictureMetadata metadata = image->Metadata();
    if (part) {
        metadata.RemoveLocation();
        metadata.FitTo(pixel_width(area), pixel_height(area));
        metadata.DropThumbnail();
    }
    picture->SetMetadata(metadata);
    BMessage* offer = clipmessage();
    clip->put(picture, *offer);
    delete offer;
}

void tavrinview::paste(bool into)
{
    // The answer comes as a drop's would: data, or files to open.
    BMessage fields(B_MIME_DATA);
    if (into && image) {
        BRect shown = Bounds() & pic;
        BPoint at = cursel.visible && _ClipSelection() ? cursel.rect.LeftTop() : shown.LeftTop();
        fields.AddPoint("paste:at", at);
    } else {
        fields.AddBool("paste:new", true);
    }
    BPrivate::clipboard_fetch(BMessenger(this), fields);
}
