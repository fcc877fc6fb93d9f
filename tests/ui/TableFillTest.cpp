// Filling the table manager's lists from the real servers (the DB2 listing
// restricted to the login's current schema).
#include "FakeDialogs.h"
#include "TableFill.h"
#include "TableList.h"
#include "TestServers.h"
#include "Workspace.h"

#include <QtTest>

namespace {

void quietly(void (*exec)(const std::string&), const std::string& sql)
{
    try {
        exec(sql);
    } catch (const std::exception&) {
    }
}

}  // namespace

class TableListingTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { RequireTestServers(true, true); }
    void mysqlTablesWithTheFirstOneCurrent();
    void emptyMySQLDatabase();
    void failedListingKeepsTheList();
    void db2TablesOfTheCurrentSchemaOnly();
};

void TableListingTest::mysqlTablesWithTheFirstOneCurrent()
{
    ExecMySQL("DROP DATABASE IF EXISTS `ui_listing`");
    ExecMySQL("CREATE DATABASE `ui_listing`");
    // The last is a staging table: a copy on its way in, never listed.
    for (const char* table : {"orders", "Customers", "zebra", "apple", "tablehop_stage_20261207225744_0123abcd"})
        ExecMySQL(std::string("CREATE TABLE `ui_listing`.`") + table + "` (id INT)");
    ExecMySQL("CREATE VIEW `ui_listing`.`v_orders` AS SELECT id FROM `ui_listing`.`orders`");

    TableList list;
    list.add("stale");
    FakeDialogs dialogs;
    FillMySQLList(list, Workspace(MySQLTestProfileFor("ui_listing"), {}), dialogs);
    // SHOW TABLES lists views too, and the list takes every name it returns.
    QCOMPARE(list.texts(), QStringList({"apple", "Customers", "orders", "v_orders", "zebra"}));
    QCOMPARE(list.currentIndex(), 0);
    QCOMPARE(list.selectedCount(), 0);
    QCOMPARE(dialogs.yields, 5);  // one per item
    QVERIFY(dialogs.shown.empty());
    ExecMySQL("DROP DATABASE `ui_listing`");
}

void TableListingTest::emptyMySQLDatabase()
{
    ExecMySQL("DROP DATABASE IF EXISTS `ui_listing_empty`");
    ExecMySQL("CREATE DATABASE `ui_listing_empty`");
    TableList list;
    list.add("stale");
    list.setCurrentIndex(0);
    FakeDialogs dialogs;
    FillMySQLList(list, Workspace(MySQLTestProfileFor("ui_listing_empty"), {}), dialogs);
    QCOMPARE(list.count(), 0);
    QCOMPARE(list.currentIndex(), -1);
    ExecMySQL("DROP DATABASE `ui_listing_empty`");
}

void TableListingTest::failedListingKeepsTheList()
{
    TableList mysql;
    mysql.add("kept");
    FakeDialogs dialogs;
    ConnectionProfile wrong = MySQLTestProfile();
    wrong.password += "-wrong";
    QVERIFY_THROWS_EXCEPTION(std::exception, FillMySQLList(mysql, Workspace(wrong, {}), dialogs));
    QCOMPARE(mysql.texts(), QStringList({"kept"}));
    TableList db2;
    db2.add("kept");
    ConnectionProfile wrongDb2 = DB2TestProfile();
    wrongDb2.password += "-wrong";
    QVERIFY_THROWS_EXCEPTION(std::exception, FillDB2List(db2, Workspace({}, wrongDb2), dialogs));
    QCOMPARE(db2.texts(), QStringList({"kept"}));
}

void TableListingTest::db2TablesOfTheCurrentSchemaOnly()
{
    for (const char* drop : {"DROP VIEW \"UI_LIST_VIEW\"", "DROP ALIAS \"UI_LIST_ALIAS\"", "DROP TABLE \"UI_LIST_B\"",
                             "DROP TABLE \"ui_list_a\"", "DROP TABLE \"UI_OTHER\".\"UI_LIST_ELSEWHERE\"",
                             "DROP TABLE \"UI_OTHER\".\"UI_LIST_B\""})
        quietly(ExecDB2, drop);
    ExecDB2("CREATE TABLE \"ui_list_a\" (ID INTEGER)");
    ExecDB2("CREATE TABLE \"UI_LIST_B\" (ID INTEGER)");
    ExecDB2("CREATE VIEW \"UI_LIST_VIEW\" AS SELECT ID FROM \"UI_LIST_B\"");
    ExecDB2("CREATE ALIAS \"UI_LIST_ALIAS\" FOR \"UI_LIST_B\"");
    // DB2 creates the schema UI_OTHER implicitly with its first table.
    ExecDB2("CREATE TABLE \"UI_OTHER\".\"UI_LIST_ELSEWHERE\" (ID INTEGER)");
    ExecDB2("CREATE TABLE \"UI_OTHER\".\"UI_LIST_B\" (ID INTEGER)");

    TableList list;
    list.add("stale");
    FakeDialogs dialogs;
    FillDB2List(list, Workspace({}, DB2TestProfile()), dialogs);
    const QStringList names = list.texts();
    QVERIFY2(names.contains("ui_list_a") && names.contains("UI_LIST_B"), qPrintable(names.join(",")));
    QCOMPARE(names.count("UI_LIST_B"), 1);  // not again from the other schema
    QVERIFY(!names.contains("UI_LIST_VIEW"));
    QVERIFY(!names.contains("UI_LIST_ALIAS"));
    QVERIFY(!names.contains("UI_LIST_ELSEWHERE"));
    QVERIFY(!names.contains("stale"));
    for (const QString& name : names)
        QVERIFY2(!name.startsWith("SYS", Qt::CaseInsensitive) && !name.startsWith("pg_"), qPrintable(name));
    QCOMPARE(list.currentIndex(), -1);  // the DB2 listing sets no current item
    QCOMPARE(dialogs.yields, names.size());

    for (const char* drop : {"DROP VIEW \"UI_LIST_VIEW\"", "DROP ALIAS \"UI_LIST_ALIAS\"", "DROP TABLE \"UI_LIST_B\"",
                             "DROP TABLE \"ui_list_a\"", "DROP TABLE \"UI_OTHER\".\"UI_LIST_ELSEWHERE\"",
                             "DROP TABLE \"UI_OTHER\".\"UI_LIST_B\""})
        quietly(ExecDB2, drop);
}

QTEST_MAIN(TableListingTest)
#include "TableFillTest.moc"
