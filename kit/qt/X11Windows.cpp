#include "qt/X11Windows.h"

#include "qt/X11.h"

#include <cstdlib>

namespace BPrivate {

namespace {

// The program's window inside a frame: the one with WM_STATE, which window
// managers set on the windows they manage.
xcb_window_t client_of(xcb_connection_t* c, xcb_window_t window, xcb_atom_t wmState, int depth)
{
    if (has_property(c, window, wmState))
        return window;
    if (depth == 0)
        return XCB_WINDOW_NONE;
    xcb_query_tree_reply_t* tree = xcb_query_tree_reply(c, xcb_query_tree(c, window), nullptr);
    if (!tree)
        return XCB_WINDOW_NONE;
    xcb_window_t found = XCB_WINDOW_NONE;
    const xcb_window_t* children = xcb_query_tree_children(tree);
    for (int i = xcb_query_tree_children_length(tree) - 1; i >= 0 && !found; i--)
        found = client_of(c, children[i], wmState, depth - 1);
    free(tree);
    return found;
}

QRect root_rect(xcb_connection_t* c, xcb_window_t window, xcb_window_t root)
{
    xcb_get_geometry_reply_t* geometry =
        xcb_get_geometry_reply(c, xcb_get_geometry(c, window), nullptr);
    xcb_translate_coordinates_reply_t* place = xcb_translate_coordinates_reply(
        c, xcb_translate_coordinates(c, window, root, 0, 0), nullptr);
    QRect rect;
    if (geometry && place)
        rect = QRect(place->dst_x, place->dst_y, geometry->width, geometry->height);
    free(geometry);
    free(place);
    return rect;
}

} // namespace

std::vector<TopWindow> x11_windows(xcb_window_t* active)
{
    std::vector<TopWindow> windows;
    *active = XCB_WINDOW_NONE;
    xcb_connection_t* c = x11_connection();
    if (!c)
        return windows;
    xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    xcb_atom_t wmState = intern_atom(c, "WM_STATE");
    xcb_atom_t activeAtom = intern_atom(c, "_NET_ACTIVE_WINDOW");
    if (xcb_get_property_reply_t* reply = xcb_get_property_reply(
            c, xcb_get_property(c, 0, root, activeAtom, XCB_ATOM_WINDOW, 0, 1), nullptr)) {
        if (xcb_get_property_value_length(reply) == 4)
            *active = *static_cast<xcb_window_t*>(xcb_get_property_value(reply));
        free(reply);
    }
    xcb_query_tree_reply_t* tree = xcb_query_tree_reply(c, xcb_query_tree(c, root), nullptr);
    if (!tree)
        return windows;
    const xcb_window_t* children = xcb_query_tree_children(tree);
    // The server lists them from the bottom of the stack up.
    for (int i = xcb_query_tree_children_length(tree) - 1; i >= 0; i--) {
        xcb_get_window_attributes_reply_t* attributes =
            xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, children[i]), nullptr);
        bool usable = attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE &&
                      !attributes->override_redirect &&
                      attributes->_class == XCB_WINDOW_CLASS_INPUT_OUTPUT;
        free(attributes);
        if (!usable)
            continue;
        TopWindow window;
        window.frame = root_rect(c, children[i], root);
        window.clientId = client_of(c, children[i], wmState, 3);
        window.client = window.clientId ? root_rect(c, window.clientId, root) : window.frame;
        if (!window.clientId)
            window.clientId = children[i];
        if (!window.frame.isEmpty())
            windows.push_back(window);
    }
    free(tree);
    return windows;
}

} // namespace BPrivate
