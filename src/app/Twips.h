#pragma once

#include <QRect>

// Window layouts are given in twips; at the usual 96 dpi a pixel is 15 twips.
inline constexpr int twips(int value) { return value / 15; }
inline QRect twipsRect(int left, int top, int width, int height)
{
    return QRect(twips(left), twips(top), twips(width), twips(height));
}
