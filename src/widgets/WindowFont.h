#pragma once

#include <QFont>

// The layouts are measured for a small dialog font (8 points at 96 dpi, about
// 11 pixels); a desktop's larger default would not fit the labels.
inline QFont keldanWindowFont()
{
    QFont font(QStringLiteral("DejaVu Sans Condensed"));
    font.setStretch(QFont::SemiCondensed);
    font.setPixelSize(11);
    return font;
}
