#include <Menu.h>

#include <MenuBar.h>
#include <MenuItem.h>
#include <Message.h>
#include <Window.h>

#include "ViewPrivate.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QStyle>

#include <cstring>
#include <vector>

namespace BPrivate {

struct MenuData
{
    std::vector<BMenuItem*> items;
    menu_layout layout = B_ITEMS_IN_COLUMN;
    bool resizeToFit = false;
    bool enabled = true;
    // One item of the menu is marked, shown with a radio mark.
    bool radio = false;
    BMenuItem* superitem = nullptr;
    // The platform bar, when this menu is a menu bar in a window.
    QPointer<QMenuBar> bar;
};

namespace {

void fill_native(QWidget* native, BMenu* menu);

// A menu item's shortcut as the platform's keys. The command key that every
// shortcut implies is Control on Linux, as Linux programs have it; Shift
// and Option (the Super key) add themselves. "+" also answers on the key
// that carries it unshifted on common layouts ("="), as zooming does in
// other programs.
QList<QKeySequence> shortcut_keys(char shortcut, uint32 modifiers)
{
    QString prefix = "Ctrl+";
    if (modifiers & B_SHIFT_KEY)
        prefix += "Shift+";
    if (modifiers & B_OPTION_KEY)
        prefix += "Meta+";
    QList<QKeySequence> keys;
    keys << QKeySequence(prefix + QChar::fromLatin1(shortcut).toUpper(),
                         QKeySequence::PortableText);
    if (shortcut == '+')
        keys << QKeySequence(prefix + "=", QKeySequence::PortableText);
    return keys;
}

// A function key as the platform's key, with the modifiers held with it.
QKeySequence function_key(int32 key, uint32 modifiers)
{
    int qt = 0;
    if (key >= B_F1_KEY && key <= B_F12_KEY)
        qt = Qt::Key_F1 + (key - B_F1_KEY);
    else if (key == B_PRINT_KEY)
        qt = Qt::Key_Print;
    else if (key == B_SCROLL_KEY)
        qt = Qt::Key_ScrollLock;
    else if (key == B_PAUSE_KEY)
        qt = Qt::Key_Pause;
    else
        return QKeySequence();
    int held = 0;
    if (modifiers & B_SHIFT_KEY)
        held |= Qt::SHIFT;
    if (modifiers & (B_COMMAND_KEY | B_CONTROL_KEY))
        held |= Qt::CTRL;
    if (modifiers & B_OPTION_KEY)
        held |= Qt::META;
    return QKeySequence(qt | held);
}

// Every shortcut of an item: its character's, then its function key's.
QList<QKeySequence> item_keys(BMenuItem* item)
{
    QList<QKeySequence> keys;
    uint32 modifiers = 0;
    if (char shortcut = item->Shortcut(&modifiers))
        keys << shortcut_keys(shortcut, modifiers);
    if (int32 key = item->FunctionKey(&modifiers)) {
        QKeySequence sequence = function_key(key, modifiers);
        if (!sequence.isEmpty())
            keys << sequence;
    }
    return keys;
}

// Opens menu as the user would reach it: the bar's menu, and each submenu
// on the way down.
void open_menu(QMenu* menu)
{
    std::vector<QMenu*> chain;
    QWidget* widget = menu;
    while (auto* step = qobject_cast<QMenu*>(widget)) {
        chain.push_back(step);
        widget = step->parentWidget();
    }
    auto* bar = qobject_cast<QMenuBar*>(widget);
    if (!bar || chain.empty())
        return;
    bar->setActiveAction(chain.back()->menuAction());
    for (size_t i = chain.size() - 1; i > 0; i--)
        chain[i]->setActiveAction(chain[i - 1]->menuAction());
}

QAction* make_action(QWidget* parent, BMenuItem* item)
{
    if (BMenu* submenu = item->Submenu()) {
        auto* qmenu = new QMenu(QString::fromUtf8(item->Label()), parent);
        fill_native(qmenu, submenu);
        qmenu->setEnabled(item->IsEnabled() && submenu->IsEnabled());
        // A submenu's shortcut opens it.
        QList<QKeySequence> keys = item_keys(item);
        if (!keys.isEmpty()) {
            qmenu->menuAction()->setShortcuts(keys);
            QObject::connect(qmenu->menuAction(), &QAction::triggered, qmenu,
                             [qmenu]() { open_menu(qmenu); });
        }
        return qmenu->menuAction();
    }
    // Labels are shown as they are: no '&' accelerators.
    QString label = QString::fromUtf8(item->Label()).replace("&", "&&");
    auto* action = new QAction(label, parent);
    action->setEnabled(item->IsEnabled());
    bool radio = item->Menu() && item->Menu()->IsRadioMode();
    action->setCheckable(radio || item->IsMarked());
    action->setChecked(item->IsMarked());
    action->setShortcuts(item_keys(item));
    QObject::connect(action, &QAction::triggered, action, [item]() { item->Invoke(); });
    return action;
}

void fill_native(QWidget* native, BMenu* menu)
{
    // The platform draws radio marks for the actions of an exclusive group.
    QActionGroup* group = nullptr;
    if (menu->IsRadioMode()) {
        group = new QActionGroup(native);
        group->setExclusive(true);
    }
    for (int32 i = 0; i < menu->CountItems(); i++) {
        BMenuItem* item = menu->ItemAt(i);
        if (!item) {
            auto* separator = new QAction(native);
            separator->setSeparator(true);
            native->addAction(separator);
            continue;
        }
        QAction* action = make_action(native, item);
        if (group && !item->Submenu())
            group->addAction(action);
        native->addAction(action);
    }
}

// F10, and Alt pressed and let go alone, open a window's menu bar, as in
// other Linux programs; the arrow keys then move through it. Where the
// platform's style does Alt itself, only F10 is added.
class MenuKeys : public QObject
{
public:
    explicit MenuKeys(QMenuBar* bar) : QObject(bar), fBar(bar) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (!widget || widget->window() != fBar->window() || !fBar->isVisible() ||
            QApplication::activePopupWidget())
            return false;
        switch (event->type()) {
        case QEvent::KeyPress: {
            auto* key = static_cast<QKeyEvent*>(event);
            fAltAlone = key->key() == Qt::Key_Alt && key->modifiers() == Qt::AltModifier;
            if (key->key() == Qt::Key_F10 && key->modifiers() == Qt::NoModifier) {
                _Open();
                return true;
            }
            break;
        }
        case QEvent::KeyRelease: {
            auto* key = static_cast<QKeyEvent*>(event);
            if (key->key() == Qt::Key_Alt && fAltAlone && !key->isAutoRepeat()) {
                fAltAlone = false;
                if (!fBar->style()->styleHint(QStyle::SH_MenuBar_AltKeyNavigation, nullptr, fBar))
                    _Open();
            }
            break;
        }
        case QEvent::MouseButtonPress:
        case QEvent::Wheel:
            fAltAlone = false;
            break;
        default:
            break;
        }
        return false;
    }

private:
    void _Open()
    {
        for (QAction* action : fBar->actions()) {
            if (action->isEnabled() && action->isVisible()) {
                fBar->setActiveAction(action);
                return;
            }
        }
    }

