#pragma once

#include <QString>

struct TransferSummary;

// The texts of a transfer on the table manager's status line.

// "Sending orders: 1200 of 20000 rows, 5321 rows/s, 0:04 left"; without the
// count when the total is unknown (negative), without the time left when no
// rate is known yet.
QString TransferProgressText(const QString& table, long long done, long long total, double rowsPerSecond);

// The engine's summary, the same lines tablehop-cli prints, on one line:
// "Sent 2 tables to IBM DB2: 10 rows copied, 1 rows refused, 0.4 s. Incomplete: ...".
// The seconds are given by the caller: copying time, without the time the
// user spent answering.
QString TransferSummaryText(const TransferSummary& summary, const QString& target, double seconds);

// The box at a table's end when more rows were refused than the one reported.
QString FurtherRowsRefusedText(long long further, const QString& table);
