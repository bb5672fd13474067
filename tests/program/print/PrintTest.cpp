// File > Print through the real print dialogs, driven from a timer while
// they run their modal loops, printing to a PDF file that poppler renders
// back into pixels.

#include <Bitmap.h>
#include <Messenger.h>
#include <TranslatorRoster.h>

#include "MainWindow.h"
#include "TestApp.h"
#include "app/tavrin.h"
#include "view/tavrinview.h"
#include "window/tavrinwindow.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QImage>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPageSetupDialog>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace {

// Answers the print dialogs as a user would: the page set-up as it comes, the
// print dialog set to "Print to File (PDF)" with a path.
class DialogDriver
{
public:
    DialogDriver(bool acceptPage, bool acceptJob, QString pdf)
        : fAcceptPage(acceptPage), fAcceptJob(acceptJob), fPdf(std::move(pdf))
    {
        QObject::connect(&fTimer, &QTimer::timeout, [this]() { _Poll(); });
        fTimer.start(10);
    }

    // The dialogs in the order they appeared: "page", "print".
    std::vector<std::string> shown;
    // The printable area in points as the accepted dialogs left it.
    QRectF printable;
    QString jobName;

private:
    void _Poll()
    {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (!widget->isVisible())
                continue;
            if (auto* page = qobject_cast<QPageSetupDialog*>(widget)) {
                shown.push_back("page");
                if (fAcceptPage) {
                    page->accept();
                } else {
                    // The user presses Escape.
                    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
                    QApplication::sendEvent(page, &escape);
                }
            } else if (auto* job = qobject_cast<QPrintDialog*>(widget)) {
                shown.push_back("print");
                if (!fAcceptJob) {
                    job->reject();
                    continue;
                }
                auto* printers = job->findChild<QComboBox*>("printers");
                auto* filename = job->findChild<QLineEdit*>("filename");
                ASSERT_NE(printers, nullptr);
                ASSERT_NE(filename, nullptr);
                int toFile = printers->findText("Print to File (PDF)");
                ASSERT_GE(toFile, 0);
                printers->setCurrentIndex(toFile);
                filename->setText(fPdf);
                job->accept();
                printable = job->printer()->pageLayout().paintRect(QPageLayout::Point);
                jobName = job->printer()->docName();
            }
        }
    }

    bool fAcceptPage;
    bool fAcceptJob;
    QString fPdf;
    QTimer fTimer;
};

// The offscreen test platform remarks on every dialog it shows; that is not
// the program speaking.
std::string without_platform_chatter(const std::string& text)
{
    std::string kept, line;
    for (char c : text) {
        if (c != '\n') {
            line += c;
            continue;
        }
        if (line != "This plugin does not support propagateSizeHints()")
            kept += line + '\n';
        line.clear();
    }
    return kept + line;
}

uint32 block_colour(int column, int row)
{
    return 0xff000000u | (uint32)(column * 25) << 16 | (uint32)(row * 50) << 8 | 0x80;
}

// An image of width x height pixels made of blocks of 10 x 10 colours, so
// that every part of it has a colour of its own.
BBitmap* make_blocks(int width, int height)
{
    BBitmap* bitmap = new BBitmap(BRect(0, 0, width - 1, height - 1), B_RGB32);
    uint32* bits = static_cast<uint32*>(bitmap->Bits());
    for (int y = 0; y < height; y++) {
        for (int x = 0; x < width; x++)
            bits[y * width + x] = block_colour(x * 10 / width, y * 10 / height);
    }
    return bitmap;
}

class PrintTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        window = open_main_window();
        settle(window);
        ASSERT_TRUE(dir.isValid());
        pdf = dir.filePath("out.pdf");
    }

    void TearDown() override
    {
        BMessenger messenger(window);
        window->Lock();
        window->QuitRequested();
        window->Quit();
        run_until([&] { return !messenger.IsValid(); });
    }

    void ShowImage(BBitmap* bitmap)
    {
        window->Lock();
        delete window->view->image;
        window->view->image = bitmap;
        window->view->redraw(true);
        window->Unlock();
        settle_window(window);
    }

    void Print()
    {
        window->Lock();
        window->view->print();
        window->Unlock();
    }

    // The first page of the PDF as pixels at dpi, or the part of it in crop.
    QImage Render(int dpi, QRect crop = QRect())
    {
        QString prefix = dir.filePath("page");
        QStringList arguments = {"-r", QString::number(dpi), "-f", "1", "-l", "1", "-singlefile"};
        if (crop.isValid()) {
            arguments << "-x" << QString::number(crop.x()) << "-y" << QString::number(crop.y())
                      << "-W" << QString::number(crop.width()) << "-H"
                      << QString::number(crop.height());
        }
        QFile::remove(prefix + ".ppm");
        int status = QProcess::execute("pdftoppm", arguments << pdf << prefix);
        EXPECT_EQ(status, 0);
        return QImage(prefix + ".ppm").convertToFormat(QImage::Format_RGB32);
    }

    QString Run(const QString& program, const QStringList& arguments)
    {
        QProcess process;
        process.start(program, arguments);
        process.waitForFinished(20000);
        return QString::fromUtf8(process.readAllStandardOutput());
    }

    tavrinwindow* window = nullptr;
    QTemporaryDir dir;
    QString pdf;
};

// Where on the page (in whole points) image pixel (x, y) of a width x height
// image lands when drawn over area.
QPointF page_point(const QRectF& area, int width, int height, double x, double y)
{
    return QPointF(area.left() + x * area.width() / width, area.top() + y * area.height() / height);
}

bool close_to(uint32 a, uint32 b, int tolerance)
{
    for (int shift = 0; shift < 24; shift += 8) {
        if (std::abs((int)((a >> shift) & 0xff) - (int)((b >> shift) & 0xff)) > tolerance)
            return false;
    }
    return true;
}

