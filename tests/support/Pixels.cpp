#include "Pixels.h"

#include <View.h>
#include <Window.h>

#include "interface/ViewPrivate.h"
#include "interface/WindowPrivate.h"

#include <QWidget>

QImage grab_window(BWindow* window)
{
    QWidget* widget = BPrivate::WindowBridge::Data(window)->widget;
    return widget ? widget->grab().toImage().convertToFormat(QImage::Format_RGB32) : QImage();
}

QImage grab_view(BView* view)
{
    QWidget* widget = BPrivate::ViewBridge::Widget(view);
    return widget ? widget->grab().toImage().convertToFormat(QImage::Format_RGB32) : QImage();
}
