#include "Pixels.h"

#include <View.h>
#include <Window.h>

#include "interface/ViewPrivate.h"
#include "interface/WindowPrivate.h"

#include <QWidget>

namespace {

// Widgets paint only what can be seen on the screen; the rest of the picture
// stays black.
QImage render(QWidget* widget)
{
    if (!widget)
        return QImage();
    QImage image(widget->size(), QImage::Format_RGB32);
    image.fill(Qt::black);
    widget->render(&image);
    return image;
}

} // namespace

QImage grab_window(BWindow* window)
{
    return render(BPrivate::WindowBridge::Data(window)->widget);
}

QImage grab_view(BView* view)
{
    return render(BPrivate::ViewBridge::Widget(view));
}
