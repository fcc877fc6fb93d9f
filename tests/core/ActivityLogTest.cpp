#include "ActivityLog.h"
#include "DbError.h"
#include "Workspace.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTimeZone>
#include <QtTest>

#include <thread>

class ActivityLogTest : public QObject {
    Q_OBJECT
private slots:
    void lineKeepsEachEntryOnOneLine_data();
    void lineKeepsEachEntryOnOneLine();
    void appendsFromManyWritersKeepLinesWhole();
    void dropThatCannotConnectIsRecordedOnce();
};

void ActivityLogTest::lineKeepsEachEntryOnOneLine_data()
{
    QTest::addColumn<QDateTime>("time");
    QTest::addColumn<QStringList>("errors");
    QTest::addColumn<QString>("expected");
    const QDate day(2026, 12, 8);
    const QTime at(9, 1, 2, 345);
    QTest::newRow("east of UTC, no errors")
        << QDateTime(day, at, QTimeZone(3600)) << QStringList()
        << "2026-12-08T09:01:02.345+01:00\tsend\tIBM DB2\ttables=a\\tb, c\\\\d\tresult=Sent 2\\nlines\n";
    QTest::newRow("west of UTC, two errors")
        << QDateTime(day, at, QTimeZone(-(3 * 3600 + 1800))) << QStringList({"[42S02] gone", "x\ty"})
        << "2026-12-08T09:01:02.345-03:30\tsend\tIBM DB2\ttables=a\\tb, c\\\\d\tresult=Sent 2\\nlines"
           "\terrors=[42S02] gone | x\\ty\n";
}

void ActivityLogTest::lineKeepsEachEntryOnOneLine()
{
    QFETCH(QDateTime, time);
    QFETCH(QStringList, errors);
    QFETCH(QString, expected);
    ActivityEntry entry {"send", "IBM DB2", {"a\tb", "c\\d"}, "Sent 2\nlines", {}};
    for (const QString& error : errors)
        entry.errors.push_back(error.toStdString());
    QCOMPARE(QString::fromStdString(ActivityLog::line(entry, time)), expected);
}

// The window and the command line append at once: every line arrives whole.
void ActivityLogTest::appendsFromManyWritersKeepLinesWhole()
{
    QTemporaryDir dir;
    const ActivityLog log(dir.filePath("deeper/activity.log"));  // the folder is made when missing
    const std::string wide(3000, 'x');
    constexpr int kWriters = 4, kEntries = 200;
    std::vector<std::thread> writers;
    for (int w = 0; w < kWriters; ++w)
        writers.emplace_back([&, w] {
            for (int i = 0; i < kEntries; ++i)
                if (!log.append({"send", std::to_string(w), {wide}, std::to_string(i), {}}).empty())
                    return;
        });
    for (auto& writer : writers)
        writer.join();
    QFile file(log.filePath());
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    QCOMPARE(lines.size(), kWriters * kEntries + 1);  // and the empty rest after the last line break
    std::vector<int> next(kWriters, 0);
    for (int i = 0; i < kWriters * kEntries; ++i) {
        const QList<QByteArray> fields = lines[i].split('\t');
        QCOMPARE(fields.size(), 5);
        QCOMPARE(fields[3].size(), qsizetype(wide.size() + 7));
        const int writer = fields[2].toInt();
        QCOMPARE(fields[4], "result=" + QByteArray::number(next[writer]++));
    }
}

// The drop opens the session itself; its failure is the entry's one error.
void ActivityLogTest::dropThatCannotConnectIsRecordedOnce()
{
    const ConnectionProfile nobody {"127.0.0.1", "1", "nobody", "none", "NODB"};  // port 1: nothing listens
    Workspace workspace(nobody, nobody);
    workspace.beginTableChange(TableChange::Delete, DatabaseSide::DB2, {"a"});
    QVERIFY_THROWS_EXCEPTION(DbError, workspace.dropTable(DatabaseSide::DB2, "a"));
    const TableChangeRecord record = workspace.endTableChange();
    QCOMPARE(record.errors.size(), size_t(1));
    QVERIFY(record.done.empty());
    QCOMPARE(TableChangeText(record), std::string("Deleted 0 tables from IBM DB2. Not deleted: a"));
}

QTEST_GUILESS_MAIN(ActivityLogTest)
#include "ActivityLogTest.moc"
