#include "view/tavrinview.h"

#include <BitmapStream.h>
#include <Entry.h>
#include <File.h>
#include <LongWork.h>
#include <Message.h>
#include <Node.h>
#include <PictureMetadata.h>
#include <TranslatorFormats.h>
#include <TranslatorRoster.h>

#include "app/tavrin.h"
#include "io/card.h"
#include "io/convert.h"
#include "io/load.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <utility>

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

std::string with_reason(const char* text, const std::string& reason)
{
    return reason.empty() ? std::string(text) : std::string(text) + " (" + reason + ")";
}

const char* open_failure_text(status_t status)
{
    switch (status) {
    case B_IS_A_DIRECTORY:
        return "is a folder";
    case B_NOT_SUPPORTED:
        return "is not a regular file";
    case B_ENTRY_NOT_FOUND:
        return "does not exist";
    case B_PERMISSION_DENIED:
        return "cannot be read (permission denied)";
    case B_NO_TRANSLATOR:
        return "no installed translator reads it";
    case B_NO_MEMORY:
        // The decoders refuse a picture whose pixels would pass their limit
        // with this code, before they allocate anything.
        return "is larger than the 1 GiB picture limit";
    case B_BAD_TYPE:
        return "its picture has a colour format the program cannot show";
    case B_BAD_DATA:
    case B_ILLEGAL_DATA:
    case B_BAD_VALUE:
    case B_ERROR:
        return "the picture in it is damaged or cut short";
    default:
        return status_text(status);
    }
}

status_t tavrinview::load(entry_ref& ref, std::string* why)
{
    // Only a regular file loads. A FIFO, socket, device or folder is a file
    // that yields nothing: reading one may wait for ever or never end.
    BNode node(&ref);
    status_t status = node.InitCheck();
    if (status == B_OK && !node.IsFile()) {
        BEntry entry(&ref);
        status = entry.IsDirectory() ? (status_t)B_IS_A_DIRECTORY : (status_t)B_NOT_SUPPORTED;
    }
    if (status != B_OK) {
        if (why)
            *why = open_failure_text(status);
        return status;
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

    BBitmap* decoded = nullptr;
    if (found) {
        // An address card; the document name stays as it was.
        decoded = draw_card(firstname.c_str(), lastname.c_str(), zip.c_str(), address.c_str());
        status = decoded ? B_OK : B_NO_MEMORY;
    } else {
        BFile file(&ref, B_READ_ONLY);
        status = file.InitCheck();
        off_t size = 0;
        if (status == B_OK && file.GetSize(&size) == B_OK && size == 0) {
            if (why)
                *why = "is empty";
            return B_NO_TRANSLATOR;
        }
        // Decoding a large picture takes a while: it runs off the GUI thread
        // while this window waits, and the window shows how far the
        // translator has read.
        BPrivate::WatchedIO watched(&file);
        // The translator's own words for a failure, taken on the thread
        // that translated.
        std::string reason;
        // The picture in the display's colours is made with it, off the
        // window's thread, when its profile asks for a conversion.
        BPrivate::DisplayCopy prepared;
        if (status == B_OK) {
            status = BPrivate::run_long_work(
                [&]() -> status_t {
                    BBitmapStream stream;
                    BMessage extension;
                    // The name may have been given to something else since
                    // the node was looked at; the file opened is checked again.
                    if (!tr)
                        return B_NO_INIT;
                    if (!file.IsFile())
                        return B_NOT_SUPPORTED;
                    status_t result = tr->Translate(&watched, nullptr, &extension, &stream,
                                                    B_TRANSLATOR_BITMAP, 0, nullptr);
                    if (result != B_OK)
                        reason = translation_failure_reason();
                    if (result == B_OK)
                        result = stream.DetachBitmap(&decoded);
                    // Every later pixel copy takes 32-bit words: convert
                    // anything else now.
                    if (result == B_OK)
                        decoded = make_copyable(decoded);
                    if (result == B_OK && !decoded)
                        result = B_BAD_TYPE;
                    // The profile and metadata the translator found stay
                    // with the picture.
                    if (result == B_OK) {
                        BPrivate::PictureMetadata metadata;
                        metadata.SetFrom(&extension);
                        decoded->SetMetadata(metadata);
                        prepared.For(decoded);
                    }
                    return result;
                },
                [&]() { return watched.Fraction(); });
        }
        if (status != B_OK) {
            delete decoded;
            decoded = nullptr;
            if (why)
                *why = with_reason(open_failure_text(status), reason);
            return status;
        } else {
            displaycopy = std::move(prepared);
        }
    }
    if (!decoded) {
        if (why)
            *why = open_failure_text(status);
        return status;
    }
    _Replace(decoded);
    if (!found)
        snprintf(title, sizeof(title), "%s", ref.name ? ref.name : "");
    docname = ref.name ? ref.name : "";
    redraw(true);
    _HistoryChanged();
    return B_OK;
}
