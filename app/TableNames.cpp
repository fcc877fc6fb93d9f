#include "TableNames.h"

bool SameTableName(const QString& a, const QString& b)
{
    return a.toLower() == b.toLower();
}

bool TableNameBefore(const QString& a, const QString& b)
{
    return QString::compare(a, b, Qt::CaseInsensitive) < 0;
}

std::optional<std::string> MatchingTableName(const std::vector<std::string>& names, const std::string& table)
{
    const QString wanted = QString::fromStdString(table);
    for (const auto& name : names)
        if (SameTableName(QString::fromStdString(name), wanted))
            return name;
    return std::nullopt;
}
