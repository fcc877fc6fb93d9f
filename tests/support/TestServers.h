#pragma once

#include "ConnectionProfile.h"

#include <string>

// Connection data of the private test servers started by scripts/test-services.
// A missing variable or an unreachable server is a failure, never a skip.
ConnectionProfile MySQLTestProfile();
ConnectionProfile DB2TestProfile();
// The second MariaDB server, set up as many real ones are: table names kept in
// lower case (lower_case_table_names=1) and the time zone Europe/Berlin.
ConnectionProfile FoldingMySQLTestProfile();
// The MariaDB that accepts only encrypted connections, with the private CA.
ConnectionProfile TlsMySQLTestProfile();
// The test MariaDB's login with another database of it.
ConnectionProfile MySQLTestProfileFor(const std::string& database);

// Runs statements on the test servers for fixtures (throws DbError).
void ExecMySQL(const std::string& sql);
void ExecDB2(const std::string& sql);
void ExecMySQLIn(const std::string& database, const std::string& sql);

// Throws std::runtime_error with a clear message when the servers are not
// reachable; call once from each test program's main or fixture.
void RequireTestServers(bool mysql, bool db2);
