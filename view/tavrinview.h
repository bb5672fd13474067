#ifndef TAVRIN_VIEW_H
#define TAVRIN_VIEW_H

#include <Bitmap.h>
#include <ColorProfiles.h>
#include <Entry.h>
#include <Message.h>
#include <View.h>

#include "view/history.h"
#include "view/selection.h"

#include <string>
#include <vector>

class BFilePanel;
class clipkeeper;

// The bounds of the current image in view coordinates: (0, 0, -1, -1) at
// start, (-1, -1, -1, -1) once the view has been emptied.
extern BRect pic;

// The gesture a click on the image started, kept in mousemode. It is the low
// byte of the buttons held (primary 1, secondary 2, tertiary 4), except that
// Shift or Control turn the primary button alone into a crop or a scroll.
// Values from 5 up (other button combinations) draw a rubber band that is
// not shown and do nothing on release.
enum mouse_gesture {
    kGestureNone = 0,       // between gestures
    kGestureSelect = 1,     // rubber band shown; the selection stays
    kGestureCrop = 2,       // rubber band shown; the image is cropped to it on release
    kGestureSelectBoth = 3, // primary and secondary together: as kGestureSelect
    kGestureScroll = 4,     // the view follows the pointer; no selection shown
};

// The one view of the main window: it owns the image and every command on it.
class tavrinview : public BView
{
public:
    tavrinview(BRect frame);
    ~tavrinview() override;

    void MessageReceived(BMessage* message) override;
    void AttachedToWindow() override;
    void Draw(BRect update) override;
    void MouseDown(BPoint where) override;
    void MouseMoved(BPoint where, uint32 transit, const BMessage* dragMessage) override;
    void MouseUp(BPoint where) override;
    void Pulse() override;

    // The selection frame, stroked and taken away again.
    void drawframe(const s_sel& selection);
    void eraseframe(const s_sel& selection);

    // The drag offer, and the answer to a drop target's reply to it.
    BMessage* ddmessage();
    void ddcopy(BMessage* message);

    // Edit > Copy: the selection shown, or the whole picture, onto the
    // clipboard. Edit > Paste: the clipboard's picture becomes the picture
    // (files on it are opened); with into, it is pasted into the picture at
    // the top-left of the selection shown or of the part in view.
    void copy();
    void paste(bool into);
    // The clipboard's offer: PNG first, then every catalogue format, and a
    // PNG file.
    BMessage* clipmessage();

    // Replaces the image with a file: a picture, or a Person file's address
    // card. When the file gives no image the view keeps what it showed and
    // why receives the reason, a phrase that follows the file's name.
    status_t load(entry_ref& ref, std::string* why = nullptr);
    // Writes the whole image in catalogue format format_no as name in dir.
    void save(entry_ref& dir, char* name);
    // The translator and type code of the first catalogue format with this MIME type.
    void select_trans(const char* mime, ulong* id, ulong* type);

    // Characters of a UTF-8 text, told by their first byte.
    int utf8len(char* s);
    int utf8chr(char* s, int n, char* out);

    // Brings pic, the window title, its size (with resize) and the picture up
    // to date with image.
    void redraw(bool resize);

    // The View menu. The view counts picture pixels; its zoom is how many
    // device pixels of the screen one picture pixel covers (1: pixel for
    // pixel, whatever the desktop's scale factor). setzoom keeps view point
    // keep where it is on the screen; fitzoom shows the whole picture in the
    // view, and goes on doing so as the window changes size while fitting.
    void setzoom(float zoom, BPoint keep);
    void fitzoom();
    float zoom() const { return PixelScale(); }

    // Edit > Undo and Redo: the picture before (or after) the last change.
    void undo();
    void redo();

    // The keyboard: scrolling, the selection and the crop to it.
    void KeyDown(const char* bytes, int32 numBytes) override;
    // Crops the image to the selection shown, as a change that can be undone.
    void crop();

    // File > Capture: the whole screen the window stands on becomes the image.
    void capture();
    // A capture command (kCapture, kCaptureRegion, kCaptureWindow) from the
    // menu or the command line: after the delay ("delay" seconds, else
    // capturedelay), the screen, a region or a window becomes the image; with
    // "output" it is saved there and the program ends, with "clipboard" it is
    // copied. A capture while a delay runs cancels it.
    void capture(BMessage* request);
    // File > Print: the whole image stretched over one printed page.
    void print();

