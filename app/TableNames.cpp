#include "TableNames.h"

bool SameTableName(const QString& a, const QString& b)
{
    return a.toLower() == b.toLower();
}

bool TableNameBefore(const QString& a, const QString& b)
{
    return QString::compare(a, b, Qt::CaseInsensitive) < 0;
}
