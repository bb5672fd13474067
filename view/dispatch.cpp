#include "view/tavrinview.h"

#include <AppDefs.h>
#include <FilePanel.h>
#include <Message.h>
#include <Window.h>

#include "app/openconfig.h"
#include "io/savename.h"
#include "window/catalogue.h"
#include "window/codes.h"
#include "window/tavrinwindow.h"

#include <cmath>
#include <string>

BPoint droppos(0, 0);

bool usable_drop_position(BPoint point)
{
    const float kLimit = 1 << 30;
    return std::isfinite(point.x) && std::isfinite(point.y) && std::fabs(point.x) <= kLimit &&
           std::fabs(point.y) <= kLimit;
}

namespace {

// The file panels' common arguments: no target (answers go to the
// application, which relays them), files only, one at a time, not modal,
// hidden when done.
BFilePanel* make_panel(file_panel_mode mode)
{
    return new BFilePanel(mode, nullptr, nullptr, B_FILE_NODE, false, nullptr, nullptr, false,
                          true);
}

} // namespace

void tavrinview::MessageReceived(BMessage* message)
{
    // Any message that was dropped says where: remember the paste position.
    // The fields may come from another program: a point, an offset or a
    // result that is not a usable position leaves the last one in place.
    BPoint point, offset;
    if (message->FindPoint("_drop_point_", &point) == B_OK &&
        message->FindPoint("_drop_offset_", &offset) == B_OK && usable_drop_position(point) &&
        usable_drop_position(offset)) {
        ConvertFromScreen(&point);
        float scale = 1;
        bool usable = true;
        if (message->FindFloat("scale", &scale) == B_OK) {
            // A scale of 0 (or not a number) would give no position at all.
            usable = scale != 0 && std::isfinite(scale);
            if (usable) {
                offset.x /= scale;
                offset.y /= scale;
            }
        }
        BPoint position = point - offset;
        if (usable && usable_drop_position(position))
            droppos = position;
    }

    switch (message->what) {
    case kOpen:
        if (panel)
            break;
        panel = make_panel(B_OPEN_PANEL);
        panel->Show();
        break;

    case kClose:
        if (!image)
            break;
        _Replace(nullptr);
        redraw(true);
        _HistoryChanged();
        break;

    case kUndo:
        undo();
        break;

    case kRedo:
        redo();
        break;

    case kCopy:
        copy();
        break;

    case kPaste:
    case kPasteInto:
        paste(message->what == kPasteInto);
        break;

    case kSave:
    case kSaveAs: {
        if (!image || panel)
            break;
        int16 number = message->what == kSave ? savingformat() : format_no;
        if (message->what == kSaveAs && message->FindInt16("format_no", &number) == B_OK &&
            !format_at(number))
            break;
        s_fmt* record = format_at(number);
        if (!record)
            break;
        format_no = number;
        panel = make_panel(B_SAVE_PANEL);
        panel->Window()->SetTitle(record->name);
        panel->SetSaveText(proposed_name(docname.empty() ? title : docname, record->MIME).c_str());
        panel->Show();
        break;
    }

    case B_SAVE_REQUESTED: {
        entry_ref directory;
        const char* name;
        if (message->FindRef("directory", &directory) == B_OK &&
            message->FindString("name", &name) == B_OK) {
            _SaveNamed(directory, name);
        }
        _ForgetPanel();
        break;
    }

    case kSaveChoice:
        _SaveChoice(message);
        break;

    case B_CANCEL:
        _ForgetPanel();
        // Panels that have closed are released now.
        for (auto it = fRetiredPanels.begin(); it != fRetiredPanels.end();) {
            if (!(*it)->IsShowing()) {
                delete *it;
                it = fRetiredPanels.erase(it);
            } else {
                ++it;
            }
        }
        break;

    case kConfig: {
        int16 number;
        if (message->FindInt16("format_no", &number) != B_OK)
            break;
        if (s_fmt* record = format_at(number))
            openconfig(record->translator, record->name);
        break;
    }

    case B_COPY_TARGET:
        ddcopy(message);
        break;

    case B_SIMPLE_DATA:
        _Intake(message);
        break;

    case B_MIME_DATA: {
        // Paste into picture says where, as a drop does.
        BPoint at;
        if (message->FindPoint("paste:at", &at) == B_OK && usable_drop_position(at))
            droppos = at;
        _TakeData(message);
        break;
    }

    case kCapture:
    case kCaptureRegion:
    case kCaptureWindow:
        capture(message);
        break;

    case kCaptureNow:
        _CaptureDelayEnded(message);
        break;

    case kCaptureDelay:
        message->FindInt32("seconds", &capturedelay);
        if (auto* window = dynamic_cast<tavrinwindow*>(Window()))
            window->updatemenus();
        break;

    case kCaptureFrame:
        captureframe = !captureframe;
        if (auto* window = dynamic_cast<tavrinwindow*>(Window()))
            window->updatemenus();
        break;

    case kPrint:
        print();
        break;

    case kFitToWindow:
        fitting = true;
        fitzoom();
        break;

    case kActualSize:
    case kZoomIn:
    case kZoomOut: {
        fitting = false;
        BRect shown = Bounds() & pic;
        BPoint centre((shown.left + shown.right + 1) / 2, (shown.top + shown.bottom + 1) / 2);
        float wanted =
            message->what == kActualSize ? 1 : next_zoom(zoom(), message->what == kZoomIn);
        setzoom(wanted, centre);
        break;
    }

    case B_MOUSE_WHEEL_CHANGED: {
        // Control and the wheel zoom around the pointer; the wheel alone scrolls.
        int32 keys = 0;
        float delta = 0;
        if (message->FindInt32("modifiers", &keys) != B_OK || !(keys & B_CONTROL_KEY) ||
            message->FindFloat("be:wheel_delta_y", &delta) != B_OK || delta == 0 ||
            !std::isfinite(delta)) {
            BView::MessageReceived(message);
            break;
        }
        BPoint pointer;
        uint32 buttons;
        GetMouse(&pointer, &buttons, false);
        fitting = false;
        setzoom(next_zoom(zoom(), delta < 0), pointer);
        break;
    }

    default:
        BView::MessageReceived(message);
        break;
    }
}

void tavrinview::_ForgetPanel()
{
    if (panel)
        fRetiredPanels.push_back(panel);
    panel = nullptr;
}
