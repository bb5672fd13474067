#include "DirectSave.h"

#include "X11.h"

#include <QGuiApplication>
#include <QUrl>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <unistd.h>
#include <xcb/xcb.h>

namespace BPrivate {

namespace DirectSave {

const char* const kFormat = "XdndDirectSave0";

namespace {

// The longest URI a file manager may put in the property.
const uint32_t kMaxUriBytes = 8192;

// The drag's source window: the owner of the drag's selection, which Qt
// names in its messages to the targets.
xcb_window_t source_window(xcb_connection_t* c)
{
    xcb_get_selection_owner_reply_t* reply = xcb_get_selection_owner_reply(
        c, xcb_get_selection_owner(c, intern_atom(c, "XdndSelection")), nullptr);
    xcb_window_t owner = reply ? reply->owner : (xcb_window_t)XCB_WINDOW_NONE;
    free(reply);
    return owner;
}

// Window classes (the second string of WM_CLASS) of the programs that take
// XdndDirectSave0 only when text/uri-list is not offered.
const char* const kRanksUriListFirst[] = {"Thunar"};

// The drag's list of types as the drag's window showed it first, and
// whether text/uri-list is out of it now.
struct TypeList
{
    xcb_window_t source = XCB_WINDOW_NONE;
    std::vector<xcb_atom_t> types;
    bool withoutUriList = false;
    // The top-level window last seen under the pointer, and what it wants.
    xcb_window_t lastTopLevel = XCB_WINDOW_NONE;
    bool lastRanksUriListFirst = false;
};

TypeList sTypeList;

std::vector<xcb_atom_t> atom_list(xcb_connection_t* c, xcb_window_t window, xcb_atom_t property)
{
    std::vector<xcb_atom_t> atoms;
    // Far more than any drag offers.
    const uint32_t kMaxAtoms = 1024;
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        c, xcb_get_property(c, 0, window, property, XCB_ATOM_ATOM, 0, kMaxAtoms), nullptr);
    if (reply && reply->format == 32 && reply->type == XCB_ATOM_ATOM) {
        const xcb_atom_t* values = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply));
        atoms.assign(values, values + xcb_get_property_value_length(reply) / 4);
    }
    free(reply);
    return atoms;
}

// The child of window at the point (x, y) of the root window, or none.
xcb_window_t child_at(xcb_connection_t* c, xcb_window_t root, xcb_window_t window, int x, int y)
{
    xcb_translate_coordinates_reply_t* reply = xcb_translate_coordinates_reply(
        c, xcb_translate_coordinates(c, root, window, x, y), nullptr);
    xcb_window_t child = reply ? reply->child : (xcb_window_t)XCB_WINDOW_NONE;
    free(reply);
    return child;
}

// The top-level window under the pointer that could take a drop: the drag's
// own picture follows the pointer and is above it, as are menus and tips,
// which are all windows the window manager does not manage.
// Sets (x, y) to where the pointer is on the root window.
xcb_window_t top_level_under_pointer(xcb_connection_t* c, xcb_window_t root, int* x, int* y)
{
    xcb_query_pointer_reply_t* pointer =
        xcb_query_pointer_reply(c, xcb_query_pointer(c, root), nullptr);
    if (!pointer)
        return XCB_WINDOW_NONE;
    *x = pointer->root_x;
    *y = pointer->root_y;
    free(pointer);
    xcb_query_tree_reply_t* tree = xcb_query_tree_reply(c, xcb_query_tree(c, root), nullptr);
    if (!tree)
        return XCB_WINDOW_NONE;
    // Children come bottom first: ask about all of them at once, then look
    // from the top.
    const xcb_window_t* children = xcb_query_tree_children(tree);
    int count = xcb_query_tree_children_length(tree);
    std::vector<xcb_get_window_attributes_cookie_t> attributes(count);
    std::vector<xcb_get_geometry_cookie_t> geometries(count);
    for (int i = 0; i < count; i++) {
        attributes[i] = xcb_get_window_attributes(c, children[i]);
        geometries[i] = xcb_get_geometry(c, children[i]);
    }
    xcb_window_t found = XCB_WINDOW_NONE;
    for (int i = count - 1; i >= 0; i--) {
        xcb_get_window_attributes_reply_t* a =
            xcb_get_window_attributes_reply(c, attributes[i], nullptr);
        xcb_get_geometry_reply_t* g = xcb_get_geometry_reply(c, geometries[i], nullptr);
        if (found == XCB_WINDOW_NONE && a && g && a->map_state == XCB_MAP_STATE_VIEWABLE &&
            !a->override_redirect && *x >= g->x && *y >= g->y &&
            *x < g->x + g->width + 2 * g->border_width &&
            *y < g->y + g->height + 2 * g->border_width)
            found = children[i];
        free(a);
        free(g);
    }
    free(tree);
    return found;
}

