#pragma once

#include <QAnyStringView>
#include <QByteArray>
#include <QtGlobal>
#include <vector>

// One block of rows fetched at once by OdbcConnection::forEachRowBlock:
// every column bound to an array of text values, so a large result costs a
// driver call per block instead of one per value, and no QString per value.
// The values are the driver's text (UTF-8 or UTF-16), valid until the next
// block is fetched.
class OdbcRowBlock
{
public:
    // Each value is bound with room for this many characters; a longer one
    // comes cut there. For short columns: callsigns, time stamps, numbers.
    static constexpr qsizetype MaxChars = 255;
    static constexpr qsizetype RowsPerBlock = 512;

    // numberColumns: a bit per column (bit 0 the first) bound as a double
    // instead of text, sparing the driver and the reader the text.
    OdbcRowBlock(int columns, bool wide, quint64 numberColumns);

    qsizetype rows() const { return mRows; }
    int columns() const { return mColumns; }
    bool isNull(qsizetype row, int column) const;
    // Empty for NULL and for a number column.
    QAnyStringView text(qsizetype row, int column) const;
    // The value as a number; 0 for NULL or text that is none.
    double number(qsizetype row, int column) const;

    // For OdbcConnection: the arrays it binds and fills.
    qsizetype unitBytes() const { return mWide ? 2 : 1; }
    qsizetype valueBytes() const { return (MaxChars + 1) * unitBytes(); }
    bool isNumber(int column) const { return (mNumberColumns >> column) & 1; }
    char *buffer(int column) { return mBuffers[column].data(); }
    long *indicators(int column) { return mIndicators[column].data(); }
    void setRows(qsizetype rows) { mRows = rows; }

private:
    int mColumns;
    bool mWide;
    quint64 mNumberColumns;
    qsizetype mRows = 0;
    std::vector<QByteArray> mBuffers;
    std::vector<std::vector<long>> mIndicators;
};
