#include "ConnectionProfile.h"

#include "DbError.h"

#include <cstring>
#include <utility>

namespace {

constexpr const char* kBlanks = " \t\n\v\f\r";

// Both drivers take blanks off the ends of a value, the MySQL one even
// inside braces: a user name or password that has them would log in as
// someone else, so it is refused before anything is sent.
void refuseBlankEnds(const std::string& value, const char* side, const char* field)
{
    if (value.empty() || (!std::strchr(kBlanks, value.front()) && !std::strchr(kBlanks, value.back())))
        return;
    const std::string what = std::string(side) + " " + field;
    throw DbError("HY024", 0,
                  "The " + what + " begins or ends with a blank (a space, tab or line break), which the " + side
                      + " driver removes before it logs in. No connection was tried. If the blank belongs to the "
                      + field + ", give the login a " + field + " without blanks at its ends.");
}

// A value that holds ";" or braces goes in braces, "}" doubled.
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
    refuseBlankEnds(p.user, "MySQL", "user name");
    refuseBlankEnds(p.password, "MySQL", "password");
    std::string text = "DRIVER={MySQL ODBC 5.1 Driver};SERVER=" + mysqlValue(p.server) + ";USER=" + mysqlValue(p.user)
        + ";DATABASE=" + mysqlValue(p.database) + ";PASSWORD=" + mysqlValue(p.password) + ";PORT=" + mysqlValue(p.port)
        + ";";
    if (p.encrypted) {
        for (const auto& [keyword, file] : {std::pair<const char*, const std::string&>("SSLCA", p.caCertificate),
                                            {"SSLCERT", p.clientCertificate},
                                            {"SSLKEY", p.clientKey}})
            if (!file.empty())
                text += std::string(keyword) + "=" + mysqlValue(file) + ";";
        text += "SSLVERIFY=1;FORCETLS=1;";
    }
    return text;
}

std::string DB2ConnectionString(const ConnectionProfile& p)
{
    refuseBlankEnds(p.user, "IBM DB2", "user name");
    refuseBlankEnds(p.password, "IBM DB2", "password");
    std::string text = "Driver={IBM DB2 ODBC DRIVER};Database=" + db2Value(p.database, "database")
        + ";Hostname=" + db2Value(p.server, "server") + ";Port=" + db2Value(p.port, "port")
        + ";Protocol=TCPIP;Uid=" + db2Value(p.user, "user name") + ";Pwd=" + db2Value(p.password, "password") + ";";
    if (!p.schema.empty())
        text += "CurrentSchema=" + db2Value(p.schema, "schema") + ";";
    if (p.encrypted) {
        text += "Security=SSL;";
        if (!p.caCertificate.empty())
            text += "SSLServerCertificate=" + db2Value(p.caCertificate, "CA certificate file") + ";";
    }
    return text;
}
