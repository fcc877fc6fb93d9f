#include "TransferStatus.h"

#include "Transfer.h"

#include <QStringList>

#include <cmath>

namespace {

QString counted(long long count, const char* one, const char* many)
{
    return QStringLiteral("%1 %2").arg(count).arg(QString::fromLatin1(count == 1 ? one : many));
}

}  // namespace

QString TransferProgressText(const QString& table, long long done, long long total, double rowsPerSecond)
{
    QString text = QStringLiteral("Sending %1: ").arg(table);
    text += total >= 0 ? QStringLiteral("%1 of %2").arg(done).arg(counted(total, "row", "rows"))
                       : counted(done, "row", "rows");
    if (rowsPerSecond > 0) {
        text += QStringLiteral(", %1 rows/s").arg(std::llround(rowsPerSecond));
        if (total >= done)
            text += QStringLiteral(", %1 left")
                        .arg(QString::fromStdString(
                            FormatMinutesSeconds(static_cast<double>(total - done) / rowsPerSecond)));
    }
    return text;
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
