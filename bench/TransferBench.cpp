// tablehop-transfer-bench send to-db2|to-mysql TABLE [STREAMS]
//   Sends TABLE with RunTransfer, replacing the target table, over STREAMS
//   parallel streams (default 1), and prints
//   rows=N refused=N seconds=S rows_per_s=R peak_rss_mb=M streams=K cpu_s=C cpu_s_per_million_rows=P
//   cpu_s is this process's user + system CPU time (getrusage, all threads,
//   connecting included). The DB2 stand-in's ODBC driver runs inside it, so
//   the figure holds the stand-in's client-side work for the DB2 side as
//   well as both drivers'; neither server's work is in it.
// tablehop-transfer-bench verify to-db2|to-mysql TABLE
//   Compares TABLE with its copy on the target and prints
//   rows=N status=equal|different|not-compared seconds=S rows_per_s=R peak_rss_mb=M
// tablehop-transfer-bench exec mysql|db2 SQL
//   Runs one statement (bench set-up).
// tablehop-transfer-bench list mysql|db2 names|estimates
//   Lists the side's tables as a list fill does, with or without the
//   statistics' estimates, five times, and prints
//   tables=N estimated=N median_ms=M
// Connection data comes from the TABLEHOP_TEST_* variables of scripts/test-services.
#include "TableListing.h"
#include "TableComparison.h"
#include "Transfer.h"

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <vector>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

namespace {

ConnectionProfile profileFromEnv(const std::string& prefix)
{
    const auto get = [&](const char* key) {
        const char* value = std::getenv((prefix + key).c_str());
        if (!value) {
            std::cerr << prefix << key << " is not set (eval \"$(scripts/test-services env)\")\n";
            std::exit(2);
        }
        return std::string(value);
    };
    return {get("SERVER"), get("PORT"), get("USER"), get("PASSWORD"), get("DATABASE")};
}

// Answers like a user who replaces every table and watches the bar.
class BenchObserver : public TransferObserver {
public:
    bool confirmOverwrite(const std::string&, const std::string&) override { return true; }
    void targetDropped(const std::string&) override { }
    void tableArrived(const std::string&) override { }
    void progress(int percent) override
    {
        if (percent > 0 && percent % 25 == 0 && percent != last_)
            std::cerr << "  " << percent << "%\n";
        last_ = percent;
    }
    void report(const std::string&, TransferStep step, const std::string& description, const std::string& sql) override
    {
        std::cerr << "report at step " << static_cast<int>(step) << ": " << description
                  << "\n  sql: " << sql.substr(0, 300) << "\n";
        ++reports;
    }
    void rowsRefused(const std::string& table, long long further) override
    {
        std::cerr << table << ": " << further << " further rows refused\n";
    }
    bool cancelRequested() override { return false; }
    void yield() override { }
    int reports = 0;

private:
    int last_ = 0;
};

long peakRssMb()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;  // kilobytes on Linux
}

// User and system CPU seconds of the whole process so far, every thread.
double cpuSeconds()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& time) { return time.tv_sec + time.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

int send(const std::string& direction, const std::string& table, int streams)
{
    BenchObserver observer;
    TransferOptions options;
    options.parallelStreams = streams;
    const auto summary = RunTransfer(
        direction == "to-db2" ? TransferDirection::MySQLToDB2 : TransferDirection::DB2ToMySQL,
        profileFromEnv("TABLEHOP_TEST_MYSQL_"), profileFromEnv("TABLEHOP_TEST_DB2_"), {table}, observer, options);
    const double cpu = cpuSeconds();
    const long long rows = summary.rowsCopied();
    std::printf("rows=%lld refused=%lld seconds=%.3f rows_per_s=%.0f peak_rss_mb=%ld streams=%d cpu_s=%.2f"
                " cpu_s_per_million_rows=%.2f\n",
                rows, summary.rowsRefused(), summary.seconds, summary.seconds > 0 ? rows / summary.seconds : 0.0,
                peakRssMb(), streams, cpu, rows > 0 ? cpu / (rows / 1e6) : 0.0);
    return observer.reports == 0 && summary.tablesSent() == 1 ? 0 : 1;
}

int verify(const std::string& direction, const std::string& table)
{
    ComparisonObserver observer;
    const auto summary
        = CompareTables(direction == "to-db2" ? TransferDirection::MySQLToDB2 : TransferDirection::DB2ToMySQL,
                        profileFromEnv("TABLEHOP_TEST_MYSQL_"), profileFromEnv("TABLEHOP_TEST_DB2_"), {table}, observer);
    const TableComparison& compared = summary.tables.at(0);
    std::string status = ComparisonStatusName(compared.status);
    std::replace(status.begin(), status.end(), ' ', '-');
    std::printf("rows=%lld status=%s seconds=%.3f rows_per_s=%.0f peak_rss_mb=%ld\n", compared.sourceRows,
                status.c_str(), summary.seconds, summary.seconds > 0 ? compared.sourceRows / summary.seconds : 0.0,
                peakRssMb());
    if (!compared.reason.empty())
        std::cerr << table << ": " << compared.reason << "\n";
    return summary.allEqual() ? 0 : 1;
}

int exec(const std::string& side, const std::string& sql)
{
    DataConnection connection;
    connection.open(side == "db2" ? DB2ConnectionString(profileFromEnv("TABLEHOP_TEST_DB2_"))
                                  : MySQLConnectionString(profileFromEnv("TABLEHOP_TEST_MYSQL_")));
    connection.execute(sql);
    return 0;
}

int list(const std::string& side, bool estimates)
{
    std::vector<double> millis;
    size_t tables = 0, estimated = 0;
    for (int run = 0; run < 5; ++run) {
        TableEstimates figures;
        const auto start = std::chrono::steady_clock::now();
        const auto names = side == "db2"
            ? ListDB2Tables(profileFromEnv("TABLEHOP_TEST_DB2_"), estimates ? &figures : nullptr)
            : ListMySQLTables(profileFromEnv("TABLEHOP_TEST_MYSQL_"), estimates ? &figures : nullptr);
        millis.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        tables = names.size();
        estimated = static_cast<size_t>(std::count_if(names.begin(), names.end(), [&](const std::string& name) {
            const auto found = figures.find(name);
            return found != figures.end() && found->second.rows;
        }));
    }
    std::sort(millis.begin(), millis.end());
    std::printf("tables=%zu estimated=%zu median_ms=%.1f\n", tables, estimated, millis[millis.size() / 2]);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    try {
        if ((argc == 4 || argc == 5) && std::strcmp(argv[1], "send") == 0) {
            const int streams = argc == 5 ? std::atoi(argv[4]) : 1;
            if (streams >= 1)
                return send(argv[2], argv[3], streams);
        }
        if (argc == 4 && std::strcmp(argv[1], "verify") == 0)
            return verify(argv[2], argv[3]);
        if (argc == 4 && std::strcmp(argv[1], "exec") == 0)
            return exec(argv[2], argv[3]);
        if (argc == 4 && std::strcmp(argv[1], "list") == 0)
            return list(argv[2], std::strcmp(argv[3], "estimates") == 0);
    } catch (const std::exception& error) {
        std::cerr << error.what() << "\n";
        return 1;
    }
    std::cerr << "usage: tablehop-transfer-bench send to-db2|to-mysql TABLE [STREAMS]"
                 " | verify to-db2|to-mysql TABLE | exec mysql|db2 SQL"
                 " | list mysql|db2 names|estimates\n";
    return 2;
}
