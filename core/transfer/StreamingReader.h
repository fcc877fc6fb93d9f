#pragma once

#include "MySQLClientSession.h"
#include "SourceReader.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

// A MySQL table or view without a usable key read by one SELECT whose rows
// are taken off the network as they arrive, in its own session: one
// consistent, read-only snapshot, so no row is locked and nothing is copied
// on the server, and a login that may only SELECT can do it; every row the
// snapshot holds (counted in it) must arrive. Memory holds
// one block. The columns are described by the ODBC session, so the blocks
// hold the same values in the same forms as any other MySQL reader's.
//
// Throws StreamUnavailable when its session cannot be had (the caller reads
// the table another way), DbError for every failure of the read itself. The
// connection it was opened on must outlive it: a read left unfinished is
// ended on the server through it.
class StreamingReader : public SourceReader {
public:
    struct StreamUnavailable : DbError {
        using DbError::DbError;
    };

    StreamingReader(DataConnection& mysql, const std::string& table, size_t blockRows);
    ~StreamingReader() override;
    RowBlock* next() override;

private:
    void openSession(DataConnection& mysql);
    void startSelect();
    // Reads one row into `row`; false at the end of the result.
    bool fetchRow(std::vector<std::optional<std::string>>& row);
    [[noreturn]] void failed(DbError error);
    // Ends a read left unfinished, on the server too.
    void abandon() noexcept;

    struct CloseStatement {
        void operator()(MYSQL_STMT* statement) const;
    };
    // Cancel may end the session from another thread while this is registered.
    struct CancelRegistration {
        const void* owner = nullptr;
        ~CancelRegistration();
    };

    // Destroyed in reverse: the registration ends before the session does.
    DataConnection& mysql_;
    std::unique_ptr<MySQLClientSession> session_;
    std::unique_ptr<MYSQL_STMT, CloseStatement> statement_;
    CancelRegistration registration_;
    StatementCanceller* canceller_;
    size_t capacity_;
    RowBlock block_;
    struct Column;
    std::vector<Column> columns_;
    std::string countSql_;
    std::optional<ExpectedRows> expected_;             // counted in the read's snapshot
    std::vector<std::optional<std::string>> waiting_;  // a row fetched for the next block
    bool done_ = false;
    bool drained_ = false;  // the server sent the result's last row
    bool abandoned_ = false;
};
