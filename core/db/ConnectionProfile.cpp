#include "ConnectionProfile.h"

#include "DbError.h"

namespace {

std::string mysqlValue(const std::string& value)
{
    if (value.find_first_of(";{}") == std::string::npos)
        return value;
    std::string quoted = "{";
    for (char c : value) {
        quoted += c;
        if (c == '}')
            quoted += '}';
    }
    quoted += '}';
    return quoted;
}

const std::string& db2Value(const std::string& value, const char* field)
{
    if (value.find(';') != std::string::npos)
        throw DbError(
            "HY024", 0,
            std::string("The IBM DB2 ") + field
                + " contains \";\", which a DB2 connection text cannot carry. Remove the \";\" and try again.");
    return value;
}

}  // namespace

std::string MySQLConnectionString(const ConnectionProfile& p)
{
    return "DRIVER={MySQL ODBC 5.1 Driver};SERVER=" + mysqlValue(p.server) + ";USER=" + mysqlValue(p.user)
        + ";DATABASE=" + mysqlValue(p.database) + ";PASSWORD=" + mysqlValue(p.password) + ";PORT=" + mysqlValue(p.port)
        + ";";
}

std::string DB2ConnectionString(const ConnectionProfile& p)
{
    return "Driver={IBM DB2 ODBC DRIVER};Database=" + db2Value(p.database, "database")
        + ";Hostname=" + db2Value(p.server, "server") + ";Port=" + db2Value(p.port, "port")
        + ";Protocol=TCPIP;Uid=" + db2Value(p.user, "user name") + ";Pwd=" + db2Value(p.password, "password") + ";";
}
