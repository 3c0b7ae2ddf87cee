#pragma once

#include "recording/StatementTemplate.h"

#include <QString>
#include <QStringList>

// Collects the values of one statement in the template's placeholder order.
// Each value is read from its source by the caller just before fill(), so a
// failing read leaves the later placeholders unfilled and nothing executed.
class StatementBuilder
{
public:
    explicit StatementBuilder(const StatementTemplate &statementTemplate);

    // Throws std::logic_error when placeholder is not the next one in order.
    StatementBuilder &fill(const QString &placeholder, const QString &text);

    // Throws std::logic_error while a placeholder is still unfilled.
    QString statement() const;

private:
    const StatementTemplate &mTemplate;
    QStringList mValues;
};
