#include "report/JsonWriter.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

void JsonWriter::beginObject()
{
    beforeValue();
    mOut += '{';
    mLevels.push_back({true, false, true});
}

void JsonWriter::endObject()
{
    Q_ASSERT(!mLevels.empty() && mLevels.back().object && !mAfterKey);
    mLevels.pop_back();
    mOut += '}';
}

void JsonWriter::beginArray(bool linePerValue)
{
    beforeValue();
    mOut += '[';
    mLevels.push_back({false, linePerValue, true});
}

void JsonWriter::endArray()
{
    Q_ASSERT(!mLevels.empty() && !mLevels.back().object);
    mLevels.pop_back();
    mOut += ']';
}

JsonWriter &JsonWriter::key(QLatin1String name)
{
    Q_ASSERT(!mLevels.empty() && mLevels.back().object && !mAfterKey);
    Level &level = mLevels.back();
    if (!level.empty)
        mOut += ',';
    level.empty = false;
    const bool plain = std::all_of(name.begin(), name.end(),
        [](char c) { return c >= 0x20 && c < 0x7F && c != '"' && c != '\\' && c != '<' && c != '>' && c != '&'; });
    if (plain) {
        mOut += '"';
        mOut.append(name.data(), name.size());
        mOut += '"';
    } else {
        appendString(QString(name));
    }
    mOut += ':';
    mAfterKey = true;
    return *this;
}

void JsonWriter::beforeValue()
{
    if (mAfterKey) {
        mAfterKey = false;
        return;
    }
    if (mLevels.empty())
        return;
    Level &level = mLevels.back();
    Q_ASSERT(!level.object);  // an object's value needs its key first
    if (!level.empty)
        mOut += ',';
    if (level.linePerValue)
        mOut += '\n';
    level.empty = false;
}

void JsonWriter::string(const QString &text)
{
    beforeValue();
    appendString(text);
}

void JsonWriter::appendString(QStringView text)
{
    mOut += '"';
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t u = text.at(i).unicode();
        switch (u) {
        case u'"':
            mOut += "\\\"";
            break;
        case u'\\':
            mOut += "\\\\";
            break;
        case u'\n':
            mOut += "\\n";
            break;
        case u'\r':
            mOut += "\\r";
            break;
        case u'\t':
            mOut += "\\t";
            break;
        default:
            if (u < 0x20 || u == u'<' || u == u'>' || u == u'&' || u == 0x2028 || u == 0x2029) {
                // U+2028 and U+2029 end a line in older JavaScript.
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", unsigned(u));
                mOut += escaped;
            } else if (u < 0x80) {
                mOut += char(u);
            } else if (QChar::isHighSurrogate(u) && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
                // A character beyond U+FFFF: both halves make its four UTF-8 bytes.
                mOut += text.sliced(i, 2).toUtf8();
                ++i;
            } else if (QChar::isSurrogate(u)) {
                mOut += "\xef\xbf\xbd";  // a lone surrogate half: U+FFFD
            } else {
                mOut += text.sliced(i, 1).toUtf8();
            }
        }
    }
    mOut += '"';
}

void JsonWriter::number(double value, int places)
{
    beforeValue();
    if (!std::isfinite(value)) {
        mOut += "null";
        return;
    }
    const double scale = std::pow(10.0, places);
    const double scaled = value * scale;
    // From 2^52 up a double has no fraction left to round away.
    double rounded = std::fabs(scaled) < 0x1p52 ? std::round(scaled) / scale : value;
    if (rounded == 0)
        rounded = 0;  // no "-0"
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, rounded);
    mOut.append(buffer, result.ptr - buffer);
}

void JsonWriter::integer(qint64 value)
{
    beforeValue();
    mOut += QByteArray::number(value);
}

void JsonWriter::null()
{
    beforeValue();
    mOut += "null";
}
