#include "app/AboutBox.h"

#include "version/KeldanVersion.h"

#include <QMessageBox>

namespace AboutBox {

QString message(int major, int minor, int revision)
{
    return QStringLiteral("Keldan Bridge by Keldan-Team https://keldan-bridge.example.org Version %1.%2.%3")
        .arg(major)
        .arg(minor)
        .arg(revision);
}

void show(QWidget *parent)
{
    // A no-break space keeps "Version" and its number on one line however the
    // box wraps the text.
    QString text = message(KeldanVersion::Major, KeldanVersion::Minor, KeldanVersion::Patch);
    text.replace(QStringLiteral(" Version "), QStringLiteral(" Version") + QChar(0x00A0));
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("KELDAN"), text, QMessageBox::Ok, parent);
    box.setObjectName(QStringLiteral("aboutBox"));
    box.exec();
}

}  // namespace AboutBox
