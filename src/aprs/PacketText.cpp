#include "aprs/PacketText.h"

#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace aprs::text {

namespace {

bool isContinuation(unsigned char c)
{
    return (c & 0xC0) == 0x80;
}

}  // namespace

Encoding classify(std::string_view bytes)
{
    const auto *s = reinterpret_cast<const unsigned char *>(bytes.data());
    const std::size_t n = bytes.size();
    std::size_t i = 0;
    bool ascii = true;
    while (i < n) {
        // Most packets are ASCII: skip eight bytes at a time while they are.
        while (i + 8 <= n) {
            std::uint64_t word;
            std::memcpy(&word, s + i, sizeof word);
            if (word & 0x8080808080808080ULL)
                break;
            i += 8;
        }
        if (i >= n)
            break;
        const unsigned char c = s[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        std::size_t extra;
        unsigned char low = 0x80, high = 0xBF;  // allowed range of the second byte
        if (c >= 0xC2 && c <= 0xDF) {
            extra = 1;
        } else if (c == 0xE0) {
            extra = 2;
            low = 0xA0;  // overlong
        } else if ((c >= 0xE1 && c <= 0xEC) || c == 0xEE || c == 0xEF) {
            extra = 2;
        } else if (c == 0xED) {
            extra = 2;
            high = 0x9F;  // surrogates
        } else if (c == 0xF0) {
            extra = 3;
            low = 0x90;  // overlong
        } else if (c >= 0xF1 && c <= 0xF3) {
            extra = 3;
        } else if (c == 0xF4) {
            extra = 3;
            high = 0x8F;  // above U+10FFFF
        } else {
            return Encoding::Latin1;
        }
        if (n - i <= extra)
            return Encoding::Latin1;
        if (s[i + 1] < low || s[i + 1] > high)
            return Encoding::Latin1;
        for (std::size_t k = 2; k <= extra; ++k) {
            if (!isContinuation(s[i + k]))
                return Encoding::Latin1;
        }
        ascii = false;
        i += extra + 1;
    }
    return ascii ? Encoding::Ascii : Encoding::Utf8;
}

QString toUnicode(std::string_view bytes, Encoding encoding)
{
    const auto size = static_cast<qsizetype>(bytes.size());
    // ASCII reads the same either way, and the Latin-1 path is the cheaper one.
    return encoding == Encoding::Utf8 ? QString::fromUtf8(bytes.data(), size) : QString::fromLatin1(bytes.data(), size);
}

void assign(QString &target, std::string_view bytes, Encoding encoding)
{
    const auto *s = reinterpret_cast<const unsigned char *>(bytes.data());
    const std::size_t n = bytes.size();
    if (encoding != Encoding::Utf8) {
        target.resize(static_cast<qsizetype>(n));
        char16_t *out = reinterpret_cast<char16_t *>(target.data());
        std::size_t i = 0;
#if defined(__SSE2__)
        // Sixteen bytes at a time: each byte widened to a UTF-16 unit.
        const __m128i zero = _mm_setzero_si128();
        for (; i + 16 <= n; i += 16) {
            const __m128i bytes16 = _mm_loadu_si128(reinterpret_cast<const __m128i *>(s + i));
            _mm_storeu_si128(reinterpret_cast<__m128i *>(out + i), _mm_unpacklo_epi8(bytes16, zero));
            _mm_storeu_si128(reinterpret_cast<__m128i *>(out + i + 8), _mm_unpackhi_epi8(bytes16, zero));
        }
#endif
        for (; i < n; ++i)
            out[i] = s[i];
        return;
    }
    // Well-formed UTF-8 (classify said so): no checks needed here.
    target.resize(utf16Length(bytes, encoding));
    char16_t *out = reinterpret_cast<char16_t *>(target.data());
    std::size_t i = 0;
    while (i < n) {
        const unsigned char c = s[i];
        if (c < 0x80) {
            *out++ = c;
            ++i;
        } else if (c < 0xE0) {
            *out++ = static_cast<char16_t>(((c & 0x1F) << 6) | (s[i + 1] & 0x3F));
            i += 2;
        } else if (c < 0xF0) {
            *out++ = static_cast<char16_t>(((c & 0x0F) << 12) | ((s[i + 1] & 0x3F) << 6) | (s[i + 2] & 0x3F));
            i += 3;
        } else {
            const char32_t u =
                ((c & 0x07) << 18) | ((s[i + 1] & 0x3F) << 12) | ((s[i + 2] & 0x3F) << 6) | (s[i + 3] & 0x3F);
            *out++ = static_cast<char16_t>(0xD800 + ((u - 0x10000) >> 10));
            *out++ = static_cast<char16_t>(0xDC00 + ((u - 0x10000) & 0x3FF));
            i += 4;
        }
    }
}

void assignNumber(QString &target, long value)
{
    char digits[24];
    std::size_t at = sizeof digits;
    const bool negative = value < 0;
    unsigned long v = negative ? 0UL - static_cast<unsigned long>(value) : static_cast<unsigned long>(value);
    do {
        digits[--at] = static_cast<char>('0' + v % 10);
        v /= 10;
    } while (v != 0);
    if (negative)
        digits[--at] = '-';
    assign(target, std::string_view(digits + at, sizeof digits - at), Encoding::Ascii);
}

qsizetype utf16Length(std::string_view bytes, Encoding encoding)
{
    if (encoding != Encoding::Utf8)
        return static_cast<qsizetype>(bytes.size());
    qsizetype units = 0;
    for (const char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (!isContinuation(c))
            ++units;
        if (c >= 0xF0)
            ++units;  // a character outside the BMP takes a surrogate pair
    }
    return units;
}

}  // namespace aprs::text