// Whether the program's window at the point (x, y) of the root window,
// inside the top-level window (a window manager's frame, or the program's
// window itself), is one of those that rank text/uri-list above
// XdndDirectSave0.
bool ranks_uri_list_first(xcb_connection_t* c, xcb_window_t root, xcb_window_t topLevel, int x,
                          int y)
{
    // The program's own window is the one with WM_STATE, at most a few
    // frames deep.
    xcb_atom_t wmState = intern_atom(c, "WM_STATE");
    xcb_window_t window = topLevel;
    for (int depth = 0; depth < 4 && window != XCB_WINDOW_NONE; depth++) {
        if (has_property(c, window, wmState))
            break;
        window = child_at(c, root, window, x, y);
    }
    if (window == XCB_WINDOW_NONE)
        return false;
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        c, xcb_get_property(c, 0, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 0, 256), nullptr);
    if (!reply)
        return false;
    // "instance\0class\0"
    QByteArray value(static_cast<const char*>(xcb_get_property_value(reply)),
                     xcb_get_property_value_length(reply));
    free(reply);
    QList<QByteArray> names = value.split('\0');
    if (names.size() < 2)
        return false;
    for (const char* name : kRanksUriListFirst) {
        if (names.at(1) == name)
            return true;
    }
    return false;
}

} // namespace

bool Suggest(const QString& name)
{
    // A new drag, with a list of types of its own.
    sTypeList = TypeList();
    xcb_connection_t* c = x11_connection();
    xcb_window_t window = c ? source_window(c) : (xcb_window_t)XCB_WINDOW_NONE;
    if (window == XCB_WINDOW_NONE)
        return false;
    QByteArray bytes = name.toUtf8();
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, intern_atom(c, kFormat),
                        intern_atom(c, "text/plain"), 8, bytes.size(), bytes.constData());
    xcb_flush(c);
    return true;
}

bool Chosen(QString* folder, QString* name)
{
    xcb_connection_t* c = x11_connection();
    xcb_window_t window = c ? source_window(c) : (xcb_window_t)XCB_WINDOW_NONE;
    if (window == XCB_WINDOW_NONE)
        return false;
    xcb_get_property_reply_t* reply =
        xcb_get_property_reply(c,
                               xcb_get_property(c, 0, window, intern_atom(c, kFormat),
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
    sTypeList = TypeList();
    xcb_connection_t* c = x11_connection();
    xcb_window_t window = c ? source_window(c) : (xcb_window_t)XCB_WINDOW_NONE;
    if (window == XCB_WINDOW_NONE)
        return;
    xcb_delete_property(c, window, intern_atom(c, kFormat));
    xcb_flush(c);
}

void FitTypesToTarget()
{
    xcb_connection_t* c = x11_connection();
    xcb_window_t window = c ? source_window(c) : (xcb_window_t)XCB_WINDOW_NONE;
    if (window == XCB_WINDOW_NONE)
        return;
    xcb_atom_t typeList = intern_atom(c, "XdndTypeList");
    if (sTypeList.source != window) {
        // A new drag: its window shows the whole list.
        sTypeList = TypeList();
        sTypeList.source = window;
        sTypeList.types = atom_list(c, window, typeList);
    }
    xcb_atom_t uriList = intern_atom(c, "text/uri-list");
    xcb_atom_t directSave = intern_atom(c, kFormat);
    const std::vector<xcb_atom_t>& types = sTypeList.types;
    // Only a list that offers both has anything to change.
    if (std::find(types.begin(), types.end(), uriList) == types.end() ||
        std::find(types.begin(), types.end(), directSave) == types.end())
        return;

    xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    int x = 0, y = 0;
    xcb_window_t topLevel = top_level_under_pointer(c, root, &x, &y);
    if (topLevel != sTypeList.lastTopLevel) {
        sTypeList.lastTopLevel = topLevel;
        sTypeList.lastRanksUriListFirst =
            topLevel != XCB_WINDOW_NONE && ranks_uri_list_first(c, root, topLevel, x, y);
    }
    bool withoutUriList = sTypeList.lastRanksUriListFirst;
    if (withoutUriList == sTypeList.withoutUriList)
        return;
    std::vector<xcb_atom_t> shown;
    for (xcb_atom_t type : types) {
        if (!withoutUriList || type != uriList)
            shown.push_back(type);
    }
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, typeList, XCB_ATOM_ATOM, 32, shown.size(),
                        shown.data());
    xcb_flush(c);
    sTypeList.withoutUriList = withoutUriList;
}

} // namespace DirectSave

} // namespace BPrivate
