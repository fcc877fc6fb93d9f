#pragma once

#include <QLocale>
#include <QString>
#include <QStringList>

struct TransferSummary;

// The texts of a transfer on the table manager's status line.

// "Sending orders: 1200 of 20000 rows, 5321 rows/s, 0:03 elapsed, 0:04 left";
// without the count when the total is unknown (negative), without the time
// left when no rate is known yet, without the elapsed time when it is not
// given (negative). Numbers as the locale writes them ("1,200" in the user's
// English one; the C locale has no separators).
QString TransferProgressText(const QString& table, long long done, long long total, double rowsPerSecond,
                             const QLocale& locale = QLocale::c(), double elapsedSeconds = -1);

// "Table 2 of 5 - " and the table's text when a run sends several tables;
// the table's text alone for one.
QString RunProgressText(int number, int count, const QString& tableText);

// The engine's summary, the same lines tablehop-cli prints, on one line:
// "Sent 2 tables to IBM DB2: 10 rows copied, 1 rows refused, 0.4 s. Incomplete: ...".
// The seconds are given by the caller: copying time, without the time the
// user spent answering.
QString TransferSummaryText(const TransferSummary& summary, const QString& target, double seconds,
                            const QLocale& locale = QLocale::c());

// One line per table of the run, in the order sent, for the Log:
// "orders: 1,200 rows sent, 2 refused - sent", "items: 0 rows sent, 0 refused -
// skipped (the existing table was kept)". A table verified after the send
// is followed by its verdict and differences ("  verify: orders: equal: ...");
// one that differs from its source ends "- different".
QStringList TransferTableLines(const TransferSummary& summary, const QLocale& locale = QLocale::c());

// The box at a table's end when more rows were refused than the one reported.
QString FurtherRowsRefusedText(long long further, const QString& table);
