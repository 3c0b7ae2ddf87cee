#pragma once

#include <QLatin1String>
#include <QRect>
#include <QWidget>
#include <utility>

// Window layouts are given in twips; at the usual 96 dpi a pixel is 15 twips.
inline constexpr int twips(int value)
{
    return value / 15;
}
inline QRect twipsRect(int left, int top, int width, int height)
{
    return QRect(twips(left), twips(top), twips(width), twips(height));
}

// Creates a control inside parent with its object name (tests find controls
// by it) and its fixed place. Extra arguments go to the control's constructor
// before the parent, e.g. a caption.
template <typename Control, typename... Args>
Control *placeControl(QWidget *parent, const char *name, QRect geometry, Args &&...args)
{
    auto *control = new Control(std::forward<Args>(args)..., parent);
    control->setObjectName(QLatin1String(name));
    control->setGeometry(geometry);
    return control;
}
