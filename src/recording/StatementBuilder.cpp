#include "recording/StatementBuilder.h"

#include <stdexcept>

StatementBuilder::StatementBuilder(const StatementTemplate &statementTemplate) : mTemplate(statementTemplate)
{
    mValues.reserve(mTemplate.placeholders().size());
}

StatementBuilder &StatementBuilder::fill(const QString &placeholder, const QString &text)
{
    const QStringList &placeholders = mTemplate.placeholders();
    if (mValues.size() >= placeholders.size() || placeholders.at(mValues.size()) != placeholder)
        throw std::logic_error("placeholder " + placeholder.toStdString() + " filled out of order");
    mValues.append(text);
    return *this;
}

QString StatementBuilder::statement() const
{
    if (mValues.size() != mTemplate.placeholders().size())
        throw std::logic_error("statement has unfilled placeholders");
    return mTemplate.fill(mValues);
}
