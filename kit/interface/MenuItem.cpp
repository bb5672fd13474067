#include <MenuItem.h>

#include <Menu.h>
#include <Message.h>
#include <Window.h>

#include <QAction>

#include <cstdlib>
#include <cstring>

BMenuItem::BMenuItem(const char* label, BMessage* message, char shortcut, uint32 modifiers)
    : BInvoker(message, nullptr), fLabel(strdup(label ? label : "")), fSubmenu(nullptr),
      fSuper(nullptr), fShortcut(shortcut), fModifiers(modifiers), fFunctionKey(0),
      fFunctionModifiers(0), fEnabled(true), fMarked(false), fAction(nullptr)
{}

BMenuItem::BMenuItem(BMenu* menu, BMessage* message)
    : BInvoker(message, nullptr), fLabel(strdup(menu && menu->Name() ? menu->Name() : "")),
      fSubmenu(menu), fSuper(nullptr), fShortcut(0), fModifiers(0), fFunctionKey(0),
      fFunctionModifiers(0), fEnabled(true), fMarked(false), fAction(nullptr)
{}

BMenuItem::~BMenuItem()
{
    if (fSuper)
        fSuper->RemoveItem(this);
    delete fSubmenu;
    free(fLabel);
}

void BMenuItem::SetLabel(const char* name)
{
    free(fLabel);
    fLabel = strdup(name ? name : "");
    if (fSuper)
        fSuper->_ItemChanged(this);
}

void BMenuItem::SetEnabled(bool enable)
{
    fEnabled = enable;
    if (fSuper)
        fSuper->_ItemChanged(this);
}

void BMenuItem::SetMarked(bool mark)
{
    fMarked = mark;
    if (fSuper)
        fSuper->_ItemChanged(this);
}

void BMenuItem::SetShortcut(char shortcut, uint32 modifiers)
{
    fShortcut = shortcut;
    fModifiers = modifiers;
}

void BMenuItem::SetFunctionKey(int32 key, uint32 modifiers)
{
    fFunctionKey = key;
    fFunctionModifiers = modifiers;
}

int32 BMenuItem::FunctionKey(uint32* modifiers) const
{
    if (modifiers)
        *modifiers = fFunctionModifiers;
    return fFunctionKey;
}

const char* BMenuItem::Label() const
{
    return fLabel;
}

bool BMenuItem::IsEnabled() const
{
    return fEnabled;
}

bool BMenuItem::IsMarked() const
{
    return fMarked;
}

char BMenuItem::Shortcut(uint32* modifiers) const
{
    if (modifiers)
        *modifiers = fModifiers;
    return fShortcut;
}

BMenu* BMenuItem::Submenu() const
{
    return fSubmenu;
}

BMenu* BMenuItem::Menu() const
{
    return fSuper;
}

status_t BMenuItem::Invoke(BMessage* message)
{
    if (!message)
        message = Message();
    if (!message)
        return B_BAD_VALUE;
    if (Messenger().IsValid())
        return BInvoker::Invoke(message);
    // Without a target of its own an item speaks to the window it is in.
    for (BMenu* menu = fSuper; menu; menu = menu->Supermenu()) {
        if (BWindow* window = menu->Window())
            return window->PostMessage(message);
    }
    return B_BAD_PORT_ID;
}
