#include "TableActions.h"

#include "SqlDialect.h"

QString DeleteConfirmationText(DatabaseSide side, const QStringList& tables, const QStringList& views)
{
    const QString database = QString::fromStdString(DialectOf(side).displayName());
    QString text = tables.size() == 1
        ? QStringLiteral("Delete this %1 from the %2 database?")
              .arg(views.contains(tables.front()) ? QStringLiteral("view") : QStringLiteral("table"), database)
        : QStringLiteral("Delete these %1 tables from the %2 database?").arg(tables.size()).arg(database);
    text += QStringLiteral("\r\r");
    const qsizetype shown = std::min<qsizetype>(tables.size(), kConfirmationNamesShown);
    for (qsizetype i = 0; i < shown; ++i)
        text += tables[i] + (views.contains(tables[i]) ? QStringLiteral(" (view)") : QString()) + QLatin1Char('\r');
    if (tables.size() > shown)
        text += QStringLiteral("and %1 more\r").arg(tables.size() - shown);
    text += QStringLiteral("\rThis cannot be undone.");
    return text;
}

QString RenamePrompt(const QString& table) { return QStringLiteral("Enter new name of ") + table + QLatin1Char(':'); }
