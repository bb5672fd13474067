#include "DirectSave.h"

#include <QGuiApplication>
#include <QUrl>

#include <cstdlib>
#include <cstring>

#include <unistd.h>
#include <xcb/xcb.h>

namespace BPrivate {

namespace DirectSave {

const char* const kFormat = "XdndDirectSave0";

namespace {

// The longest URI a file manager may put in the property.
const uint32_t kMaxUriBytes = 8192;

xcb_connection_t* connection()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return nullptr;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

xcb_atom_t atom(xcb_connection_t* c, const char* name)
{
    xcb_intern_atom_reply_t* reply =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, strlen(name), name), nullptr);
    xcb_atom_t result = reply ? reply->atom : (xcb_atom_t)XCB_ATOM_NONE;
    free(reply);
    return result;
}

// The drag's source window: the owner of the drag's selection, which Qt
// names in its messages to the targets.
xcb_window_t source_window(xcb_connection_t* c)
{
    xcb_get_selection_owner_reply_t* reply = xcb_get_selection_owner_reply(
        c, xcb_get_selection_owner(c, atom(c, "XdndSelection")), nullptr);
    xcb_window_t owner = reply ? reply->owner : (xcb_window_t)XCB_WINDOW_NONE;
    free(reply);
    return owner;
}

} // namespace

bool Suggest(const QString& name)
{
    xcb_connection_t* c = connection();
    xcb_window_t window = c ? source_window(c) : (xcb_window_t)XCB_WINDOW_NONE;
    if (window == XCB_WINDOW_NONE)
        return false;
    QByteArray bytes = name.toUtf8();
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, atom(c, kFormat), atom(c, "text/plain"),
                        8, bytes.size(), bytes.constData());
    xcb_flush(c);
    return true;
}

bool Chosen(QString* folder, QString* name)
{
    xcb_connection_t* c = connection();
    xcb_window_t window = c ? source_window(c) : (xcb_window_t)XCB_WINDOW_NONE;
    if (window == XCB_WINDOW_NONE)
        return false;
    xcb_get_property_reply_t* reply =
        xcb_get_property_reply(c,
                               xcb_get_property(c, 0, window, atom(c, kFormat),
                                                XCB_GET_PROPERTY_TYPE_ANY, 0, kMaxUriBytes / 4),
                               nullptr);
    if (!reply)
        return false;
    QByteArray value;
    if (reply->format == 8 && reply->bytes_after == 0)
        value = QByteArray(static_cast<const char*>(xcb_get_property_value(reply)),
                           xcb_get_property_value_length(reply));
    free(reply);

    // file://host/path, where the host, when there is one, is this machine.
    QUrl url = QUrl::fromEncoded(value.trimmed(), QUrl::StrictMode);
    if (!url.isValid() || url.scheme() != QLatin1String("file"))
        return false;
    QString host = url.host();
    char hostname[256] = {};
    gethostname(hostname, sizeof(hostname) - 1);
    if (!host.isEmpty() && host != QLatin1String("localhost") &&
        host.compare(QString::fromUtf8(hostname), Qt::CaseInsensitive) != 0)
        return false;
    QString path = url.path();
    int slash = path.lastIndexOf('/');
    if (!path.startsWith('/') || slash < 0)
        return false;
    *folder = slash == 0 ? QStringLiteral("/") : path.left(slash);
    *name = path.mid(slash + 1);
    return !name->isEmpty() && *name != QLatin1String(".") && *name != QLatin1String("..");
}

void Withdraw()
{
    xcb_connection_t* c = connection();
    xcb_window_t window = c ? source_window(c) : (xcb_window_t)XCB_WINDOW_NONE;
    if (window == XCB_WINDOW_NONE)
        return;
    xcb_delete_property(c, window, atom(c, kFormat));
    xcb_flush(c);
}

} // namespace DirectSave

} // namespace BPrivate
