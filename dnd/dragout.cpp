// The drag offer and the answers to a drop target: the view sends no pixels
// with the drag, only the list of what it can deliver, and produces the one
// format the target asks for.

#include "view/tavrinview.h"

#include <AppDefs.h>
#include <BitmapStream.h>
#include <LongWork.h>
#include <Message.h>
#include <StreamCopy.h>
#include <TranslatorRoster.h>

#include "app/tavrin.h"
#include "io/save.h"
#include "window/catalogue.h"

#include <cstdio>
#include <cstring>

namespace {

// Lends the drag's bitmap to a stream for one answer and takes it back at
// the end, so that every request of the drag can be answered.
class LentBitmap
{
public:
    explicit LentBitmap(BBitmap*& bitmap) : fOwner(bitmap), fStream(bitmap) {}
    ~LentBitmap()
    {
        BBitmap* back = nullptr;
        fStream.DetachBitmap(&back);
        fOwner = back;
    }
    BBitmapStream* Stream() { return &fStream; }

private:
    BBitmap*& fOwner;
    BBitmapStream fStream;
};

} // namespace

BMessage* tavrinview::ddmessage()
{
    BMessage* offer = new BMessage(B_SIMPLE_DATA);
    offer->AddString("be:types", "image/x-be-bitmap");
    for (int32 i = 0; i < trc; i++) {
        s_fmt* record = format_at(i);
        offer->AddString("be:types", record->MIME);
        offer->AddString("be:filetypes", record->MIME);
        offer->AddString("be:type_descriptions", record->name);
    }
    offer->AddString("be:types", B_FILE_MIME_TYPE);
    offer->AddInt32("be:actions", B_COPY_TARGET);
    offer->AddString("be:clip_name", "tavrin_img");
    offer->AddString("source", "tavrin");
    return offer;
}

void tavrinview::ddcopy(BMessage* message)
{
    // Programs the drag passes over may ask too, before the real target: the
    // bitmap stays for every request until the next drag (or the view) ends
    // it. The kit asks once for each type and keeps the answer.
    if (dragbitmap)
        answer_copy_target(message, dragbitmap);
}

void answer_copy_target(BMessage* message, BBitmap*& bitmap)
{
    BPrivate::PictureMetadata metadata = bitmap->Metadata();
    LentBitmap lent(bitmap);
    BBitmapStream& stream = *lent.Stream();

    entry_ref directory;
    if (message->FindRef("directory", &directory) == B_OK) {
        const char* name;
        const char* filetype;
        if (message->FindString("name", &name) != B_OK ||
            message->FindString("be:filetypes", &filetype) != B_OK)
            return;
        // The name comes from another program: it may name nothing outside
        // the folder it gave.
        if (!is_plain_name(name)) {
            fprintf(stderr, "tavrin: refused to write a dragged file named \"%s\"\n", name);
            return;
        }
        ulong id, type;
        select_format(filetype, &id, &type);
        // The target has no way to hear of a failure: it is told here, and
        // the replacement file leaves nothing behind.
        status_t status = write_translated(directory, name, &stream, (translator_id)id,
                                           (uint32)type, filetype, nullptr, &metadata);
        if (status != B_OK)
            fprintf(stderr, "tavrin: could not write the dragged file \"%s\": %s\n", name,
                    save_failure_text(status));
        return;
    }

    const char* wanted;
    if (message->FindString("be:types", &wanted) != B_OK)
        return;
    // Encoding a large selection takes a while: it runs off the GUI thread
    // while this window waits, and the window shows how far it has come.
    BMallocIO buffer;
    BMessage extension;
    metadata.AddTo(&extension);
    BPrivate::WatchedIO watched(&stream);
    ulong id, type;
    select_format(wanted, &id, &type);
    status_t status = BPrivate::run_long_work(
        [&]() -> status_t {
            if (strcmp(wanted, "image/x-be-bitmap") == 0)
                return BPrivate::copy_stream(&watched, &buffer);
            if (!tr || id == 0)
                return B_NO_TRANSLATOR;
            return tr->Translate((translator_id)id, &watched, &extension, &buffer, (uint32)type);
        },
        [&]() { return watched.Fraction(); });
    // A failed answer carries no data: the part of a picture a translator
    // wrote before it failed must not reach the target as if it were whole.
    BMessage answer(B_MIME_DATA);
    if (status == B_OK)
        answer.AddData(wanted, B_MIME_TYPE, buffer.Buffer(), (ssize_t)buffer.BufferLength(), true,
                       1);
    else if (status != B_NO_TRANSLATOR)
        fprintf(stderr, "tavrin: could not produce %s for the drag: %s\n", wanted,
                save_failure_text(status));
    message->SendReply(&answer, (BHandler*)nullptr, B_INFINITE_TIMEOUT);
}
