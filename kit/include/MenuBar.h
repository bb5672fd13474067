#ifndef _MENU_BAR_H
#define _MENU_BAR_H

#include <Menu.h>

enum menu_bar_border { B_BORDER_FRAME, B_BORDER_CONTENTS, B_BORDER_EACH_ITEM };

// The bar of menus along a window's top edge. With resize-to-fit it spans its
// parent's width and is kept 20 pixels high.
class BMenuBar : public BMenu
{
public:
    BMenuBar(BRect frame, const char* name,
             uint32 resizingMode = B_FOLLOW_LEFT_RIGHT | B_FOLLOW_TOP,
             menu_layout layout = B_ITEMS_IN_ROW, bool resizeToFit = true);
    virtual ~BMenuBar();

    virtual void AttachedToWindow();
    void SetBorder(menu_bar_border border);
};

#endif
