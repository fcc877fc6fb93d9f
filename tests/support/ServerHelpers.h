#pragma once

#include "DataConnection.h"
#include "DataRecordset.h"
#include "SqlDialect.h"
#include "TestServers.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

using Row = std::vector<std::optional<std::string>>;

inline std::vector<Row> QueryRows(DataConnection& connection, const std::string& sql)
{
    std::vector<Row> rows;
    auto rs = connection.execute(sql);
    for (; rs && !rs->eof(); rs->moveNext()) {
        Row row;
        for (int i = 0; i < rs->fieldCount(); ++i)
            row.push_back(rs->field(i).value);
        rows.push_back(std::move(row));
    }
    return rows;
}

inline std::optional<std::string> QueryValue(DataConnection& connection, const std::string& sql)
{
    const auto rows = QueryRows(connection, sql);
    return rows.empty() || rows[0].empty() ? std::nullopt : rows[0][0];
}

inline void OpenMySQL(DataConnection& connection)
{
    connection.setCursorLocation(kClientSideCursor);
    connection.open(MySQLConnectionString(MySQLTestProfile()));
}

// A test's own statements wait for a lock a few seconds at most: a lock a
// fault leaves held fails the test instead of hanging it.
inline void OpenDB2(DataConnection& connection)
{
    connection.setCursorLocation(kClientSideCursor);
    connection.open(DB2ConnectionString(DB2TestProfile()));
    connection.execute("SET CURRENT LOCK TIMEOUT 10");
}

// Drops a table when it is there.
inline void DropMySQL(DataConnection& connection, const std::string& table)
{
    connection.execute("DROP TABLE IF EXISTS `" + table + "`");
}

inline void DropDB2(DataConnection& connection, const std::string& table)
{
    try {
        connection.execute("DROP TABLE \"" + table + "\"");
    } catch (const DbError& error) {
        if (!error.hasSqlState("42S02") && !error.hasSqlState("42704"))
            throw;
    }
}

// The staging tables on one side, left by this tool's runs.
inline std::vector<std::string> StagingTablesOn(DataConnection& connection, const SqlDialect& dialect)
{
    std::vector<std::string> found;
    for (const auto& name : dialect.tableNames(connection))
        if (StagingNameTime(name))
            found.push_back(name);
    return found;
}

// Sets a global variable of a test MariaDB for the sessions opened meanwhile,
// and puts the server's own value back.
class ScopedGlobal {
public:
    ScopedGlobal(DataConnection& connection, const std::string& name, const std::string& value)
            : connection_(connection), name_(name), old_(QueryValue(connection, "SELECT @@GLOBAL." + name).value_or(""))
    {
        connection_.execute("SET GLOBAL " + name_ + " = '" + value + "'");
    }
    ~ScopedGlobal()
    {
        try {
            connection_.execute("SET GLOBAL " + name_ + " = '" + old_ + "'");
        } catch (const DbError& error) {
            ADD_FAILURE() << "the server's " << name_ << " could not be put back: " << error.what();
        }
    }
    ScopedGlobal(const ScopedGlobal&) = delete;
    ScopedGlobal& operator=(const ScopedGlobal&) = delete;

private:
    DataConnection& connection_;
    std::string name_, old_;
};

// Ends every other session of the test user on the stand-in's PostgreSQL
// database, as a server restart would end a DB2 client's connection. Only the
// user's own: the server's own processes there (autovacuum) cannot be ended.
inline void EndOtherDB2Sessions(DataConnection& db2)
{
    db2.execute("SELECT \"pg_terminate_backend\"(\"pid\") FROM \"pg_catalog\".\"pg_stat_activity\" "
                "WHERE \"pid\" <> \"pg_backend_pid\"() AND \"datname\" = \"current_database\"() "
                "AND \"usename\" = CURRENT_USER");
}
