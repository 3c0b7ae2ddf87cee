#include "recording/StatementTemplate.h"

#include <stdexcept>

StatementTemplate::StatementTemplate(const QString &text, const QStringList &placeholders) : mPlaceholders(placeholders)
{
    mPieces.append(Piece {text, -1});
    // Each placeholder in turn splits the fixed text left by the earlier ones.
    for (int slot = 0; slot < mPlaceholders.size(); ++slot) {
        const QString &token = mPlaceholders.at(slot);
        if (token.isEmpty())
            throw std::invalid_argument("empty placeholder");
        QList<Piece> split;
        for (const Piece &piece : std::as_const(mPieces)) {
            if (piece.slot >= 0) {
                split.append(piece);
                continue;
            }
            qsizetype from = 0;
            for (qsizetype at = piece.text.indexOf(token); at >= 0; at = piece.text.indexOf(token, from)) {
                if (at > from)
                    split.append(Piece {piece.text.mid(from, at - from), -1});
                split.append(Piece {QString(), slot});
                from = at + token.size();
            }
            if (from < piece.text.size())
                split.append(Piece {piece.text.mid(from), -1});
        }
        mPieces = split;
    }
    for (const Piece &piece : std::as_const(mPieces))
        mFixedLength += piece.text.size();
}

QString StatementTemplate::fill(const QStringList &values) const
{
    if (values.size() != mPlaceholders.size())
        throw std::invalid_argument("statement template needs one value per placeholder");
    qsizetype length = mFixedLength;
    for (const Piece &piece : mPieces) {
        if (piece.slot >= 0)
            length += values.at(piece.slot).size();
    }
    QString statement;
    statement.reserve(length);
    for (const Piece &piece : mPieces)
        statement += piece.slot >= 0 ? values.at(piece.slot) : piece.text;
    return statement;
}
