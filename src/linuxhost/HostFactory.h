#pragma once

#include "host/HostApplication.h"

#include <memory>
#include <optional>

#include <QtCore/qnamespace.h>

// Creates the host application that start-up attaches to; timeZone, when
// given, stands for the host's Time Zone setting (keldan --time-zone).
std::unique_ptr<HostApplication> createHostApplication(std::optional<Qt::TimeSpec> timeZone = std::nullopt);
