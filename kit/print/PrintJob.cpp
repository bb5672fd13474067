// BPrintJob on Qt PrintSupport. The job owns one QPrinter for its life; the
// dialogs edit that printer, and drawing goes through a QPainter on it whose
// units are scaled to points, the unit of the job's rectangles.

#include <PrintJob.h>

#include <PixelSize.h>
#include <View.h>

#include "interface/ViewPrivate.h"

#include <QPageSetupDialog>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>

#include <cmath>
#include <cstdio>
#include <memory>

using BPrivate::ViewBridge;
using BPrivate::ViewData;

namespace BPrivate {

struct PrintJobData
{
    enum State { kNew, kConfigured, kCancelled, kPrinting, kDone, kFailed };

    QPrinter printer{QPrinter::HighResolution};
    std::unique_ptr<QPainter> painter;
    State state = kNew;
    bool pageSpooled = false;
};

} // namespace BPrivate

using BPrivate::PrintJobData;

namespace {

QRectF to_qrectf(BRect rect)
{
    return QRectF(rect.left, rect.top, pixel_width(rect), pixel_height(rect));
}

BRect to_brect(const QRectF& rect)
{
    return BRect(rect.left(), rect.top(), rect.left() + rect.width() - 1,
                 rect.top() + rect.height() - 1);
}

// Paints rect of view, then its children, in the painter's current
// coordinates, which are the view's own.
void draw_tree(QPainter& painter, BView* view, BRect rect)
{
    ViewData* data = ViewBridge::Data(view);
    painter.save();
    painter.setClipRect(to_qrectf(rect), Qt::IntersectClip);
    if (data->flags & B_WILL_DRAW) {
        data->printPainter = &painter;
        data->printSource = rect;
        view->Draw(rect);
        data->printPainter = nullptr;
    }
    for (int32 i = 0; i < view->CountChildren(); i++) {
        BView* child = view->ChildAt(i);
        if (child->IsHidden())
            continue;
        BRect frame = child->Frame();
        BRect part = frame & rect;
        if (!part.IsValid())
            continue;
        BRect bounds = child->Bounds();
        float dx = bounds.left - frame.left;
        float dy = bounds.top - frame.top;
        painter.save();
        painter.translate(-dx, -dy);
        draw_tree(painter, child, part.OffsetByCopy(dx, dy));
        painter.restore();
    }
    painter.restore();
}

// Qt warns that its page set-up dialog is meant for system printers whenever
// no CUPS printer exists and the job would print to a PDF file; the dialog
// works for both, so that one warning is kept off the user's terminal.
QtMessageHandler sPreviousHandler = nullptr;

void quiet_page_setup(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (message.startsWith(QLatin1String("QPageSetupDialog: Cannot be used on non-native")))
        return;
    if (sPreviousHandler)
        sPreviousHandler(type, context, message);
    else
        fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
}

} // namespace

BPrintJob::BPrintJob(const char* name) : fData(new PrintJobData)
{
    // The print system shows the document name as the job's name.
    fData->printer.setDocName(QString::fromUtf8(name ? name : ""));
    fData->printer.setCreator(QStringLiteral("tavrin"));
}

BPrintJob::~BPrintJob()
{
    if (fData->state == PrintJobData::kPrinting)
        CancelJob();
    delete fData;
}

void BPrintJob::SetOrientation(int32 orientation)
{
    if (fData->state == PrintJobData::kPrinting)
        return;
    fData->printer.setPageOrientation(
        orientation == B_LANDSCAPE_ORIENTATION ? QPageLayout::Landscape : QPageLayout::Portrait);
}

status_t BPrintJob::ConfigPage()
{
    if (fData->state == PrintJobData::kPrinting)
        return B_NOT_ALLOWED;
    sPreviousHandler = qInstallMessageHandler(quiet_page_setup);
    int result;
    {
        QPageSetupDialog dialog(&fData->printer);
        result = dialog.exec();
    }
    qInstallMessageHandler(sPreviousHandler);
    if (result != QDialog::Accepted) {
        fData->state = PrintJobData::kCancelled;
        return B_CANCELED;
    }
    return B_OK;
}

status_t BPrintJob::ConfigJob()
{
    if (fData->state == PrintJobData::kPrinting)
        return B_NOT_ALLOWED;
    QPrintDialog dialog(&fData->printer);
    dialog.setOption(QAbstractPrintDialog::PrintToFile, true);
    if (dialog.exec() != QDialog::Accepted) {
        fData->state = PrintJobData::kCancelled;
        return B_CANCELED;
    }
    if (fData->state == PrintJobData::kNew)
        fData->state = PrintJobData::kConfigured;
    return B_OK;
}

void BPrintJob::BeginJob()
{
    // Only a job whose dialogs were all accepted prints.
    if (fData->state != PrintJobData::kConfigured)
        return;
    fData->painter = std::make_unique<QPainter>();
    if (!fData->painter->begin(&fData->printer)) {
        fData->painter.reset();
        fData->state = PrintJobData::kFailed;
        return;
    }
    fData->state = PrintJobData::kPrinting;
    fData->pageSpooled = false;
}

void BPrintJob::DrawView(BView* view, BRect rect, BPoint where)
{
    if (fData->state != PrintJobData::kPrinting || !view || !rect.IsValid())
        return;
    QPainter& painter = *fData->painter;
    if (fData->pageSpooled) {
        if (!fData->printer.newPage()) {
            CancelJob();
            fData->state = PrintJobData::kFailed;
            return;
        }
        fData->pageSpooled = false;
    }
    painter.save();
    // The painter starts at the printable area's corner, in device pixels.
    double scale = fData->printer.resolution() / 72.0;
    painter.scale(scale, scale);
    painter.translate(where.x - rect.left, where.y - rect.top);
    // Images reach the printer as they are, not recompressed as JPEG, and
    // scaled without smoothing, as the screen shows them.
    painter.setRenderHint(QPainter::LosslessImageRendering, true);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.setRenderHint(QPainter::Antialiasing, false);
    draw_tree(painter, view, rect);
    painter.restore();
}

void BPrintJob::SpoolPage()
{
    if (fData->state == PrintJobData::kPrinting)
        fData->pageSpooled = true;
}

void BPrintJob::CommitJob()
{
    if (fData->state != PrintJobData::kPrinting)
        return;
    bool ended = fData->painter->end();
    fData->painter.reset();
    fData->state = ended ? PrintJobData::kDone : PrintJobData::kFailed;
}

void BPrintJob::CancelJob()
{
    if (fData->state == PrintJobData::kPrinting) {
        fData->printer.abort();
        fData->painter->end();
        fData->painter.reset();
    }
    fData->state = PrintJobData::kCancelled;
}

bool BPrintJob::CanContinue()
{
    return fData->state != PrintJobData::kCancelled && fData->state != PrintJobData::kFailed;
}

BRect BPrintJob::PaperRect()
{
    return to_brect(fData->printer.pageLayout().fullRect(QPageLayout::Point));
}

BRect BPrintJob::PrintableRect()
{
    return to_brect(fData->printer.pageLayout().paintRect(QPageLayout::Point));
}

void BPrintJob::GetResolution(int32* xdpi, int32* ydpi)
{
    int32 resolution = fData->printer.resolution();
    if (xdpi)
        *xdpi = resolution;
    if (ydpi)
        *ydpi = resolution;
}
