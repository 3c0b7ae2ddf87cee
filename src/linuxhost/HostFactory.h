#pragma once

#include "host/HostApplication.h"

#include <QString>

#include <memory>

// Creates the host application that start-up attaches to. With a program
// folder, the host journals every packet it hears in its log/ folder.
std::unique_ptr<HostApplication> createHostApplication(const QString &programFolder);
inline std::unique_ptr<HostApplication> createHostApplication()
{
    return createHostApplication({});
}
