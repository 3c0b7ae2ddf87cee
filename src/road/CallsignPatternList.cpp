#include "road/CallsignPatternList.h"

#include <QRegularExpression>

CallsignPatternList CallsignPatternList::fromText(const QString &text)
{
    static const QRegularExpression separators(QStringLiteral("[,\\s]+"));
    CallsignPatternList list;
    const QStringList parts = text.split(separators, Qt::SkipEmptyParts);
    for (const QString &part : parts)
        list.mPatterns.append(part.toUpper());
    return list;
}

bool CallsignPatternList::matches(const QString &callsign) const
{
    const QString upper = callsign.toUpper();
    for (const QString &pattern : mPatterns) {
        if (wildcardMatch(pattern, upper))
            return true;
    }
    return false;
}

// Greedy match with one back-track point, the last "*": linear in practice.
bool CallsignPatternList::wildcardMatch(QStringView pattern, QStringView text)
{
    qsizetype p = 0;
    qsizetype t = 0;
    qsizetype starAt = -1;
    qsizetype starText = 0;
    while (t < text.size()) {
        if (p < pattern.size() && (pattern[p] == QLatin1Char('?') || pattern[p] == text[t])) {
            ++p;
            ++t;
        } else if (p < pattern.size() && pattern[p] == QLatin1Char('*')) {
            starAt = p++;
            starText = t;
        } else if (starAt >= 0) {
            p = starAt + 1;
            t = ++starText;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == QLatin1Char('*'))
        ++p;
    return p == pattern.size();
}
