#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

// A tab-separated fixture: '#' lines are comments, the first other line names
// the columns. Cells stay bytes; packets in them need not be UTF-8.
class TsvTable
{
public:
    // Empty table and error() set when the file cannot be read.
    explicit TsvTable(const QString &path);

    QString error() const { return mError; }
    qsizetype rowCount() const { return mRows.size(); }
    bool hasColumn(const QByteArray &name) const { return mColumns.contains(name); }
    QList<QByteArray> columns() const { return mHeader; }

    // The cell, or an empty array when the row is short.
    QByteArray cell(qsizetype row, const QByteArray &column) const;

private:
    QString mError;
    QList<QByteArray> mHeader;
    QHash<QByteArray, qsizetype> mColumns;
    QList<QList<QByteArray>> mRows;
};