    QMenuBar* fBar;
    bool fAltAlone = false;
};

} // namespace
} // namespace BPrivate

using BPrivate::MenuData;

BMenu::BMenu(const char* name, menu_layout layout)
    : BView(BRect(0, 0, 0, 0), name, B_FOLLOW_LEFT | B_FOLLOW_TOP, B_WILL_DRAW),
      fMenuData(new MenuData)
{
    fMenuData->layout = layout;
}

BMenu::BMenu(BRect frame, const char* name, uint32 resizingMode, uint32 flags, menu_layout layout,
             bool resizeToFit)
    : BView(frame, name, resizingMode, flags), fMenuData(new MenuData)
{
    fMenuData->layout = layout;
    fMenuData->resizeToFit = resizeToFit;
}

BMenu::~BMenu()
{
    while (!fMenuData->items.empty()) {
        BMenuItem* item = fMenuData->items.back();
        fMenuData->items.pop_back();
        if (item) {
            item->fSuper = nullptr;
            delete item;
        }
    }
    delete fMenuData;
}

bool BMenu::AddItem(BMenuItem* item)
{
    return AddItem(item, CountItems());
}

bool BMenu::AddItem(BMenuItem* item, int32 index)
{
    if (!item || item->fSuper || index < 0 || index > CountItems())
        return false;
    fMenuData->items.insert(fMenuData->items.begin() + index, item);
    item->fSuper = this;
    if (item->fSubmenu)
        item->fSubmenu->fMenuData->superitem = item;
    _ItemChanged(item);
    return true;
}

bool BMenu::AddItem(BMenu* menu)
{
    return AddItem(new BMenuItem(menu));
}

bool BMenu::AddItem(BMenu* menu, int32 index)
{
    BMenuItem* item = new BMenuItem(menu);
    if (!AddItem(item, index)) {
        item->fSubmenu = nullptr;
        delete item;
        return false;
    }
    return true;
}

bool BMenu::AddSeparatorItem()
{
    fMenuData->items.push_back(nullptr);
    _ItemChanged(nullptr);
    return true;
}

