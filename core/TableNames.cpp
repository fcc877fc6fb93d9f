#include "TableNames.h"

#include <algorithm>

bool TableNameBefore(const QString& a, const QString& b) { return QString::compare(a, b, Qt::CaseInsensitive) < 0; }

void SortTableNames(std::vector<std::string>& names)
{
    std::stable_sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        return TableNameBefore(QString::fromStdString(a), QString::fromStdString(b));
    });
}
