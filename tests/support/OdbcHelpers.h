// Plain ODBC calls against the DB2 stand-in, through unixODBC, for the tests.
#pragma once

#include <gtest/gtest.h>
#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace standintest {

// Test servers come from scripts/test-services; their env file is read when the
// variables are not in the environment already.
inline void loadServiceEnv()
{
    if (std::getenv("TABLEHOP_TEST_DB2_PORT"))
        return;
    const char* build = std::getenv("TABLEHOP_BUILD_DIR");
    std::string dir = build ? build : TABLEHOP_DEFAULT_BUILD_DIR;
    std::ifstream in(dir + "/test-services/env");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("export ", 0) != 0)
            continue;
        line = line.substr(7);
        size_t eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        std::string v = line.substr(eq + 1);
        if (v.size() >= 2 && v.front() == '\'' && v.back() == '\'')
            v = v.substr(1, v.size() - 2);
        setenv(line.substr(0, eq).c_str(), v.c_str(), 0);
    }
}

inline std::string env(const char* name)
{
    loadServiceEnv();
    const char* v = std::getenv(name);
    if (!v || !*v) {
        ADD_FAILURE() << name << " is not set: start the test servers with scripts/test-services start";
        return "";
    }
    return v;
}

inline std::string upperAscii(std::string s)
{
    for (auto& c : s)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return s;
}

