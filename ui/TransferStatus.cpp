#include "TransferStatus.h"

#include "Transfer.h"

#include <QStringList>

#include <cmath>
#include <set>

QString TransferProgressText(const QString& table, long long done, long long total, double rowsPerSecond,
                             const QLocale& locale, double elapsedSeconds)
{
    const auto rows = [&](long long count) {
        return QStringLiteral("%1 %2").arg(locale.toString(count), QLatin1String(count == 1 ? "row" : "rows"));
    };
    QString text = QStringLiteral("Sending %1: ").arg(table);
    text += total >= 0 ? QStringLiteral("%1 of %2").arg(locale.toString(done), rows(total)) : rows(done);
    if (rowsPerSecond > 0)
        text += QStringLiteral(", %1 rows/s").arg(locale.toString(static_cast<qlonglong>(std::llround(rowsPerSecond))));
    if (elapsedSeconds >= 0)
        text += QStringLiteral(", %1 elapsed").arg(QString::fromStdString(FormatMinutesSeconds(elapsedSeconds)));
    if (rowsPerSecond > 0) {
        if (total >= done)
            text += QStringLiteral(", %1 left")
                        .arg(QString::fromStdString(
                            FormatMinutesSeconds(static_cast<double>(total - done) / rowsPerSecond)));
    }
    return text;
}

QString RunProgressText(int number, int count, const QString& tableText)
{
    return count > 1 ? QStringLiteral("Table %1 of %2 - %3").arg(number).arg(count).arg(tableText) : tableText;
}

QString TransferSummaryText(const TransferSummary& summary, const QString& target, double seconds,
                            const QLocale& locale)
{
    TransferSummary copying = summary;
    copying.seconds = seconds;
    SummaryNumbers numbers;
    numbers.count = [&](long long n) { return locale.toString(n).toStdString(); };
    numbers.seconds = [&](double s) { return locale.toString(s, 'f', 1).toStdString(); };
    // Of a verify after the send, the line keeps the verdict and the tables
    // that are not equal; each table's lines and its differences go to the Log.
    std::set<std::string> equalTables;
    if (summary.verification)
        for (const TableComparison& table : summary.verification->tables)
            if (table.status == ComparisonStatus::Equal)
                for (const auto& line : ComparisonTableLines(table, summary.verification->sourceName,
                                                             summary.verification->targetName))
                    equalTables.insert(line);
    QStringList lines;
    for (const auto& line : TransferSummaryLines(copying, target.toStdString(), numbers))
        if (line.rfind("  ", 0) != 0 && !equalTables.count(line))
            lines << QString::fromStdString(line);
    return lines.join(QStringLiteral(". "));
}

QStringList TransferTableLines(const TransferSummary& summary, const QLocale& locale)
{
    QStringList lines;
    for (const TableResult& table : summary.tables) {
        const TableComparison* verdict = summary.verdict(table.name);
        // A table that arrived but differs from its source is not called sent.
        QString status = QString::fromLatin1(verdict && verdict->status == ComparisonStatus::Different
                                                 ? "different"
                                                 : TableStatusName(table.status));
        if (!table.reason.empty())
            status += QStringLiteral(" (%1)").arg(QString::fromStdString(table.reason));
        lines << QStringLiteral("%1: %2 %3 sent, %4 refused - %5")
                     .arg(QString::fromStdString(table.name), locale.toString(table.rowsWritten),
                          QLatin1String(table.rowsWritten == 1 ? "row" : "rows"), locale.toString(table.rowsRefused),
                          status);
        if (verdict) {
            const auto told
                = ComparisonTableLines(*verdict, summary.verification->sourceName, summary.verification->targetName);
            for (size_t i = 0; i < told.size(); ++i)
                lines << (i == 0 ? QStringLiteral("  verify: ") : QStringLiteral("  ")) + QString::fromStdString(told[i]);
        }
    }
    return lines;
}

QString FurtherRowsRefusedText(long long further, const QString& table)
{
    return QStringLiteral("%1 of %2 %3 refused by the server and not copied.")
        .arg(further == 1 ? QStringLiteral("1 further row") : QStringLiteral("%1 further rows").arg(further))
        .arg(table)
        .arg(QString::fromLatin1(further == 1 ? "was" : "were"));
}
