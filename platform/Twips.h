// Window geometry is designed in twips; this is the one place they become pixels.
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

namespace Twips {

inline constexpr int PerPixel = 15;

constexpr int toPixels(int twips)
{
    // Round half away from zero, so 5564 twips is 371 px and -120 is -8.
    return twips >= 0 ? (twips + PerPixel / 2) / PerPixel : -((-twips + PerPixel / 2) / PerPixel);
}

constexpr QRect rect(int left, int top, int width, int height)
{
    return QRect(toPixels(left), toPixels(top), toPixels(width), toPixels(height));
}

constexpr QSize size(int width, int height) { return QSize(toPixels(width), toPixels(height)); }

constexpr QPoint point(int left, int top) { return QPoint(toPixels(left), toPixels(top)); }

} // namespace Twips
