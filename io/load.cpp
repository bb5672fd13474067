#include "view/tavrinview.h"

#include <BitmapStream.h>
#include <File.h>
#include <LongWork.h>
#include <Node.h>
#include <TranslatorFormats.h>
#include <TranslatorRoster.h>

#include "app/tavrin.h"
#include "io/card.h"
#include "io/convert.h"

#include <cstdio>

namespace {

// Reads a string attribute of at most limit bytes into text (limit + 1 long).
bool read_attribute(BNode& node, const char* name, char* text, size_t limit)
{
    text[0] = '\0';
    ssize_t n = node.ReadAttr(name, B_STRING_TYPE, 0, text, limit);
    if (n <= 0)
        return false;
    text[n] = '\0';
    return true;
}

} // namespace

int tavrinview::utf8len(char* s)
{
    return utf8_length(s);
}

int tavrinview::utf8chr(char* s, int n, char* out)
{
    return utf8_char(s, n, out);
}

void tavrinview::load(entry_ref& ref)
{
    delete image;
    image = nullptr;

    // Only a regular file loads. A FIFO, socket, device or folder is a file
    // that yields nothing: reading one may wait for ever or never end.
    BNode node(&ref);
    if (!node.IsFile()) {
        redraw(true);
        return;
    }
    char firstname[32], lastname[32], zip[16], address[128];
    uint32 found = 0;
    if (read_attribute(node, "META:firstname", firstname, 31))
        found |= 0x1;
    if (read_attribute(node, "META:lastname", lastname, 31))
        found |= 0x2;
    if (read_attribute(node, "META:zip", zip, 15))
        found |= 0x4;
    if (read_attribute(node, "META:address", address, 127))
        found |= 0x8;

    if (found) {
        // An address card; the document name stays as it was.
        image = draw_card(firstname, lastname, zip, address);
    } else {
        BFile file(&ref, B_READ_ONLY);
        snprintf(title, sizeof(title), "%s", ref.name ? ref.name : "");
        // Decoding a large picture takes a while: it runs off the GUI thread
        // while this window waits, and the window shows how far the
        // translator has read.
        BPrivate::WatchedIO watched(&file);
        BBitmap* decoded = nullptr;
        BPrivate::run_long_work(
            [&]() -> status_t {
                BBitmapStream stream;
                // The name may have been given to something else since the
                // node was looked at; the file opened is checked again.
                if (!tr || !file.IsFile())
                    return B_NO_INIT;
                status_t status = tr->Translate(&watched, nullptr, nullptr, &stream,
                                                B_TRANSLATOR_BITMAP, 0, nullptr);
                if (status == B_OK)
                    status = stream.DetachBitmap(&decoded);
                // Every later pixel copy takes 32-bit words: convert anything
                // else now.
                if (status == B_OK)
                    decoded = make_copyable(decoded);
                return status;
            },
            [&]() { return watched.Fraction(); });
        image = decoded;
    }
    redraw(true);
}
