#ifndef _CLIPBOARD_SERVERS_H
#define _CLIPBOARD_SERVERS_H

#include <SupportDefs.h>

#include <atomic>
#include <map>
#include <memory>
#include <string>
#include <vector>

class BTranslatorRoster;

namespace BPrivate {

// What a clipboard server offers: the types, in order, and the data in one
// of them, made when first asked for and kept while the source lasts (null
// when it is not offered or cannot be made). Data is called on the server's
// threads, one call at a time.
class ClipSource
{
public:
    virtual ~ClipSource() = default;
    virtual const std::vector<std::string>& Types() const = 0;
    virtual const std::string* Data(const std::string& type) = 0;
};

// Holds the clipboard (the CLIPBOARD selection on X11, the selection through
// the data-control protocol on Wayland) for a source, on a connection of its
// own. Take runs where the server is made; Serve may then run on any thread,
// until another program takes the clipboard or stopFd becomes readable.
class ClipServer
{
public:
    virtual ~ClipServer() = default;
    // True once the clipboard is the server's.
    virtual bool Take() = 0;
    // A clipboard manager that runs (X11's CLIPBOARD_MANAGER) is asked to
    // save what is offered now.
    virtual void HandToManager() {}
    virtual void Serve(int stopFd) = 0;
    // False once another program has taken the clipboard.
    bool Holding() const { return fHolding; }

protected:
    std::atomic<bool> fHolding{false};
};

std::unique_ptr<ClipServer> make_x11_clip_server(ClipSource* source);
// Null when the compositor has no data-control protocol.
std::unique_ptr<ClipServer> make_wayland_clip_server(ClipSource* source);

// Stops serving the program's own copy, as the program ends.
void end_clipboard_serving();

// The picture tavrin-clipboard keeps, and what it has made of it. bits is a
// bitmap stream that stays its owner's; each type is made once, when first
// asked for, and kept: the picture and what was asked for, nothing more.
class KeptPicture : public ClipSource
{
public:
    KeptPicture(const void* bits, size_t size, std::vector<std::string> types);
    ~KeptPicture() override;

    // What is offered, in order: image/png, the other image types, then a
    // PNG file as text/uri-list and x-special/gnome-copied-files.
    const std::vector<std::string>& Types() const override { return fTypes; }
    const std::string* Data(const std::string& type) override;

private:
    std::string _Encode(const std::string& type);
    // The PNG file in a fresh folder of the drag cache, removed at the end.
    std::string _File();

    const void* fBits;
    size_t fSize;
    BTranslatorRoster* fRoster;
    std::vector<std::string> fTypes;
    std::map<std::string, std::string> fMade;
    std::string fFolder;
};

} // namespace BPrivate

#endif
