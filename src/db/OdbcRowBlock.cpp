#include "db/OdbcRowBlock.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <sql.h>

static_assert(sizeof(SQLLEN) == sizeof(long), "the indicators are bound as SQLLEN arrays");

OdbcRowBlock::OdbcRowBlock(int columns, bool wide, quint64 numberColumns)
    : mColumns(columns), mWide(wide), mNumberColumns(numberColumns)
{
    mBuffers.resize(columns);
    mIndicators.resize(columns);
    for (int c = 0; c < columns; ++c) {
        mBuffers[c] = QByteArray(RowsPerBlock * (isNumber(c) ? qsizetype(sizeof(double)) : valueBytes()), '\0');
        mIndicators[c].assign(RowsPerBlock, 0);
    }
}

bool OdbcRowBlock::isNull(qsizetype row, int column) const
{
    return mIndicators[column][row] == SQL_NULL_DATA;
}

QAnyStringView OdbcRowBlock::text(qsizetype row, int column) const
{
    if (isNull(row, column) || isNumber(column))
        return {};
    // The value ends at its terminator: MariaDB's driver reports the UTF-8
    // length of wide values, not what it wrote.
    const char *start = mBuffers[column].constData() + row * valueBytes();
    if (!mWide)
        return QUtf8StringView(start, qsizetype(strnlen(start, MaxChars)));
    const auto *wide = reinterpret_cast<const char16_t *>(start);
    qsizetype length = 0;
    while (length < MaxChars && wide[length] != 0)
        ++length;
    return QStringView(wide, length);
}

double OdbcRowBlock::number(qsizetype row, int column) const
{
    if (isNull(row, column))
        return 0;
    if (isNumber(column)) {
        double value = 0;
        std::memcpy(&value, mBuffers[column].constData() + row * sizeof(double), sizeof value);
        return std::isfinite(value) ? value : 0;
    }
    char ascii[MaxChars + 1];
    qsizetype length = 0;
    const char *start = mBuffers[column].constData() + row * valueBytes();
    if (mWide) {
        const auto *wide = reinterpret_cast<const char16_t *>(start);
        for (; length < MaxChars && wide[length] != 0; ++length) {
            if (wide[length] >= 0x80)
                return 0;
            ascii[length] = char(wide[length]);
        }
    } else {
        length = qsizetype(strnlen(start, MaxChars));
        std::memcpy(ascii, start, length);
    }
    const char *begin = ascii, *end = ascii + length;
    while (begin < end && (*begin == ' ' || *begin == '\t'))
        ++begin;
    while (end > begin && (end[-1] == ' ' || end[-1] == '\t'))
        --end;
    if (begin < end && *begin == '+')
        ++begin;
    double value = 0;
    const auto result = std::from_chars(begin, end, value);
    if (result.ec != std::errc() || result.ptr != end || !std::isfinite(value))
        return 0;
    return value;
}
