#ifndef _PRINTJOB_H
#define _PRINTJOB_H

#include <Point.h>
#include <Rect.h>

class BView;

namespace BPrivate {
struct PrintJobData;
}

// A print job on the system's print service: CUPS printers, or a PDF file.
// ConfigPage and ConfigJob show the page set-up and print dialogs; a job
// whose dialog was cancelled prints nothing and reports nothing. Rectangles
// are in points (1/72 inch) on the paper; drawing with DrawView lands on the
// current page at the given point of the printable area.
class BPrintJob
{
public:
    enum { B_BW_PRINTER = 0, B_COLOR_PRINTER };
    enum { B_PORTRAIT_ORIENTATION = 0, B_LANDSCAPE_ORIENTATION };

    BPrintJob(const char* name);
    virtual ~BPrintJob();

    // The orientation of the page the dialogs start from (portrait unless
    // set); the user may still change it there.
    void SetOrientation(int32 orientation);

    // B_OK when the user accepted the dialog, B_CANCELED when not.
    status_t ConfigPage();
    status_t ConfigJob();

    void BeginJob();
    // Draws rect of view, placed with its top-left corner at where on the
    // printable area, through the view's own Draw with IsPrinting() true.
    virtual void DrawView(BView* view, BRect rect, BPoint where);
    // Ends the current page; the next DrawView starts a new one.
    void SpoolPage();
    void CommitJob();
    void CancelJob();
    // False once the job was cancelled or the print system failed.
    bool CanContinue();

    BRect PaperRect();
    BRect PrintableRect();
    void GetResolution(int32* xdpi, int32* ydpi);

private:
    BPrintJob(const BPrintJob&) = delete;
    BPrintJob& operator=(const BPrintJob&) = delete;

    BPrivate::PrintJobData* fData;
};

#endif
