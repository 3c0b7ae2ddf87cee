#include "TsvTable.h"

#include <QFile>

TsvTable::TsvTable(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        mError = QStringLiteral("%1: %2").arg(path, file.errorString());
        return;
    }
    const QByteArray content = file.readAll();
    for (QByteArray line : content.split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        QList<QByteArray> cells = line.split('\t');
        if (mHeader.isEmpty()) {
            mHeader = cells;
            for (qsizetype i = 0; i < cells.size(); ++i)
                mColumns.insert(cells[i], i);
            continue;
        }
        mRows.append(std::move(cells));
    }
    if (mHeader.isEmpty())
        mError = QStringLiteral("%1: no header row").arg(path);
}

QByteArray TsvTable::cell(qsizetype row, const QByteArray &column) const
{
    const qsizetype index = mColumns.value(column, -1);
    const QList<QByteArray> &cells = mRows.at(row);
    return index >= 0 && index < cells.size() ? cells.at(index) : QByteArray();
}
