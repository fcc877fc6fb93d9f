// The self-check run through a workspace, against the private test servers,
// when an earlier run left scratch tables behind.
#include "SelfCheck.h"
#include "ServerHelpers.h"
#include "Workspace.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

namespace {

class RecordedChecks : public SelfCheckObserver {
public:
    std::vector<std::string> passes;
    std::map<std::string, std::string> failures;
    void passed(const std::string& check) override { passes.push_back(check); }
    void failed(const std::string& check, const std::string& why) override { failures[check] = why; }
    bool didPass(const std::string& check) const
    {
        return std::find(passes.begin(), passes.end(), check) != passes.end();
    }
};

// A leftover scratch table nothing relies on is dropped and its check runs;
// one with a trigger of its own stays, trigger and all, and only its own
// checks fail. The workspace's options are the user's again afterwards.
TEST(SelfCheck, DropsLeftoversButNotOneWithATrigger)
{
    RequireTestServers(true, true);
    ExecMySQL("DROP TABLE IF EXISTS TABLEHOP_CHECK_CORPUS");
    ExecMySQL("CREATE TABLE TABLEHOP_CHECK_CORPUS(id INT)");
    ExecMySQL("INSERT INTO TABLEHOP_CHECK_CORPUS VALUES (7)");
    ExecMySQL("CREATE TRIGGER tablehop_check_user_trigger BEFORE INSERT ON TABLEHOP_CHECK_CORPUS"
              " FOR EACH ROW SET NEW.id = NEW.id + 1");
    DataConnection db2;
    OpenDB2(db2);
    DropDB2(db2, "TABLEHOP_CHECK_WIDE");
    db2.execute(R"(CREATE TABLE "TABLEHOP_CHECK_WIDE"("ID" INTEGER))");

    TransferOptions userOptions;
    userOptions.columnTypes = Db2ColumnTypes::Matching;
    userOptions.existingTables = ExistingTables::AddRows;
    userOptions.upperCaseNamesOnDB2 = true;
    userOptions.verifyAfterSending = true;
    Workspace workspace(MySQLTestProfile(), DB2TestProfile(), userOptions);
    RecordedChecks checks;
    const int failed = workspace.selfCheck(checks);

    EXPECT_EQ(failed, static_cast<int>(checks.failures.size()));
    std::string told;
    for (const auto& [check, why] : checks.failures)
        told += check + ": " + why + "\n";
    ASSERT_EQ(checks.failures.size(), 1u) << told;
    EXPECT_TRUE(checks.failures.count("create TABLEHOP_CHECK_CORPUS on MySQL"));
    for (const char* check :
         {"on IBM DB2: wide row (60 columns)", "back on MySQL: every value with matching column types and keys",
          "drop the scratch tables"})
        EXPECT_TRUE(checks.didPass(check)) << check;

    DataConnection mysql;
    OpenMySQL(mysql);
    EXPECT_EQ(QueryValue(mysql, "SELECT id FROM TABLEHOP_CHECK_CORPUS"), "7");
    EXPECT_EQ(QueryValue(mysql,
                         "SELECT COUNT(*) FROM information_schema.TRIGGERS WHERE TRIGGER_SCHEMA = DATABASE()"
                         " AND TRIGGER_NAME = 'tablehop_check_user_trigger'"),
              "1");
    EXPECT_EQ(QueryValue(db2,
                         "SELECT COUNT(*) FROM SYSCAT.TABLES WHERE TABSCHEMA = CURRENT SCHEMA"
                         " AND TABNAME LIKE 'TABLEHOP_CHECK%'"),
              "0");
    EXPECT_EQ(QueryValue(mysql,
                         "SELECT COUNT(*) FROM information_schema.TABLES WHERE TABLE_SCHEMA = DATABASE()"
                         " AND TABLE_NAME LIKE 'TABLEHOP\\_CHECK\\_%'"),
              "1");

    const TransferOptions& after = workspace.options();
    EXPECT_EQ(after.columnTypes, Db2ColumnTypes::Matching);
    EXPECT_FALSE(after.copyPrimaryKeys);
    EXPECT_EQ(after.existingTables, ExistingTables::AddRows);
    EXPECT_TRUE(after.upperCaseNamesOnDB2);
    EXPECT_TRUE(after.verifyAfterSending);

    ExecMySQL("DROP TABLE TABLEHOP_CHECK_CORPUS");
}

}  // namespace
