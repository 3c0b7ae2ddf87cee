#pragma once

#include "host/HostApplication.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

#include <QtCore/qnamespace.h>

// Creates the host application that start-up attaches to. With a program
// folder, the host journals every packet it hears in its log/ folder;
// timeZone, when given, stands for the host's Time Zone setting (keldan
// --time-zone).
std::unique_ptr<HostApplication> createHostApplication(
    const QString &programFolder, std::optional<Qt::TimeSpec> timeZone = std::nullopt);
inline std::unique_ptr<HostApplication> createHostApplication()
{
    return createHostApplication({});
}

// What stops the host's settings file (keldan --config FILE) from being used
// as it stands, one problem a line: the file cannot be read, a line is no
// setting, or a value cannot be used. Empty when it is fine.
QStringList hostConfigProblems(const QString &path);
