#include "X11.h"

#include <QGuiApplication>

namespace BPrivate {

xcb_connection_t* x11_connection()
{
    if (!qGuiApp || QGuiApplication::platformName() != QLatin1String("xcb"))
        return nullptr;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

} // namespace BPrivate
