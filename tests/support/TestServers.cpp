#include "TestServers.h"

#include "DataConnection.h"
#include "DataRecordset.h"

#include <cstdlib>
#include <stdexcept>

namespace {

std::string requiredEnv(const char* name)
{
    const char* value = std::getenv(name);
    if (!value)
        throw std::runtime_error(std::string("test server not configured: ") + name
                                 + " is unset (run: eval \"$(scripts/test-services env)\")");
    return value;
}

ConnectionProfile profileFromEnv(const std::string& prefix)
{
    ConnectionProfile p;
    p.server = requiredEnv((prefix + "SERVER").c_str());
    p.port = requiredEnv((prefix + "PORT").c_str());
    p.user = requiredEnv((prefix + "USER").c_str());
    p.password = requiredEnv((prefix + "PASSWORD").c_str());
    p.database = requiredEnv((prefix + "DATABASE").c_str());
    return p;
}

}  // namespace

ConnectionProfile MySQLTestProfile() { return profileFromEnv("TABLEHOP_TEST_MYSQL_"); }
ConnectionProfile DB2TestProfile() { return profileFromEnv("TABLEHOP_TEST_DB2_"); }

ConnectionProfile FoldingMySQLTestProfile()
{
    ConnectionProfile profile = MySQLTestProfile();
    profile.port = requiredEnv("TABLEHOP_TEST_FOLDING_MYSQL_PORT");
    return profile;
}

ConnectionProfile TlsMySQLTestProfile()
{
    ConnectionProfile profile = MySQLTestProfile();
    profile.port = requiredEnv("TABLEHOP_TEST_TLS_MYSQL_PORT");
    profile.encrypted = true;
    profile.caCertificate = requiredEnv("TABLEHOP_TEST_TLS_CA");
    return profile;
}

ConnectionProfile MySQLTestProfileFor(const std::string& database)
{
    ConnectionProfile profile = MySQLTestProfile();
    profile.database = database;
    return profile;
}

void ExecMySQLIn(const std::string& database, const std::string& sql)
{
    DataConnection connection;
    connection.open(MySQLConnectionString(MySQLTestProfileFor(database)));
    connection.execute(sql);
}

void ExecMySQL(const std::string& sql)
{
    DataConnection connection;
    connection.open(MySQLConnectionString(MySQLTestProfile()));
    connection.execute(sql);
}

void ExecDB2(const std::string& sql)
{
    DataConnection connection;
    connection.open(DB2ConnectionString(DB2TestProfile()));
    connection.execute(sql);
}

void RequireTestServers(bool mysql, bool db2)
{
    const auto check = [](const char* side, const ConnectionProfile& profile, auto buildText) {
        try {
            DataConnection connection;
            connection.open(buildText(profile));
        } catch (const std::exception& error) {
            throw std::runtime_error(std::string("the ") + side + " test server is not reachable: " + error.what());
        }
    };
    if (mysql)
        check("MySQL", MySQLTestProfile(), MySQLConnectionString);
    if (db2)
        check("DB2", DB2TestProfile(), DB2ConnectionString);
}
