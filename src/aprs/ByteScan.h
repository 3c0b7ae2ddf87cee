#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

// Small byte tests shared by the decoders. The packet is bytes, not text, so
// these never consult the locale.
namespace aprs::detail {

inline bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}
inline bool isUpper(char c)
{
    return c >= 'A' && c <= 'Z';
}
inline bool isLower(char c)
{
    return c >= 'a' && c <= 'z';
}
inline bool isAlnum(char c)
{
    return isDigit(c) || isUpper(c) || isLower(c);
}
inline bool isHexDigit(char c)
{
    return isDigit(c) || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}
// White space as the APRS software around us treats it.
inline bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}
inline unsigned char byteAt(std::string_view s, std::size_t i)
{
    return static_cast<unsigned char>(s[i]);
}
inline bool inRange(std::string_view s, std::size_t i, unsigned char low, unsigned char high)
{
    return i < s.size() && byteAt(s, i) >= low && byteAt(s, i) <= high;
}

inline bool allDigits(std::string_view s)
{
    if (s.empty())
        return false;
    for (const char c : s) {
        if (!isDigit(c))
            return false;
    }
    return true;
}

// Value of a run of digits already checked with allDigits; at most 9 digits.
inline long digitsValue(std::string_view s)
{
    long v = 0;
    for (const char c : s)
        v = v * 10 + (c - '0');
    return v;
}

inline int hexValue(char c)
{
    if (isDigit(c))
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return c - 'A' + 10;
}

// A plain decimal number: optional '-', digits, optional '.' and digits
// ("12", "-0.5", "23.726", ".12" when allowLeadingDot). Nothing else.
inline std::optional<double> parseDecimal(std::string_view s, bool allowLeadingDot = false)
{
    std::size_t i = 0;
    bool negative = false;
    if (i < s.size() && s[i] == '-') {
        negative = true;
        ++i;
    }
    double value = 0;
    std::size_t intDigits = 0;
    while (i < s.size() && isDigit(s[i])) {
        value = value * 10 + (s[i] - '0');
        ++i;
        ++intDigits;
    }
    std::size_t fracDigits = 0;
    if (i < s.size() && s[i] == '.') {
        ++i;
        double scale = 0.1;
        while (i < s.size() && isDigit(s[i])) {
            value += (s[i] - '0') * scale;
            scale /= 10;
            ++i;
            ++fracDigits;
        }
        if (fracDigits == 0)
            return std::nullopt;
    }
    if (i != s.size() || (intDigits == 0 && (fracDigits == 0 || !allowLeadingDot)))
        return std::nullopt;
    return negative ? -value : value;
}

inline std::string_view trimBlanks(std::string_view s)
{
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

}  // namespace aprs::detail
