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
#include <cstring>
#include <string>

namespace {

// A card shows a few dozen characters of each field; a longer value is read
// this far and the rest left unread.
const size_t kAttributeLimit = 1024;

// Reads a string attribute whole, up to kAttributeLimit bytes; a value cut at
// the limit loses the character the cut broke. Empty when there is none.
bool read_attribute(BNode& node, const char* name, std::string* text)
{
    text->assign(kAttributeLimit, '\0');
    ssize_t n = node.ReadAttr(name, B_STRING_TYPE, 0, text->data(), kAttributeLimit);
    if (n <= 0) {
        text->clear();
        return false;
    }
    // A value written with its terminating NUL ends there.
    text->resize(strnlen(text->c_str(), n));
    if ((size_t)n == kAttributeLimit)
        text->resize(utf8_whole_length(text->c_str(), text->size()));
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
    std::string firstname, lastname, zip, address;
    uint32 found = 0;
    if (read_attribute(node, "META:firstname", &firstname))
        found |= 0x1;
    if (read_attribute(node, "META:lastname", &lastname))
        found |= 0x2;
    if (read_attribute(node, "META:zip", &zip))
        found |= 0x4;
    if (read_attribute(node, "META:address", &address))
        found |= 0x8;

    if (found) {
        // An address card; the document name stays as it was.
        image = draw_card(firstname.c_str(), lastname.c_str(), zip.c_str(), address.c_str());
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
