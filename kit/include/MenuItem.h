#ifndef _MENU_ITEM_H
#define _MENU_ITEM_H

#include <Invoker.h>
#include <Rect.h>

class BMenu;

// An item of a menu: a label and a message it posts to its target, or a submenu.
class BMenuItem : public BInvoker
{
public:
    BMenuItem(const char* label, BMessage* message, char shortcut = 0, uint32 modifiers = 0);
    BMenuItem(BMenu* menu, BMessage* message = nullptr);
    virtual ~BMenuItem();

    virtual void SetLabel(const char* name);
    virtual void SetEnabled(bool enable);
    virtual void SetMarked(bool mark);
    virtual void SetShortcut(char shortcut, uint32 modifiers);

    // A kit extra: a function key (B_F1_KEY ... B_F12_KEY, B_PRINT_KEY) as a
    // further shortcut of the item. No command key is implied: modifiers are
    // the keys held with it. 0 takes it away.
    void SetFunctionKey(int32 key, uint32 modifiers = 0);
    int32 FunctionKey(uint32* modifiers = nullptr) const;

    const char* Label() const;
    bool IsEnabled() const;
    bool IsMarked() const;
    char Shortcut(uint32* modifiers = nullptr) const;
    BMenu* Submenu() const;
    BMenu* Menu() const;

    virtual status_t Invoke(BMessage* message = nullptr);

private:
    friend class BMenu;

    char* fLabel;
    BMenu* fSubmenu;
    BMenu* fSuper;
    char fShortcut;
    uint32 fModifiers;
    int32 fFunctionKey;
    uint32 fFunctionModifiers;
    bool fEnabled;
    bool fMarked;
    void* fAction; // the platform's action, owned by the menu's widget
};

#endif
