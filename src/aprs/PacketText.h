#pragma once

#include <QString>

#include <string_view>

// Packet bytes carry no declared encoding: modern software sends UTF-8, older
// software Latin-1 or a DOS code page. A field that is well-formed UTF-8 is
// read as UTF-8, anything else as Latin-1, so no byte is ever lost or replaced.
namespace aprs::text {

// True when the bytes are well-formed UTF-8 (no overlong forms, surrogates or
// code points above U+10FFFF). Plain ASCII is well-formed UTF-8.
bool isUtf8(std::string_view bytes);

// The bytes as Unicode: UTF-8 when utf8 is true, Latin-1 otherwise.
QString toUnicode(std::string_view bytes, bool utf8);

// The bytes as Unicode, choosing the encoding for these bytes alone.
inline QString toUnicode(std::string_view bytes) { return toUnicode(bytes, isUtf8(bytes)); }

// How many UTF-16 units the bytes become; for UTF-8 the bytes must be
// well-formed and must not end inside a character.
qsizetype utf16Length(std::string_view bytes, bool utf8);

}  // namespace aprs::text
