#include "view/history.h"

#include <algorithm>
#include <set>

void history::record(s_step before)
{
    fRedo.clear();
    fUndo.push_back(std::move(before));
}

bool history::undo(s_step now, s_step* earlier)
{
    if (fUndo.empty())
        return false;
    *earlier = std::move(fUndo.back());
    fUndo.pop_back();
    fRedo.push_back(std::move(now));
    return true;
}

bool history::redo(s_step now, s_step* later)
{
    if (fRedo.empty())
        return false;
    *later = std::move(fRedo.back());
    fRedo.pop_back();
    fUndo.push_back(std::move(now));
    return true;
}

uint64 history::bytes() const
{
    std::set<const s_source*> counted;
    uint64 total = 0;
    auto add = [&](const s_step& step) {
        const s_source* source = step.picture.source.get();
        if (source && source->bitmap && counted.insert(source).second)
            total += (uint64)source->bitmap->BitsLength();
    };
    for (const s_step& step : fUndo)
        add(step);
    for (const s_step& step : fRedo)
        add(step);
    return total;
}

uint64 history::budget(uint64 currentBytes) const
{
    uint64 last = 0;
    if (!fUndo.empty() && fUndo.back().picture.source) {
        BRect area = fUndo.back().picture.area;
        last = (uint64)(area.Width() + 1) * (uint64)(area.Height() + 1) * 4;
    }
    return 2 * std::max(currentBytes, last);
}

void history::trim(uint64 currentBytes)
{
    // The oldest undo steps go first; then the redo steps farthest away.
    uint64 limit = budget(currentBytes);
    while (count() > 1 && bytes() > limit) {
        if (!fUndo.empty())
            fUndo.pop_front();
        else
            fRedo.pop_front();
    }
}
