#include "TransferStatus.h"

#include "Transfer.h"

#include <QStringList>

#include <cmath>

namespace {

QString counted(long long count, const char* one, const char* many)
{
    return QStringLiteral("%1 %2").arg(count).arg(QString::fromLatin1(count == 1 ? one : many));
}

// "m:ss", as the command line shows it.
QString minutesAndSeconds(double seconds)
{
    const long long whole = std::llround(seconds);
    return QStringLiteral("%1:%2").arg(whole / 60).arg(whole % 60, 2, 10, QLatin1Char('0'));
}

constexpr int kIncompleteNamesShown = 3;

}  // namespace

QString TransferProgressText(const QString& table, long long done, long long total, double rowsPerSecond)
{
    QString text = QStringLiteral("Sending %1: ").arg(table);
    text += total >= 0 ? QStringLiteral("%1 of %2").arg(done).arg(counted(total, "row", "rows"))
                       : counted(done, "row", "rows");
    if (rowsPerSecond > 0) {
        text += QStringLiteral(", %1 rows/s").arg(std::llround(rowsPerSecond));
        if (total >= done)
            text += QStringLiteral(", %1 left").arg(minutesAndSeconds(static_cast<double>(total - done) / rowsPerSecond));
    }
    return text;
}

QString TransferSummaryText(const TransferSummary& summary, const QString& target, double seconds)
{
    QString line = QStringLiteral("Sent %1 to %2: %3 copied, %4 refused, %5 s")
                       .arg(counted(summary.tablesSent, "table", "tables"))
                       .arg(target)
                       .arg(counted(summary.rowsCopied, "row", "rows"))
                       .arg(counted(summary.rowsRefused, "row", "rows"))
                       .arg(seconds, 0, 'f', 1);
    if (!summary.failedTables.empty()) {
        QStringList names;
        for (size_t i = 0; i < summary.failedTables.size() && i < kIncompleteNamesShown; ++i)
            names << QString::fromStdString(summary.failedTables[i]);
        const long long more = static_cast<long long>(summary.failedTables.size()) - names.size();
        line += QStringLiteral("; incomplete: %1").arg(names.join(QStringLiteral(", ")));
        if (more > 0)
            line += QStringLiteral(" and %1 more").arg(more);
    }
    if (summary.cancelled)
        line += QStringLiteral(" (cancelled)");
    return line;
}

QString FurtherRowsRefusedText(long long further, const QString& table)
{
    return QStringLiteral("%1 of %2 %3 refused by the server and not copied.")
        .arg(further == 1 ? QStringLiteral("1 further row") : QStringLiteral("%1 further rows").arg(further))
        .arg(table)
        .arg(QString::fromLatin1(further == 1 ? "was" : "were"));
}
