// File > Print: the whole image, stretched over the printable area of one
// page, its width and height scaled apart.

#include <PrintJob.h>

#include "view/tavrinview.h"

void tavrinview::print()
{
    if (!image)
        return;
    BPrintJob job("tavrin");
    job.ConfigPage();
    job.ConfigJob();
    BRect printable = job.PrintableRect();
    job.BeginJob();
    job.DrawView(this, printable, BPoint(0, 0));
    job.SpoolPage();
    job.CommitJob();
}
