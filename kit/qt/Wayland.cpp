#include "Wayland.h"

#include <QGuiApplication>
#include <qpa/qplatformnativeinterface.h>

namespace BPrivate {

wl_display* wayland_display()
{
    if (!qGuiApp || QGuiApplication::platformName() != QLatin1String("wayland"))
        return nullptr;
    QPlatformNativeInterface* native = QGuiApplication::platformNativeInterface();
    return native ? static_cast<wl_display*>(native->nativeResourceForIntegration("wl_display"))
                  : nullptr;
}

} // namespace BPrivate
