#ifndef _MENU_H
#define _MENU_H

#include <View.h>

class BMenuItem;

enum menu_layout { B_ITEMS_IN_ROW = 0, B_ITEMS_IN_COLUMN, B_ITEMS_IN_MATRIX };

namespace BPrivate {
struct MenuData;
}

// A list of items; it owns them. A menu that is an item's submenu is owned by that item.
class BMenu : public BView
{
public:
    BMenu(const char* name, menu_layout layout = B_ITEMS_IN_COLUMN);
    virtual ~BMenu();

    bool AddItem(BMenuItem* item);
    bool AddItem(BMenuItem* item, int32 index);
    bool AddItem(BMenu* menu);
    bool AddItem(BMenu* menu, int32 index);
    bool AddSeparatorItem();
    BMenuItem* RemoveItem(int32 index);
    bool RemoveItem(BMenuItem* item);

    BMenuItem* ItemAt(int32 index) const;
    BMenu* SubmenuAt(int32 index) const;
    int32 CountItems() const;
    int32 IndexOf(BMenuItem* item) const;
    BMenuItem* FindItem(const char* label) const;
    BMenuItem* FindItem(uint32 command) const;
    BMenuItem* Superitem() const;
    BMenu* Supermenu() const;
    menu_layout Layout() const;

    virtual status_t SetTargetForItems(BHandler* target);
    virtual void SetEnabled(bool enable);
    bool IsEnabled() const;
    // In radio mode one item is marked, and the mark shows as a radio mark.
    // Set it before the menu is added.
    void SetRadioMode(bool on);
    bool IsRadioMode() const;

protected:
    BMenu(BRect frame, const char* name, uint32 resizingMode, uint32 flags, menu_layout layout,
          bool resizeToFit);

private:
    friend class BMenuItem;
    friend class BMenuBar;

    void _ItemChanged(BMenuItem* item);
    void _BuildNative(BMenuItem* item, int32 index);

    BPrivate::MenuData* fMenuData;
};

#endif
