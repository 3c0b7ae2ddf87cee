#pragma once

#include <QtGlobal>
#include <stdexcept>
#include <string>

// The host speaks in 16-bit Booleans where True is -1 and False is 0, and the
// bridge keeps that form so that isTrue() means what it always meant.
using HostBool = qint16;
inline constexpr HostBool HostTrue = -1;
inline constexpr HostBool HostFalse = 0;

inline constexpr HostBool toHostBool(bool value)
{
    return value ? HostTrue : HostFalse;
}

// The error number shown for a failed host call (the host's automation error).
inline constexpr int HostCallErrorNumber = 440;

// A host call or property read that fails. Records built for tests throw it to
// exercise the failure paths of the beacon road.
class HostError : public std::runtime_error
{
public:
    explicit HostError(const std::string &what) : std::runtime_error(what) { }
};
