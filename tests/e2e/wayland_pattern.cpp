// A native Wayland program for the capture test: a window titled "pattern"
// that draws the test pattern over all of itself, shifted by (DX, DY), and
// says "painted" on standard output once it first has.
//
//   wayland_pattern [DX DY]

#include "XServer.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QRasterWindow>

#include <cstdio>
#include <cstdlib>

class PatternSurface : public QRasterWindow
{
public:
    PatternSurface(int dx, int dy) : fDx(dx), fDy(dy) { setTitle("pattern"); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QImage image(size(), QImage::Format_RGB32);
        for (int y = 0; y < image.height(); y++) {
            auto* row = reinterpret_cast<uint32_t*>(image.scanLine(y));
            for (int x = 0; x < image.width(); x++)
                row[x] = pattern_pixel(x + fDx, y + fDy);
        }
        QPainter(this).drawImage(0, 0, image);
        if (!fPainted) {
            fPainted = true;
            printf("painted\n");
            fflush(stdout);
        }
    }

private:
    int fDx, fDy;
    bool fPainted = false;
};

int main(int argc, char** argv)
{
    QGuiApplication application(argc, argv);
    PatternSurface window(argc == 3 ? atoi(argv[1]) : 0, argc == 3 ? atoi(argv[2]) : 0);
    window.resize(640, 480);
    window.show();
    return application.exec();
}
