// File > Print: the whole picture on one page, as large as the printable
// area allows with its proportions kept, centred there. A picture wider than
// tall starts on a landscape page, where it comes out larger; the page set-up
// dialog can still turn it back.

#include <PrintJob.h>

#include "view/tavrinview.h"

#include <algorithm>

void tavrinview::print()
{
    if (!image)
        return;
    BPrintJob job("tavrin");
    float width = pic.Width() + 1;
    float height = pic.Height() + 1;
    job.SetOrientation(width > height ? BPrintJob::B_LANDSCAPE_ORIENTATION
                                      : BPrintJob::B_PORTRAIT_ORIENTATION);
    // Escape (or Cancel) in either dialog is the end of it.
    if (job.ConfigPage() != B_OK || job.ConfigJob() != B_OK)
        return;
    // The printable area is in points, not whole ones.
    BRect printable = job.PrintableRect();
    float areaWidth = printable.Width() + 1;
    float areaHeight = printable.Height() + 1;
    float scale = std::min(areaWidth / width, areaHeight / height);
    float shownWidth = width * scale;
    float shownHeight = height * scale;
    BRect shown(0, 0, shownWidth - 1, shownHeight - 1);
    BPoint where((areaWidth - shownWidth) / 2, (areaHeight - shownHeight) / 2);
    job.BeginJob();
    job.DrawView(this, shown, where);
    job.SpoolPage();
    job.CommitJob();
}