inline std::u16string u16(const std::string& s)
{
    std::u16string out;
    for (size_t i = 0; i < s.size();) {
        unsigned char c = s[i];
        unsigned cp;
        int extra = c < 0x80 ? 0 : (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : 3;
        cp = extra == 0 ? c : extra == 1 ? c & 0x1F : extra == 2 ? c & 0x0F : c & 0x07;
        ++i;
        for (int k = 0; k < extra; ++k, ++i)
            cp = (cp << 6) | (static_cast<unsigned char>(s[i]) & 0x3F);
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
    }
    return out;
}

inline std::string utf8(const std::u16string& w)
{
    std::string out;
    for (size_t i = 0; i < w.size(); ++i) {
        unsigned cp = w[i];
        if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < w.size())
            cp = 0x10000 + ((cp - 0xD800) << 10) + (w[++i] - 0xDC00);
        if (cp < 0x80)
            out += static_cast<char>(cp);
        else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    return out;
}

inline SQLWCHAR* W(std::u16string& s) { return reinterpret_cast<SQLWCHAR*>(s.data()); }

struct DiagRecord {
    std::string state;
    SQLINTEGER native = 0;
    std::string message;
};

inline std::vector<DiagRecord> diagnostics(SQLSMALLINT type, SQLHANDLE h)
{
    std::vector<DiagRecord> out;
    for (SQLSMALLINT i = 1;; ++i) {
        SQLWCHAR state[6] = {0}, msg[1024] = {0};
        SQLINTEGER native = 0;
        SQLSMALLINT len = 0;
        if (!SQL_SUCCEEDED(SQLGetDiagRecW(type, h, i, state, &native, msg, 1024, &len)))
            break;
        out.push_back({utf8(std::u16string(reinterpret_cast<char16_t*>(state))), native,
                       utf8(std::u16string(reinterpret_cast<char16_t*>(msg)))});
    }
    return out;
}

inline std::string connectionString(const std::string& user, const std::string& password, const std::string& host,
                                    const std::string& port, const std::string& database)
{
    return "Driver={IBM DB2 ODBC DRIVER};Database=" + database + ";Hostname=" + host + ";Port=" + port
        + ";Protocol=TCPIP;Uid=" + user + ";Pwd=" + password + ";";
}

inline std::string defaultConnectionString()
{
    return connectionString(env("TABLEHOP_TEST_DB2_USER"), env("TABLEHOP_TEST_DB2_PASSWORD"),
                            env("TABLEHOP_TEST_DB2_SERVER"), env("TABLEHOP_TEST_DB2_PORT"),
                            env("TABLEHOP_TEST_DB2_DATABASE"));
}

// One environment and connection, with helpers for statements.
class Connection {
public:
    Connection()
    {
        loadServiceEnv();
        SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env_);
        SQLSetEnvAttr(env_, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
        SQLAllocHandle(SQL_HANDLE_DBC, env_, &dbc_);
    }
    ~Connection()
    {
        if (connected_)
            SQLDisconnect(dbc_);
        SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
        SQLFreeHandle(SQL_HANDLE_ENV, env_);
    }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    SQLRETURN connect(const std::string& cs)
    {
        std::u16string w = u16(cs);
        SQLWCHAR out[1024];
        SQLSMALLINT outLen = 0;
        SQLRETURN r = SQLDriverConnectW(dbc_, nullptr, W(w), SQL_NTS, out, 1024, &outLen, SQL_DRIVER_NOPROMPT);
        connected_ = SQL_SUCCEEDED(r);
        return r;
    }
    void connectOrFail()
    {
        SQLRETURN r = connect(defaultConnectionString());
        ASSERT_TRUE(SQL_SUCCEEDED(r)) << lastError();
    }
    std::string lastError() const
    {
        std::string s;
        for (auto& d : diagnostics(SQL_HANDLE_DBC, dbc_))
            s += d.state + " " + std::to_string(d.native) + " " + d.message + "\n";
        return s;
    }
    SQLHDBC dbc() const { return dbc_; }

private:
    SQLHENV env_ = SQL_NULL_HENV;
    SQLHDBC dbc_ = SQL_NULL_HDBC;
    bool connected_ = false;
};

class Statement {
public:
    explicit Statement(Connection& c) { SQLAllocHandle(SQL_HANDLE_STMT, c.dbc(), &h_); }
    ~Statement() { SQLFreeHandle(SQL_HANDLE_STMT, h_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    SQLHSTMT h() const { return h_; }

    SQLRETURN exec(const std::string& sql)
    {
        SQLFreeStmt(h_, SQL_CLOSE);
        std::u16string w = u16(sql);
        return SQLExecDirectW(h_, W(w), SQL_NTS);
    }
    // Runs a statement that must succeed.
    void ok(const std::string& sql)
    {
        SQLRETURN r = exec(sql);
        EXPECT_TRUE(SQL_SUCCEEDED(r) || r == SQL_NO_DATA) << sql << "\n" << errors();
    }
    std::vector<DiagRecord> diags() const { return diagnostics(SQL_HANDLE_STMT, h_); }
    std::string errors() const
    {
        std::string s;
        for (auto& d : diags())
            s += d.state + " " + std::to_string(d.native) + " " + d.message + "\n";
        return s;
    }
    // First column of every row as UTF-8 text ("<NULL>" for null).
    std::vector<std::vector<std::string>> rows()
    {
        std::vector<std::vector<std::string>> out;
        SQLSMALLINT cols = 0;
        SQLNumResultCols(h_, &cols);
        while (SQLFetch(h_) == SQL_SUCCESS) {
            std::vector<std::string> row;
            for (SQLUSMALLINT c = 1; c <= cols; ++c)
                row.push_back(text(c));
            out.push_back(row);
        }
        return out;
    }
    // Column value read as SQL_C_WCHAR, converted to UTF-8.
    std::string text(SQLUSMALLINT col)
    {
        std::u16string acc;
        char16_t buf[64];
        SQLLEN ind = 0;
        for (;;) {
            SQLRETURN r = SQLGetData(h_, col, SQL_C_WCHAR, buf, sizeof buf, &ind);
            if (r == SQL_NO_DATA)
                break;
            if (!SQL_SUCCEEDED(r)) {
                ADD_FAILURE() << "SQLGetData failed: " << errors();
                break;
            }
            if (ind == SQL_NULL_DATA)
                return "<NULL>";
            acc += std::u16string(buf);
            if (r == SQL_SUCCESS)
                break;
        }
        return utf8(acc);
    }
    std::vector<std::vector<std::string>> query(const std::string& sql)
    {
        SQLRETURN r = exec(sql);
        EXPECT_TRUE(SQL_SUCCEEDED(r)) << sql << "\n" << errors();
        return SQL_SUCCEEDED(r) ? rows() : std::vector<std::vector<std::string>> {};
    }
    std::string scalar(const std::string& sql)
    {
        auto r = query(sql);
        EXPECT_EQ(r.size(), 1u) << sql;
        return r.empty() || r[0].empty() ? "" : r[0][0];
    }

private:
    SQLHSTMT h_ = SQL_NULL_HSTMT;
};

}  // namespace standintest
