// Throughput of the DB2 stand-in: array INSERT and block-fetch SELECT, beside
// PostgreSQL's own COPY on the same server. Usage: tablehop_db2standin_bench [rows]
#include "OdbcHelpers.h"

#include <libpq-fe.h>

#include <chrono>
#include <cstdio>
#include <fstream>

using namespace standintest;

namespace {
double seconds(std::chrono::steady_clock::time_point t0)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}
long rssKb()
{
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::atol(line.c_str() + 6);
    return 0;
}
}  // namespace

int main(int argc, char** argv)
{
    const long total = argc > 1 ? std::atol(argv[1]) : 1000000;
    const SQLULEN batch = 1000;
    Connection conn;
    if (!SQL_SUCCEEDED(conn.connect(defaultConnectionString()))) {
        std::fprintf(stderr, "connect failed: %s\n", conn.lastError().c_str());
        return 1;
    }
    Statement s(conn);
    s.exec("DROP TABLE SI_BENCH");
    s.exec("DROP TABLE SI_BENCH_COPY");
    s.exec("CREATE TABLE SI_BENCH (ID INTEGER NOT NULL, NAME VARCHAR(100), AMOUNT DOUBLE, BIG BIGINT, DATA "
           "VARBINARY(16), D DATE)");
    s.exec("CREATE TABLE SI_BENCH_COPY (ID INTEGER NOT NULL, NAME VARCHAR(100), AMOUNT DOUBLE, BIG BIGINT, DATA "
           "VARBINARY(16), D DATE)");

    std::vector<SQLINTEGER> ids(batch);
    std::vector<char16_t> names(batch * 41);
    std::vector<SQLLEN> nameInd(batch), dataInd(batch), dateInd(batch, SQL_NTS);
    std::vector<double> amounts(batch);
    std::vector<SQLBIGINT> bigs(batch);
    std::vector<unsigned char> data(batch * 16);
    std::vector<char> dates(batch * 11);
    std::u16string sql = u16("INSERT INTO SI_BENCH (ID, NAME, AMOUNT, BIG, DATA, D) VALUES (?, ?, ?, ?, ?, ?)");
    SQLPrepareW(s.h(), W(sql), SQL_NTS);
    SQLSetStmtAttr(s.h(), SQL_ATTR_PARAMSET_SIZE, reinterpret_cast<SQLPOINTER>(batch), 0);
    SQLBindParameter(s.h(), 1, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0, ids.data(), 0, nullptr);
    SQLBindParameter(s.h(), 2, SQL_PARAM_INPUT, SQL_C_WCHAR, SQL_WVARCHAR, 40, 0, names.data(), 82, nameInd.data());
    SQLBindParameter(s.h(), 3, SQL_PARAM_INPUT, SQL_C_DOUBLE, SQL_DOUBLE, 0, 0, amounts.data(), 0, nullptr);
    SQLBindParameter(s.h(), 4, SQL_PARAM_INPUT, SQL_C_SBIGINT, SQL_BIGINT, 0, 0, bigs.data(), 0, nullptr);
    SQLBindParameter(s.h(), 5, SQL_PARAM_INPUT, SQL_C_BINARY, SQL_VARBINARY, 16, 0, data.data(), 16, dataInd.data());
    SQLBindParameter(s.h(), 6, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_TYPE_DATE, 10, 0, dates.data(), 11, dateInd.data());
    std::string copyData;
    auto t0 = std::chrono::steady_clock::now();
    for (long done = 0; done < total; done += static_cast<long>(batch)) {
        for (SQLULEN k = 0; k < batch; ++k) {
            long id = done + static_cast<long>(k);
            ids[k] = static_cast<SQLINTEGER>(id);
            std::u16string n = u16("name é " + std::to_string(id));
            std::copy(n.begin(), n.end(), names.begin() + static_cast<long>(k * 41));
            names[k * 41 + n.size()] = 0;
            nameInd[k] = SQL_NTS;
            amounts[k] = id * 0.25;
            bigs[k] = id * 1000003LL;
            for (int b = 0; b < 8; ++b)
                data[k * 16 + b] = static_cast<unsigned char>(id >> b);
            dataInd[k] = 8;
            std::snprintf(&dates[k * 11], 11, "2020-%02ld-%02ld", id % 12 + 1, id % 28 + 1);
        }
        SQLRETURN r = SQLExecute(s.h());
        if (r != SQL_SUCCESS) {
            std::fprintf(stderr, "execute: %d %s\n", r, s.errors().c_str());
            return 1;
        }
    }
    double insertSecs = seconds(t0);
    SQLSetStmtAttr(s.h(), SQL_ATTR_PARAMSET_SIZE, reinterpret_cast<SQLPOINTER>(1), 0);
    SQLFreeStmt(s.h(), SQL_RESET_PARAMS);

    // The same rows through libpq COPY.
    std::string conninfo = "host=" + env("TABLEHOP_TEST_DB2_SERVER") + " port=" + env("TABLEHOP_TEST_DB2_PORT")
        + " dbname=testdb user=" + env("TABLEHOP_TEST_DB2_USER") + " password=" + env("TABLEHOP_TEST_DB2_PASSWORD");
    PGconn* pg = PQconnectdb(conninfo.c_str());
    PQclear(PQexec(pg, "SET search_path TO \"DB2INST1\""));
    t0 = std::chrono::steady_clock::now();
    PQclear(PQexec(pg, "COPY \"SI_BENCH_COPY\" FROM STDIN"));
    for (long id = 0; id < total; ++id) {
        char line[256];
        char hex[17];
        for (int b = 0; b < 8; ++b)
            std::snprintf(hex + 2 * b, 3, "%02x", static_cast<unsigned char>(id >> b));
        int len = std::snprintf(line, sizeof line, "%ld\tname é %ld\t%.17g\t%lld\t\\\\x%s\t2020-%02ld-%02ld\n", id, id,
                                id * 0.25, id * 1000003LL, hex, id % 12 + 1, id % 28 + 1);
        copyData.append(line, static_cast<size_t>(len));
        if (copyData.size() > (1 << 20)) {
            PQputCopyData(pg, copyData.data(), static_cast<int>(copyData.size()));
            copyData.clear();
        }
    }
    PQputCopyData(pg, copyData.data(), static_cast<int>(copyData.size()));
    PQputCopyEnd(pg, nullptr);
    PQclear(PQgetResult(pg));
    double copySecs = seconds(t0);

    // Streaming read with row arrays, beside COPY TO STDOUT.
    long rssBefore = rssKb();
    s.exec("SELECT ID, NAME, AMOUNT, BIG, DATA, D FROM SI_BENCH");
    const SQLULEN block = 1000;
    std::vector<SQLINTEGER> rid(block);
    std::vector<char16_t> rname(block * 101);
    std::vector<double> ramount(block);
    std::vector<SQLBIGINT> rbig(block);
    std::vector<unsigned char> rdata(block * 16);
    std::vector<SQL_DATE_STRUCT> rdate(block);
    std::vector<SQLLEN> i1(block), i2(block), i3(block), i4(block), i5(block), i6(block);
    SQLULEN fetched = 0;
    SQLSetStmtAttr(s.h(), SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(block), 0);
    SQLSetStmtAttr(s.h(), SQL_ATTR_ROWS_FETCHED_PTR, &fetched, 0);
    SQLBindCol(s.h(), 1, SQL_C_SLONG, rid.data(), 0, i1.data());
    SQLBindCol(s.h(), 2, SQL_C_WCHAR, rname.data(), 202, i2.data());
    SQLBindCol(s.h(), 3, SQL_C_DOUBLE, ramount.data(), 0, i3.data());
    SQLBindCol(s.h(), 4, SQL_C_SBIGINT, rbig.data(), 0, i4.data());
    SQLBindCol(s.h(), 5, SQL_C_BINARY, rdata.data(), 16, i5.data());
    SQLBindCol(s.h(), 6, SQL_C_TYPE_DATE, rdate.data(), 0, i6.data());
    t0 = std::chrono::steady_clock::now();
    long read = 0, peak = 0;
    while (SQL_SUCCEEDED(SQLFetch(s.h()))) {
        read += static_cast<long>(fetched);
        if (read % 100000 < static_cast<long>(block))
            peak = std::max(peak, rssKb());
    }
    double readSecs = seconds(t0);
    t0 = std::chrono::steady_clock::now();
    PQclear(PQexec(pg, "COPY \"SI_BENCH\" TO STDOUT"));
    char* buf;
    long copied = 0;
    while (PQgetCopyData(pg, &buf, 0) > 0) {
        ++copied;
        PQfreemem(buf);
    }
    PQclear(PQgetResult(pg));
    double copyOutSecs = seconds(t0);
    PQfinish(pg);
    std::printf("array insert: %ld rows in %.2fs = %.0f rows/s; COPY FROM: %.2fs = %.0f rows/s (ratio %.2f)\n", total,
                insertSecs, total / insertSecs, copySecs, total / copySecs, copySecs / insertSecs);
    std::printf("block fetch:  %ld rows in %.2fs = %.0f rows/s; COPY TO: %ld rows %.2fs = %.0f rows/s (ratio %.2f); "
                "RSS %ld kB before, peak %ld kB\n",
                read, readSecs, read / readSecs, copied, copyOutSecs, copied / copyOutSecs, copyOutSecs / readSecs,
                rssBefore, peak);
    SQLFreeStmt(s.h(), SQL_UNBIND);
    s.exec("DROP TABLE SI_BENCH");
    s.exec("DROP TABLE SI_BENCH_COPY");
    return read == total ? 0 : 1;
}
