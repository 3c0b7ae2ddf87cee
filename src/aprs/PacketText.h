#pragma once

#include <QString>

#include <string_view>

// Packet bytes carry no declared encoding: modern software sends UTF-8, older
// software Latin-1 or a DOS code page. A field that is well-formed UTF-8 is
// read as UTF-8, anything else as Latin-1, so no byte is ever lost or replaced.
namespace aprs::text {

enum class Encoding { Ascii, Utf8, Latin1 };

// Ascii for 7-bit bytes, Utf8 for other well-formed UTF-8 (no overlong forms,
// surrogates or code points above U+10FFFF), Latin1 for anything else.
Encoding classify(std::string_view bytes);

// The bytes as Unicode in the given encoding.
QString toUnicode(std::string_view bytes, Encoding encoding);

// The bytes as Unicode, choosing the encoding for these bytes alone.
inline QString toUnicode(std::string_view bytes)
{
    return toUnicode(bytes, classify(bytes));
}

// Sets target to the bytes as Unicode in the given encoding. A target that
// is not shared and has room keeps its storage: nothing is allocated.
void assign(QString &target, std::string_view bytes, Encoding encoding);
inline void assign(QString &target, std::string_view bytes)
{
    assign(target, bytes, classify(bytes));
}
inline void assignLatin1(QString &target, std::string_view bytes)
{
    assign(target, bytes, Encoding::Latin1);
}
// Sets target to the decimal digits of a number, as assign does.
void assignNumber(QString &target, long value);

// How many UTF-16 units the bytes become; for Utf8 the bytes must be
// well-formed and must not end inside a character.
qsizetype utf16Length(std::string_view bytes, Encoding encoding);

}  // namespace aprs::text
