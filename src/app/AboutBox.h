#pragma once

#include <QString>

class QWidget;

// The one-line About message: name, author credit, web address and version.
namespace AboutBox {
QString message(int major, int minor, int revision);
void show(QWidget *parent);
}  // namespace AboutBox
