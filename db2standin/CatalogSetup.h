// The schemas, domains and DB2 catalogue views the stand-in keeps in PostgreSQL.
#pragma once

#include <string>

namespace db2standin {

// Statements every connection runs first: they create what is missing of the
// stand-in's own schema and DB2's catalogue views (SYSCAT, SYSIBM, SYSIBMADM).
std::string CatalogSetupSql();

}  // namespace db2standin
