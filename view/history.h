#ifndef TAVRIN_HISTORY_H
#define TAVRIN_HISTORY_H

#include <Bitmap.h>

#include <deque>
#include <memory>
#include <string>
#include <vector>

// A bitmap that steps of the history share. The last step to let go of it
// deletes it, unless the view has taken it back as its image.
struct s_source
{
    explicit s_source(BBitmap* bitmap) : bitmap(bitmap) {}
    ~s_source() { delete bitmap; }
    s_source(const s_source&) = delete;
    s_source& operator=(const s_source&) = delete;

    BBitmap* bitmap;
};

// A picture as part of a source: area, in the source's pixels. A crop keeps
// its source and a smaller area, so that cropping again and again costs one
// bitmap, not one per crop. No source: the empty view.
struct s_picture
{
    std::shared_ptr<s_source> source;
    BRect area;
};

// What the view showed before a change: the picture, its name, where it was
// scrolled to and its zoom.
struct s_step
{
    s_picture picture;
    std::string title;
    std::string docname;
    BPoint scroll;
    float zoom;
};

// Edit > Undo and Redo: the view's earlier and later states. The history
// keeps its bitmaps within a budget of twice the bytes of the larger of the
// current picture and the last one before it (so that closing a picture or
// cropping it to a pixel does not throw the steps before away), dropping
// the oldest steps first, but always keeps at least one step.
class history
{
public:
    bool canundo() const { return !fUndo.empty(); }
    bool canredo() const { return !fRedo.empty(); }

    // A change is about to be made; before is what the view shows now.
    // Steps that were undone can no longer be redone.
    void record(s_step before);
    // Trades the state the view shows now for the step before (or after)
    // it; false, and nothing changed, when there is none.
    bool undo(s_step now, s_step* earlier);
    bool redo(s_step now, s_step* later);
    // Drops the oldest steps while the history holds more than its budget,
    // keeping at least one.
    void trim(uint64 currentBytes);
    uint64 budget(uint64 currentBytes) const;

    // The bytes of the bitmaps the steps hold, each shared one counted once.
    uint64 bytes() const;
    int32 count() const { return (int32)(fUndo.size() + fRedo.size()); }

private:
    std::deque<s_step> fUndo; // oldest first
    std::deque<s_step> fRedo; // the next to redo last
};

#endif
