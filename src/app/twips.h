#pragma once
// Window positions are designed in twips (1/1440 inch); at 96 dots per inch a
// pixel is 15 twips.

#include <QRect>
#include <cmath>

namespace kv {

inline constexpr int TwipsPerPixel = 15;

inline int toPixels(int twips)
{
    return static_cast<int>(std::lround(static_cast<double>(twips) / TwipsPerPixel));
}

inline int toTwips(int pixels)
{
    return pixels * TwipsPerPixel;
}

struct TwipRect
{
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;

    QRect toPixels() const
    {
        return {kv::toPixels(left), kv::toPixels(top), kv::toPixels(width), kv::toPixels(height)};
    }
};

} // namespace kv