// The smallest rectangle holding every pixel of page that is not white.
QRect inked(const QImage& page)
{
    QRect covered;
    for (int y = 0; y < page.height(); y++) {
        for (int x = 0; x < page.width(); x++) {
            if ((page.pixel(x, y) & 0xffffff) != 0xffffff)
                covered |= QRect(x, y, 1, 1);
        }
    }
    return covered;
}

// The largest rectangle of the picture's proportions inside area, centred.
QRectF fitted(const QRectF& area, int width, int height)
{
    double scale = std::min(area.width() / width, area.height() / height);
    QSizeF size(width * scale, height * scale);
    return QRectF(area.center() - QPointF(size.width() / 2, size.height() / 2), size);
}

// Checks that the page (one pixel a point) shows the image drawn over
// area: white around it (to a point, as poppler rounds its edges), and the
// middle of every block in its colour, exact or, where poppler shrank the
// image, within tolerance.
void expect_drawn_over(const QImage& page, const QRectF& area, int tolerance)
{
    ASSERT_FALSE(page.isNull());
    QRect ink = inked(page);
    EXPECT_NEAR(ink.left(), area.left(), 1);
    EXPECT_NEAR(ink.top(), area.top(), 1);
    EXPECT_NEAR(ink.right() + 1, area.right(), 1);
    EXPECT_NEAR(ink.bottom() + 1, area.bottom(), 1);

    for (int row = 0; row < 10; row++) {
        for (int column = 0; column < 10; column++) {
            // The middle third of the block, away from its edges.
            QPointF from = page_point(area, 10, 10, column + 0.34, row + 0.34);
            QPointF to = page_point(area, 10, 10, column + 0.66, row + 0.66);
            for (int y = (int)from.y(); y <= (int)to.y(); y++) {
                for (int x = (int)from.x(); x <= (int)to.x(); x++) {
                    ASSERT_TRUE(close_to(page.pixel(x, y), block_colour(column, row), tolerance))
                        << "block " << column << "," << row << " at page point " << x << "," << y
                        << ": " << std::hex << page.pixel(x, y);
                }
            }
        }
    }
}

TEST_F(PrintTest, PictureIsFittedCentredAndTurnedToItsPage)
{
    struct Case
    {
        int width, height;
        int tolerance;
    } cases[] = {{900, 600, 0}, {600, 900, 0}, {100, 50, 0}, {4000, 3000, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
        QFile::remove(pdf);
        ShowImage(make_blocks(c.width, c.height));
        DialogDriver driver(true, true, pdf);
        Print();
        EXPECT_EQ(driver.shown, (std::vector<std::string>{"page", "print"}));
        ASSERT_TRUE(QFile::exists(pdf));
        EXPECT_EQ(driver.jobName, "tavrin");
        ASSERT_TRUE(driver.printable.isValid());
        // A landscape picture gets a landscape page, a portrait one a portrait page.
        EXPECT_EQ(driver.printable.width() > driver.printable.height(), c.width > c.height);

        QRectF area = fitted(driver.printable, c.width, c.height);
        expect_drawn_over(Render(72), area, c.tolerance);
        // Ten times finer, around the far corner: the picture ends where the
        // fit puts it, to a tenth of a point.
        QPoint corner = (area.bottomRight() * 10).toPoint();
        QRect detail = inked(Render(720, QRect(corner - QPoint(50, 50), QSize(100, 100))));
        EXPECT_EQ(detail.topLeft(), QPoint(0, 0));
        EXPECT_NEAR(detail.right(), 50, 1);
        EXPECT_NEAR(detail.bottom(), 50, 1);

        // The picture travels whole and losslessly (one image of the
        // source's size, not JPEG), as many pixels an inch across as down.
        QStringList images = Run("pdfimages", {"-list", pdf}).split('\n', Qt::SkipEmptyParts);
        ASSERT_EQ(images.size(), 3) << images.join('\n').toStdString();
        QStringList fields = images[2].simplified().split(' ');
        EXPECT_EQ(fields[3].toInt(), c.width);
        EXPECT_EQ(fields[4].toInt(), c.height);
        EXPECT_NE(fields[8].toStdString(), "jpeg");
        EXPECT_EQ(fields[12].toInt(), fields[13].toInt()) << images[2].toStdString();

        EXPECT_TRUE(Run("pdfinfo", {pdf}).contains(QRegularExpression("Title:\\s+tavrin\\n")));
    }
}

TEST_F(PrintTest, WithNoImageNothingHappens)
{
    DialogDriver driver(true, true, pdf);
    Print();
    // Time for a dialog or a file that should not come: none does.
    run_for(100);
    EXPECT_TRUE(driver.shown.empty());
    EXPECT_FALSE(QFile::exists(pdf));
}

TEST_F(PrintTest, ACancelledDialogPrintsNothingAndSaysNothing)
{
    // Escape in the page set-up ends the print there.
    struct Case
    {
        bool acceptPage, acceptJob;
        std::vector<std::string> shown;
    } cases[] = {
        {false, true, {"page"}}, {true, false, {"page", "print"}}, {false, false, {"page"}}};
    ShowImage(make_blocks(100, 50));
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("page ") + (c.acceptPage ? "accepted" : "cancelled") + ", print " +
                     (c.acceptJob ? "accepted" : "cancelled"));
        DialogDriver driver(c.acceptPage, c.acceptJob, pdf);
        testing::internal::CaptureStderr();
        Print();
        std::string said = without_platform_chatter(testing::internal::GetCapturedStderr());
        EXPECT_EQ(driver.shown, c.shown);
        EXPECT_FALSE(QFile::exists(pdf));
        EXPECT_EQ(said, "");
    }
}

} // namespace
