#pragma once

#include "DbError.h"

#include <sql.h>
#include <sqlext.h>

#include <string>
#include <utility>

// Owns one ODBC handle; frees it on destruction (never throws).
class OdbcHandle {
public:
    OdbcHandle() = default;
    OdbcHandle(SQLSMALLINT type, SQLHANDLE parent);  // allocates; throws DbError
    ~OdbcHandle() { reset(); }

    OdbcHandle(const OdbcHandle&) = delete;
    OdbcHandle& operator=(const OdbcHandle&) = delete;
    OdbcHandle(OdbcHandle&& other) noexcept { *this = std::move(other); }
    OdbcHandle& operator=(OdbcHandle&& other) noexcept;

    SQLHANDLE get() const { return handle_; }
    SQLSMALLINT type() const { return type_; }
    explicit operator bool() const { return handle_ != SQL_NULL_HANDLE; }
    void reset() noexcept;

private:
    SQLSMALLINT type_ = 0;
    SQLHANDLE handle_ = SQL_NULL_HANDLE;
};

// Every diagnostic record of a handle, stray NULs stripped.
std::vector<DiagRecord> readDiagnostics(SQLSMALLINT handleType, SQLHANDLE handle);

// The one checked wrapper every ODBC call goes through: throws DbError with the
// handle's diagnostics unless rc is SQL_SUCCESS, SQL_SUCCESS_WITH_INFO or an
// extra accepted code (e.g. SQL_NO_DATA).
SQLRETURN checkOdbc(SQLRETURN rc, SQLSMALLINT handleType, SQLHANDLE handle, const char* call,
                    SQLRETURN alsoAccepted = SQL_SUCCESS);

inline bool odbcSucceeded(SQLRETURN rc) { return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO; }
