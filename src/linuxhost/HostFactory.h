#pragma once

#include "host/HostApplication.h"

#include <memory>

// Creates the host application that start-up attaches to.
std::unique_ptr<HostApplication> createHostApplication();
