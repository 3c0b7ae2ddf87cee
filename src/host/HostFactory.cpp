#include "host/HostFactory.h"

#include "host/SilentHost.h"

std::unique_ptr<HostApplication> createHostApplication()
{
    return std::make_unique<SilentHost>();
}
