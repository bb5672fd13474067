// A capture's countdown. The program's windows are hidden meanwhile, so on
// X11 Escape and Print Screen are taken from the whole desktop (passive key
// grabs on the root window) for as long as it runs, and given back after.

#include <Message.h>
#include <ScreenPicker.h>

#include "qt/X11.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QTimer>

#include <xcb/xcb.h>

#include <memory>
#include <vector>

namespace BPrivate {

namespace {

const uint32 kEscapeSym = 0xff1b;
const uint32 kPrintSym = 0xff61;
// The keys alone, whatever Caps Lock and Num Lock (Mod2) say. Not with any
// modifier: a window manager that binds one of them with a modifier would
// make the whole grab fail.
const uint16 kLocks[] = {0, XCB_MOD_MASK_LOCK, XCB_MOD_MASK_2, XCB_MOD_MASK_LOCK | XCB_MOD_MASK_2};

// The key codes that produce a key symbol, from the server's keyboard map.
std::vector<xcb_keycode_t> keycodes_of(xcb_connection_t* c, uint32 symbol)
{
    std::vector<xcb_keycode_t> codes;
    const xcb_setup_t* setup = xcb_get_setup(c);
    int count = setup->max_keycode - setup->min_keycode + 1;
    xcb_get_keyboard_mapping_reply_t* map = xcb_get_keyboard_mapping_reply(
        c, xcb_get_keyboard_mapping(c, setup->min_keycode, count), nullptr);
    if (!map)
        return codes;
    const xcb_keysym_t* symbols = xcb_get_keyboard_mapping_keysyms(map);
    int per = map->keysyms_per_keycode;
    int length = xcb_get_keyboard_mapping_keysyms_length(map);
    for (int i = 0; per > 0 && i < count && (i + 1) * per <= length; i++) {
        for (int k = 0; k < per; k++) {
            if (symbols[i * per + k] == symbol) {
                codes.push_back((xcb_keycode_t)(setup->min_keycode + i));
                break;
            }
        }
    }
    free(map);
    return codes;
}

class Countdown : public QAbstractNativeEventFilter
{
public:
    Countdown(bigtime_t delay, BMessenger target, const BMessage& message)
        : fTarget(target), fMessage(message)
    {
        fTimer.setSingleShot(true);
        fTimer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&fTimer, &QTimer::timeout, [this]() { _Send(false); });
        fTimer.start((int)(delay / 1000));
        fConnection = x11_connection();
        if (!fConnection)
            return;
        fRoot = xcb_setup_roots_iterator(xcb_get_setup(fConnection)).data->root;
        for (uint32 symbol : {kEscapeSym, kPrintSym}) {
            for (xcb_keycode_t code : keycodes_of(fConnection, symbol)) {
                for (uint16 locks : kLocks)
                    xcb_grab_key(fConnection, 1, fRoot, locks, code, XCB_GRAB_MODE_ASYNC,
                                 XCB_GRAB_MODE_ASYNC);
                fCodes.push_back(code);
            }
        }
        xcb_flush(fConnection);
        QCoreApplication::instance()->installNativeEventFilter(this);
    }

    ~Countdown() override
    {
        // A countdown still running when the program ends outlives the
        // application object, and the connection with it.
        if (!fConnection || !QCoreApplication::instance())
            return;
        QCoreApplication::instance()->removeNativeEventFilter(this);
        for (xcb_keycode_t code : fCodes)
            for (uint16 locks : kLocks)
                xcb_ungrab_key(fConnection, code, fRoot, locks);
        xcb_flush(fConnection);
    }

    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override
    {
        if (type != "xcb_generic_event_t")
            return false;
        auto* event = static_cast<xcb_generic_event_t*>(message);
        if ((event->response_type & 0x7f) != XCB_KEY_PRESS)
            return false;
        auto* press = reinterpret_cast<xcb_key_press_event_t*>(event);

        for (xcb_keycode_t code : fCodes) {
            if (press->detail == code && press->event == fRoot) {
                // Sent once the filter has returned: sending ends the countdown.
                QTimer::singleShot(0, [this]() { _Send(true); });
                return true;
            }
        }
        return false;
    }

private:
    void _Send(bool canceled);

    QTimer fTimer;
    BMessenger fTarget;
    BMessage fMessage;
    xcb_connection_t* fConnection = nullptr;
    xcb_window_t fRoot = XCB_WINDOW_NONE;
    std::vector<xcb_keycode_t> fCodes;
};

std::unique_ptr<Countdown> sCountdown;

void Countdown::_Send(bool canceled)
{
    if (sCountdown.get() != this)
        return;
    BMessage message(fMessage);
    message.RemoveName("canceled");
    message.AddBool("canceled", canceled);
    BMessenger target = fTarget;
    // The countdown goes first: the target may start another.
    sCountdown.reset();
    target.SendMessage(&message);
}

} // namespace

status_t start_capture_delay(bigtime_t delay, BMessenger target, const BMessage& message)
{
    if (!QCoreApplication::instance())
        return B_NO_INIT;
    if (delay < 0 || !target.IsValid())
        return B_BAD_VALUE;
    sCountdown.reset();
    sCountdown = std::make_unique<Countdown>(delay, target, message);
    return B_OK;
}

void cancel_capture_delay()
{
    sCountdown.reset();
}

bool capture_delay_running()
{
    return sCountdown != nullptr;
}

} // namespace BPrivate
