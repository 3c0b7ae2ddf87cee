#pragma once

#include <QString>
#include <QStringList>

// The host's exclusion list: callsign patterns separated by commas or blanks,
// where "*" stands for any run of characters and "?" for one, compared without
// regard to case ("N0CALL-*, *-15 TEST?").
class CallsignPatternList
{
public:
    CallsignPatternList() = default;
    static CallsignPatternList fromText(const QString &text);

    bool matches(const QString &callsign) const;
    bool isEmpty() const { return mPatterns.isEmpty(); }

    static bool wildcardMatch(QStringView pattern, QStringView text);

private:
    QStringList mPatterns;  // upper case
};
