#include "PagedReader.h"

#include <algorithm>
#include <utility>

namespace {

// Before anything is measured the rows may weigh more than the server guesses.
constexpr size_t kFirstPageRows = 128, kPageGrowth = 8;
constexpr double kUnknownRowBytes = 64 * 1024;

}  // namespace

ReadSnapshot::ReadSnapshot(DataConnection& connection, bool enabled) : connection_(connection), active_(enabled)
{
    if (!active_)
        return;
    connection_.execute("SET TRANSACTION ISOLATION LEVEL REPEATABLE READ");
    connection_.execute("START TRANSACTION WITH CONSISTENT SNAPSHOT, READ ONLY");
}

ReadSnapshot::~ReadSnapshot()
{
    if (!active_)
        return;
    try {
        connection_.execute("COMMIT");
    } catch (const DbError&) {
        // A lost connection ends the transaction anyway.
    }
}

PagedReader::PagedReader(DataConnection& mysql, const MySQLTableFacts& facts, size_t blockRows, size_t maxPageRows,
                         size_t pageBytes)
        : mysql_(mysql), inSnapshot_(facts.snapshots), snapshot_(mysql, facts.snapshots), statement_(mysql),
          blockRows_(std::max<size_t>(blockRows, 1)), maxPageRows_(std::max<size_t>(maxPageRows, 1)),
          pageBytes_(static_cast<double>(pageBytes))
{
    if (facts.longValues)
        pageRows_ = 1;  // nothing tells what such rows weigh before one is read
    else
        pageRows_ = wholeBlocks(facts.averageRowBytes > 0 ? std::min(rowsWithinBudget(facts.averageRowBytes),
                                                                     std::max(kFirstPageRows, blockRows_))
                                                          : rowsWithinBudget(kUnknownRowBytes));
}

RowBlock* PagedReader::next()
{
    while (!done_) {
        if (RowBlock* block = fetcher_->next()) {
            expected_->arrived(block->rows);
            rowsInPage_ += block->rows;
            bytesInPage_ += block->valueBytes();
            pageRead(*block);
            return block;
        }
        // Page read: a short page was the last one.
        SQLFreeStmt(statement_.get(), SQL_CLOSE);
        if (pageWasLast(rowsInPage_, pageRows_)) {
            done_ = true;
            expected_->checkAtEnd();
            break;
        }
        if (rowsInPage_ > 0) {
            const double rowBytes = static_cast<double>(std::max<size_t>(bytesInPage_, 1)) / rowsInPage_;
            pageRows_ = wholeBlocks(std::min(rowsWithinBudget(rowBytes), pageRows_ * kPageGrowth));
        }
        rowsInPage_ = bytesInPage_ = 0;
        readPage(pageRows_, false);
    }
    return nullptr;
}

void PagedReader::start()
{
    expected_.emplace([this] { return countRows(); }, inSnapshot_);
    readPage(pageRows_, true);
    plans_ = PlanColumns(DescribeResultColumns(statement_.get()), true, TargetSide::DB2);
    describePlans();
    fetcher_ = std::make_unique<BlockFetcher>(plans_, blockRows_);
    fetcher_->attach(statement_.get());
}

long long PagedReader::count(const std::string& sql, std::vector<std::string> values, std::vector<bool> binary)
{
    // A statement of its own: the pages' statement has the blocks bound.
    ParameterStatement counting(mysql_);
    counting.execute(sql, std::move(values), std::move(binary));
    const auto rows = counting.rows();
    return rows.empty() || rows.front().empty() ? 0 : std::stoll(rows.front().front().value_or("0"));
}

size_t PagedReader::rowsWithinBudget(double rowBytes) const
{
    return std::clamp<size_t>(static_cast<size_t>(pageBytes_ / std::max(rowBytes, 1.0)), 1, maxPageRows_);
}