BMenuItem* BMenu::RemoveItem(int32 index)
{
    if (index < 0 || index >= CountItems())
        return nullptr;
    BMenuItem* item = fMenuData->items[index];
    fMenuData->items.erase(fMenuData->items.begin() + index);
    if (item)
        item->fSuper = nullptr;
    _ItemChanged(nullptr);
    return item;
}

bool BMenu::RemoveItem(BMenuItem* item)
{
    int32 index = IndexOf(item);
    if (index < 0)
        return false;
    RemoveItem(index);
    return true;
}

BMenuItem* BMenu::ItemAt(int32 index) const
{
    if (index < 0 || index >= CountItems())
        return nullptr;
    return fMenuData->items[index];
}

BMenu* BMenu::SubmenuAt(int32 index) const
{
    BMenuItem* item = ItemAt(index);
    return item ? item->Submenu() : nullptr;
}

int32 BMenu::CountItems() const
{
    return (int32)fMenuData->items.size();
}

int32 BMenu::IndexOf(BMenuItem* item) const
{
    for (size_t i = 0; i < fMenuData->items.size(); i++) {
        if (fMenuData->items[i] == item)
            return (int32)i;
    }
    return -1;
}

BMenuItem* BMenu::FindItem(const char* label) const
{
    for (BMenuItem* item : fMenuData->items) {
        if (!item)
            continue;
        if (label && strcmp(item->Label(), label) == 0)
            return item;
        if (item->Submenu()) {
            if (BMenuItem* found = item->Submenu()->FindItem(label))
                return found;
        }
    }
    return nullptr;
}

BMenuItem* BMenu::FindItem(uint32 command) const
{
    for (BMenuItem* item : fMenuData->items) {
        if (!item)
            continue;
        if (item->Message() && item->Message()->what == command)
            return item;
        if (item->Submenu()) {
            if (BMenuItem* found = item->Submenu()->FindItem(command))
                return found;
        }
    }
    return nullptr;
}

BMenuItem* BMenu::Superitem() const
{
    return fMenuData->superitem;
}

BMenu* BMenu::Supermenu() const
{
    return fMenuData->superitem ? fMenuData->superitem->Menu() : nullptr;
}

menu_layout BMenu::Layout() const
{
    return fMenuData->layout;
}

status_t BMenu::SetTargetForItems(BHandler* target)
{
    for (BMenuItem* item : fMenuData->items) {
        if (item) {
            status_t status = item->SetTarget(target);
            if (status != B_OK)
                return status;
        }
    }
    return B_OK;
}

void BMenu::SetEnabled(bool enable)
{
    fMenuData->enabled = enable;
    _ItemChanged(nullptr);
}

bool BMenu::IsEnabled() const
{
    return fMenuData->enabled;
}

void BMenu::SetRadioMode(bool on)
{
    fMenuData->radio = on;
}

bool BMenu::IsRadioMode() const
{
    return fMenuData->radio;
}

void BMenu::_ItemChanged(BMenuItem* item)
{
    // The platform's menus are rebuilt from the root bar whenever the tree changes.
    BMenu* root = this;
    while (root->Supermenu())
        root = root->Supermenu();
    QMenuBar* bar = root->fMenuData->bar;
    if (!bar)
        return;
    bar->clear();
    for (QObject* child : bar->children()) {
        if (qobject_cast<QMenu*>(child))
            child->deleteLater();
    }
    BPrivate::fill_native(bar, root);
}

void BMenu::_BuildNative(BMenuItem* item, int32 index)
{
    _ItemChanged(item);
}

BMenuBar::BMenuBar(BRect frame, const char* name, uint32 resizingMode, menu_layout layout,
                   bool resizeToFit)
    : BMenu(frame, name, resizingMode, 0, layout, resizeToFit)
{
    BPrivate::ViewBridge::Data(this)->makeNative = [this](QWidget* parent) -> QWidget* {
        auto* bar = new QMenuBar(parent);
        bar->setNativeMenuBar(false);
        fMenuData->bar = bar;
        qApp->installEventFilter(new BPrivate::MenuKeys(bar));
        BPrivate::fill_native(bar, this);
        bar->show();
        return bar;
    };
}

BMenuBar::~BMenuBar() {}

void BMenuBar::AttachedToWindow()
{
    if (Window() && !Window()->KeyMenuBar())
        Window()->SetKeyMenuBar(this);
    if (fMenuData->resizeToFit && Parent() == nullptr && Window()) {
        // Spans the window's width; the bar is 20 pixels high.
        MoveTo(0, 0);
        ResizeTo(Window()->Bounds().Width(), 19);
    }
}

void BMenuBar::SetBorder(menu_bar_border border) {}
