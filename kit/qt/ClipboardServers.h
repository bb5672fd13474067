#ifndef _CLIPBOARD_SERVERS_H
#define _CLIPBOARD_SERVERS_H

#include <SupportDefs.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

class BTranslatorRoster;

namespace BPrivate {

// The picture tavrin-clipboard keeps, and what it has made of it. bits is a
// bitmap stream that stays its owner's; each type is made once, when first
// asked for, and kept: the picture and what was asked for, nothing more.
class KeptPicture
{
public:
    KeptPicture(const void* bits, size_t size, std::vector<std::string> types);
    ~KeptPicture();

    // What is offered, in order: image/png, the other image types, then a
    // PNG file as text/uri-list and x-special/gnome-copied-files.
    const std::vector<std::string>& Types() const { return fTypes; }
    // The data in type; null when it is not offered or cannot be made.
    const std::string* Data(const std::string& type);

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

// Takes the clipboard with picture and serves it until another program
// takes it; report(true) once the clipboard is held, report(false) when it
// cannot be. Returns the process's exit status.
using KeeperReport = std::function<void(bool holding)>;
int serve_x11_clipboard(KeptPicture* picture, const KeeperReport& report);
int serve_wayland_clipboard(KeptPicture* picture, const KeeperReport& report);

} // namespace BPrivate

#endif
