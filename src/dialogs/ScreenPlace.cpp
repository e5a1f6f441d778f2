#include "ScreenPlace.h"

#include <QGuiApplication>
#include <QRect>
#include <QScreen>

namespace tessary {

bool IsReachableOnScreen(const QRect& rect)
{
    const auto screens = QGuiApplication::screens();
    if (screens.isEmpty())
        return true;
    for (const QScreen* screen : screens) {
        const QRect common = screen->availableVirtualGeometry().intersected(rect);
        if (common.width() >= 40 && common.height() >= 20)
            return true;
    }
    return false;
}

} // namespace tessary