    BBitmap* image;
    BBitmap* dragbitmap;
    BFilePanel* panel;
    int32 mousemode;
    BPoint anchor;
    s_sel oldsel;
    s_sel cursel;
    int16 format_no;
    // The document name: a whole file name (up to 255 bytes) and its NUL.
    char title[256];
    // View > Fit to window is in force.
    bool fitting;
    // The next redraw(true) keeps the zoom: the picture was cropped, not replaced.
    bool keepzoom;
    // What the picture was before each change.
    history changes;
    // The picture last copied, and the answers to programs that paste it.
    clipkeeper* clip;
    // The part of a bitmap the history holds that the image is a copy of, as
    // long as it is one (a crop, an undo): only while image is still
    // originof, the bitmap made from it.
    s_picture origin;
    const BBitmap* originof;
    // What Draw shows for image: the image itself, or a copy in the
    // display's colours when its profile asks for one (made once per change
    // of the picture).
    BPrivate::DisplayCopy displaycopy;
    // The format of File > Save as ... (Ctrl+S): the last one used, PNG at first.
    int16 lastformat;
    int16 savingformat() const;
    // What the Save panel proposes, before the format's extension: the
    // file's name, or capture-YYYY-MM-DD-HHMMSS.png; empty: title.
    std::string docname;
    // File > Capture delay, in seconds, for every kind of capture.
    int32 capturedelay;
    // A captured window keeps its window manager's frame.
    bool captureframe;

private:
    void _CaptureDelayEnded(BMessage* message);
    void _TakeCapture(const BMessage& request);
    // Shows, saves or copies what a capture gave (shot is handed over), or
    // says why there is nothing.
    void _CaptureEnded(status_t status, BBitmap* shot, const BMessage& request);

    // The state the view shows now, for the history. The image goes with it
    // unless keepimage; the history then holds a copy.
    s_step _Now(bool keepimage);
    // Records the state before a change; returns the picture recorded, which
    // has no source when there is no memory to keep the image.
    s_picture _Remember(bool keepimage);
    // A change that replaces the image (open, capture, drop, close).
    void _Replace(BBitmap* fresh);
    void _Restore(s_step& step);
    // Keeps the history in its budget after a change, and the Edit menu up
    // to date.
    void _HistoryChanged(bool changed = true);
    // Arrow keys, Page Up/Down, Home and End.
    void _ScrollKey(char key);
    // Shift and the arrows: the selection's right-bottom corner by step pixels.
    void _GrowSelection(char key, int32 step);
    // Saves under name, with the format's extension added when it has none,
    // and asks first when it names another format.
    void _SaveNamed(entry_ref& dir, const char* name);
    // Saves under a name the program made, asking before it replaces a file.
    void _SaveMadeName(entry_ref& dir, const std::string& made);
    // The answer to one of those questions.
    void _SaveChoice(BMessage* message);
    // Opens the files of a B_SIMPLE_DATA message; the first that loads wins.
    void _OpenRefs(BMessage* message);
    void _Intake(BMessage* message);
    void _TakeData(BMessage* message);
    // A black w x h image named name for dropped or pasted data; false
    // (and the view emptied) when there is no memory for it.
    bool _NewImage(int32 w, int32 h, const char* name = "no title");
    // Pastes w x h 32-bit pixels, rows rowBytes apart, at droppos; created
    // says the image was just made for them.
    void _PasteRows(const uint8* rows, int64 w, int64 h, int64 rowBytes, bool created);
    void _ForgetPanel();
    // Shows the document name, the picture's size and the zoom in the title.
    void _Title();
    // The view scrolled to origin, kept within the picture.
    void _ScrollWithin(BPoint origin);
    // Paints the part of update that the picture does not cover.
    void _FillOutside(BRect update);
    // Makes the selection fit the current image; false when nothing of it is left.
    bool _ClipSelection();

    // Panels the view has forgotten; released once they have closed.
    std::vector<BFilePanel*> fRetiredPanels;
    // The capture waiting for its delay to pass.
    BMessage fPendingCapture;
};

// select_trans for any caller: the first catalogue format with this MIME
// type, or 0 and 0.
void select_format(const char* mime, ulong* id, ulong* type);

// Copies rect of a 32-bit image (rect lies on it) into a bitmap of its own
// whose rows have no gaps.
void copy_pixels(const BBitmap* image, BRect rect, BBitmap* into);

// Answers a B_COPY_TARGET for bitmap, as a drag's target or a program that
// pastes asks: a file written into the folder named ("directory", "name",
// "be:filetypes"), or a B_MIME_DATA reply in the type asked for, encoded off
// the GUI thread. bitmap is lent to the encoder and back again.
void answer_copy_target(BMessage* message, BBitmap*& bitmap);

// Where dropped image data is pasted, in view coordinates.
extern BPoint droppos;

// True for a drop position (or point, or offset) that can be used: both
// coordinates finite and within +-2^30, so that pixel arithmetic on them
// cannot overflow. Anything else comes from a confused or hostile drag
// source and is ignored.
bool usable_drop_position(BPoint point);

// Composes "name[WxH]" into out, which holds size bytes, followed by the
// zoom as a percentage (" 25%") when it is not 1. A name too long for it is
// shortened in the middle with "…", keeping its extension and the whole
// size, and never cutting a UTF-8 character.
void compose_title(char* out, size_t size, const char* name, int width, int height, float zoom = 1);

// The zoom one step in or out from zoom, on a scale of whole and simple
// fractions (1/64 … 1/2, 2/3, 1, 1.5, 2, 3, 4 … 64); a zoom between steps
// goes to the next one in that direction, and the ends stay where they are.
float next_zoom(float zoom, bool in);

// The window title's capacity, its NUL included.
const size_t kTitleSize = 64;

#endif
