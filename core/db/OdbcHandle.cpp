#include "OdbcHandle.h"

#include "StatementCancel.h"
#include "Utf16.h"

#include <algorithm>
#include <cstdlib>
#include <cstdio>

OdbcHandle::OdbcHandle(SQLSMALLINT type, SQLHANDLE parent) : type_(type)
{
    const SQLRETURN rc = SQLAllocHandle(type, parent, &handle_);
    if (!odbcSucceeded(rc)) {
        handle_ = SQL_NULL_HANDLE;
        if (parent != SQL_NULL_HANDLE) {
            const SQLSMALLINT parentType = type == SQL_HANDLE_STMT ? SQL_HANDLE_DBC : SQL_HANDLE_ENV;
            throw DbError(readDiagnostics(parentType, parent));
        }
        throw DbError("HY000", 0, "Could not allocate an ODBC environment (is unixODBC installed?)");
    }
}

OdbcHandle& OdbcHandle::operator=(OdbcHandle&& other) noexcept
{
    if (this != &other) {
        reset();
        type_ = other.type_;
        handle_ = std::exchange(other.handle_, SQLHANDLE {});
    }
    return *this;
}

void OdbcHandle::reset() noexcept
{
    if (handle_ != SQL_NULL_HANDLE) {
        if (type_ == SQL_HANDLE_STMT)
            StatementCanceller::forget(handle_);
        SQLFreeHandle(type_, handle_);
        handle_ = SQL_NULL_HANDLE;
    }
}

std::vector<DiagRecord> readDiagnostics(SQLSMALLINT handleType, SQLHANDLE handle)
{
    std::vector<DiagRecord> records;
    if (handle == SQL_NULL_HANDLE)
        return records;
    for (SQLSMALLINT i = 1;; ++i) {
        SQLWCHAR state[6] = {};
        SQLINTEGER native = 0;
        SQLSMALLINT length = 0;
        if (!odbcSucceeded(SQLGetDiagRecW(handleType, handle, i, state, &native, nullptr, 0, &length)))
            break;
        SqlWString message(static_cast<size_t>(length) + 1, 0);
        SQLGetDiagRecW(handleType, handle, i, state, &native, message.data(), static_cast<SQLSMALLINT>(message.size()),
                       &length);
        message.resize(std::min<size_t>(static_cast<size_t>(length), message.size() - 1));
        DiagRecord record;
        record.sqlState = fromSqlW(state, 5);
        record.nativeCode = native;
        std::string text = fromSqlW(message);
        std::erase(text, '\0');
        record.message = std::move(text);
        records.push_back(std::move(record));
        if (i > 50)
            break;
    }
    return records;
}

SQLRETURN checkOdbc(SQLRETURN rc, SQLSMALLINT handleType, SQLHANDLE handle, const char* call, SQLRETURN alsoAccepted)
{
    static const bool trace = std::getenv("TABLEHOP_ODBC_TRACE") != nullptr;
    if (trace)
        std::fprintf(stderr, "odbc: %s -> %d\n", call, static_cast<int>(rc));
    if (odbcSucceeded(rc) || (alsoAccepted != SQL_SUCCESS && rc == alsoAccepted))
        return rc;
    if (rc == SQL_INVALID_HANDLE)
        throw DbError("HY000", 0, std::string("Invalid handle in ") + call);
    throw DbError(readDiagnostics(handleType, handle));
}
