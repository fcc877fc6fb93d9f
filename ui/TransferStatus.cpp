#include "TransferStatus.h"

#include "Transfer.h"

#include <QStringList>

#include <cmath>

QString TransferProgressText(const QString& table, long long done, long long total, double rowsPerSecond,
                             const QLocale& locale)
{
    const auto rows = [&](long long count) {
        return QStringLiteral("%1 %2").arg(locale.toString(count), QLatin1String(count == 1 ? "row" : "rows"));
    };
    QString text = QStringLiteral("Sending %1: ").arg(table);
    text += total >= 0 ? QStringLiteral("%1 of %2").arg(locale.toString(done), rows(total)) : rows(done);
    if (rowsPerSecond > 0) {
        text += QStringLiteral(", %1 rows/s").arg(locale.toString(static_cast<qlonglong>(std::llround(rowsPerSecond))));
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

QString TransferSummaryText(const TransferSummary& summary, const QString& target, double seconds)
{
    TransferSummary copying = summary;
    copying.seconds = seconds;
    QStringList lines;
    for (const auto& line : TransferSummaryLines(copying, target.toStdString()))
        lines << QString::fromStdString(line);
    return lines.join(QStringLiteral(". "));
}

QString FurtherRowsRefusedText(long long further, const QString& table)
{
    return QStringLiteral("%1 of %2 %3 refused by the server and not copied.")
        .arg(further == 1 ? QStringLiteral("1 further row") : QStringLiteral("%1 further rows").arg(further))
        .arg(table)
        .arg(QString::fromLatin1(further == 1 ? "was" : "were"));
}
