#pragma once

#include "host/HostApplication.h"

#include <QString>
#include <QStringList>

#include <memory>

// Creates the host application that start-up attaches to.
std::unique_ptr<HostApplication> createHostApplication();

// What stops the host's settings file (keldan --config FILE) from being used
// as it stands, one problem a line: the file cannot be read, a line is no
// setting, or a value cannot be used. Empty when it is fine.
QStringList hostConfigProblems(const QString &path);
