#include "recording/FieldText.h"

#include "recording/ValueText.h"

#include <stdexcept>

namespace {

// "qA" followed by a letter of the range first..last.
bool holdsQConstruct(const QString &text, char16_t first, char16_t last)
{
    for (qsizetype at = text.indexOf(QLatin1String("qA")); at >= 0; at = text.indexOf(QLatin1String("qA"), at + 1)) {
        if (at + 2 < text.size()) {
            const char16_t next = text.at(at + 2).unicode();
            if (next >= first && next <= last)
                return true;
        }
    }
    return false;
}

}  // namespace

QString extractPath(const QString &header)
{
    const qsizetype arrow = header.indexOf(QLatin1Char('>'));
    if (arrow < 0)
        return QString();
    const QString rest = header.mid(arrow + 1);

    if (holdsQConstruct(rest, u'A', u'Z') || holdsQConstruct(rest, u'a', u'z')) {
        // A q construct without ",q" before it gives no usable cut.
        const qsizetype cut = rest.indexOf(QLatin1String(",q"));
        return cut < 0 ? QString() : rest.left(cut);
    }
    const qsizetype blank = rest.indexOf(QLatin1Char(' '));
    return blank < 0 ? QString() : rest.left(blank);
}

QString commentText(const QString &packetText, qint16 commentStart)
{
    if (commentStart < 1 || commentStart > packetText.size() + 1)
        throw std::out_of_range("comment start outside the packet text");
    QString comment = packetText.mid(commentStart - 1);
    return comment.remove(QLatin1Char('\''));
}

QString ownerText(const QString &objectOwner)
{
    qsizetype first = 0;
    qsizetype last = objectOwner.size();
    while (first < last && objectOwner.at(first) == QLatin1Char(' '))
        ++first;
    while (last > first && objectOwner.at(last - 1) == QLatin1Char(' '))
        --last;
    return objectOwner.mid(first, last - first);
}

QString symbolText(const QString &symbolTable, const QString &symbolCode, SqlDialect dialect)
{
    return literalText(symbolTable + symbolCode, dialect);
}
