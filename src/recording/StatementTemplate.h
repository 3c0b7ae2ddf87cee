#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// An INSERT statement with named placeholders such as "<CALL>", and the order
// in which they are filled. The template is split once, at construction, into
// fixed text and slots, so that a value put into a slot is never searched for
// a later placeholder: a status text holding "<PATH>" stays "<PATH>".
class StatementTemplate
{
public:
    StatementTemplate(const QString &text, const QStringList &placeholders);

    const QStringList &placeholders() const { return mPlaceholders; }

    // values[i] replaces every occurrence of placeholders()[i]. Throws
    // std::invalid_argument when the count differs.
    QString fill(const QStringList &values) const;

private:
    struct Piece {
        QString text;  // fixed text, when slot < 0
        int slot = -1;
    };

    QStringList mPlaceholders;
    QList<Piece> mPieces;
    qsizetype mFixedLength = 0;
};
