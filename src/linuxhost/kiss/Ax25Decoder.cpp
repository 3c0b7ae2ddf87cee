#include "linuxhost/kiss/Ax25Decoder.h"

namespace {

constexpr int AddressBytes = 7;
constexpr unsigned char ExtensionBit = 0x01;
constexpr unsigned char RepeatedBit = 0x80;  // H bit of a digipeater's SSID byte
constexpr unsigned char UiControl = 0x03;
constexpr unsigned char PollFinalBit = 0x10;
constexpr unsigned char NoLayer3Pid = 0xF0;

bool isCallsignChar(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z');
}

// One address: six characters shifted left one bit, blank-padded, then the
// SSID byte. "WIDE2 " SSID 1 becomes "WIDE2-1".
bool appendAddress(const unsigned char *address, QByteArray &out)
{
    int length = 0;
    bool padding = false;
    for (int i = 0; i < 6; ++i) {
        if (address[i] & ExtensionBit)
            return false;
        const char c = char(address[i] >> 1);
        if (c == ' ') {
            padding = true;
            continue;
        }
        if (padding || !isCallsignChar(c))
            return false;
        out.append(c);
        ++length;
    }
    if (length == 0)
        return false;
    const int ssid = (address[6] >> 1) & 0x0F;
    if (ssid != 0) {
        out.append('-');
        out.append(QByteArray::number(ssid));
    }
    return true;
}

}  // namespace

// The libfap smoke-test frame, C0 00 82 A0 9C 88 60 B4 E0 9E 90 66 A4 84 8A 62 AE 92 88 8A 62 40 63 03 F0 3B ...,
// reads OH3RBE-1>APND0Z,WIDE1-1:;OH3NE    *111111z6129.78N/02343.89Ey...
std::optional<QByteArray> Ax25Decoder::decodeUiFrame(QByteArrayView frame, bool *overlong)
{
    if (overlong)
        *overlong = false;
    const auto *bytes = reinterpret_cast<const unsigned char *>(frame.data());
    const qsizetype size = frame.size();

    int addressCount = 0;
    while (true) {
        const qsizetype end = qsizetype(addressCount + 1) * AddressBytes;
        if (end > size || addressCount == MaxAddresses)
            return std::nullopt;
        ++addressCount;
        if (bytes[end - 1] & ExtensionBit)
            break;
    }
    if (addressCount < 2)
        return std::nullopt;

    const qsizetype controlAt = qsizetype(addressCount) * AddressBytes;
    if (controlAt + 2 > size)
        return std::nullopt;
    if ((bytes[controlAt] & ~PollFinalBit) != UiControl || bytes[controlAt + 1] != NoLayer3Pid)
        return std::nullopt;
    if (size - controlAt - 2 > MaxInfoBytes) {
        if (overlong)
            *overlong = true;
        return std::nullopt;
    }

    // The "*" follows the last digipeater that has repeated the frame.
    int lastRepeated = -1;
    for (int i = 2; i < addressCount; ++i) {
        if (bytes[i * AddressBytes + 6] & RepeatedBit)
            lastRepeated = i;
    }

    QByteArray line;
    line.reserve(size + 16);
    if (!appendAddress(bytes + AddressBytes, line))
        return std::nullopt;
    line.append('>');
    if (!appendAddress(bytes, line))
        return std::nullopt;
    for (int i = 2; i < addressCount; ++i) {
        line.append(',');
        if (!appendAddress(bytes + i * AddressBytes, line))
            return std::nullopt;
        if (i == lastRepeated)
            line.append('*');
    }
    line.append(':');

    // A text line ends at CR or LF, so the information field does too; many
    // trackers end it with CR.
    QByteArrayView info = frame.sliced(controlAt + 2);
    for (qsizetype i = 0; i < info.size(); ++i) {
        if (info[i] == '\r' || info[i] == '\n') {
            info = info.first(i);
            break;
        }
    }
    line.append(info);
    return line;
}
