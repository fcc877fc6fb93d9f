#pragma once

#include "ConnectionProfile.h"
#include "TableEstimate.h"

#include <string>
#include <vector>

// The table names of the MySQL database ("SHOW TABLES;"), in the server's order.
// Throws DbError when the connection or the query fails. The profile forms
// leave out staging tables (StagingName); the connection forms list them too.
// Given `estimates`, the profile forms also read the tables' estimates on the
// same connection, one catalogue query (SqlDialect::tableEstimates); a
// catalogue that refuses leaves them empty and the listing stands.
std::vector<std::string> ListMySQLTables(const ConnectionProfile& profile, TableEstimates* estimates = nullptr);
class DataConnection;
std::vector<std::string> ListMySQLTables(DataConnection& connection);

// The tables (type "TABLE" exactly) of the DB2 login's current schema, bare
// names. Only that schema: every statement the tool sends names no schema, so a
// table of another schema could not be sent, renamed or dropped by its name.
std::vector<std::string> ListDB2Tables(const ConnectionProfile& profile, TableEstimates* estimates = nullptr);
std::vector<std::string> ListDB2Tables(DataConnection& connection);

// The DB2 connection's current schema ("VALUES CURRENT SCHEMA").
std::string CurrentDB2Schema(DataConnection& connection);
