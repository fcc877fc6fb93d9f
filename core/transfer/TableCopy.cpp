#include "TableCopy.h"

#include "LostAnswerCheck.h"
#include "SqlIdentifiers.h"
#include "TableChanges.h"

#include <algorithm>
#include <ctime>

namespace {

constexpr int kTimeoutSeconds = 5000;

void configure(DataConnection& connection, int cursorLocation)
{
    connection.setCursorLocation(cursorLocation);
    connection.setCommandTimeout(kTimeoutSeconds);
    connection.setConnectionTimeout(kTimeoutSeconds);
}

// Opens a connection; a failure is reported once and the run ends.
bool openConnection(DataConnection& connection, const SqlDialect& dialect, const ConnectionProfile& profile,
                    TransferStep step, TransferObserver& observer)
{
    try {
        dialect.openSession(connection, profile);
        return true;
    } catch (const DbError& error) {
        observer.report("", step, error.description(), "");
        return false;
    }
}

// Whether the connection still answers; a failed step may have cost it.
bool answers(DataConnection& connection, const SqlDialect& dialect)
{
    try {
        connection.execute(dialect.pingSql());
        return true;
    } catch (const DbError&) {
        return false;
    }
}

// A table whose COMMIT or swap took effect though its answer was lost is
// sent, with what the new session found.
bool tookEffect(TableResult& result, const LostAnswerCheck& look)
{
    if (look.outcome != LostAnswerCheck::Outcome::Committed)
        return false;
    result.status = TableStatus::Sent;
    result.reason.clear();
    result.rowsOnTarget = look.rowsOnTarget;
    result.notes.push_back(result.name + ": " + look.finding);
    return true;
}

}  // namespace

TransferRun::TransferRun(TransferDirection direction, const ConnectionProfile& mysql, const ConnectionProfile& db2,
                         const std::vector<std::string>& tables, TransferObserver& observer,
                         const TransferOptions& options)
        : started_(std::chrono::steady_clock::now()),
          toDB2(direction == TransferDirection::MySQLToDB2),
          side(toDB2 ? TargetSide::DB2 : TargetSide::MySQL),
          sourceSide(toDB2 ? DatabaseSide::MySQL : DatabaseSide::DB2),
          observer(observer),
          options(options),
          sourceDialect(DialectOf(sourceSide)),
          targetDialect(DialectOf(side)),
          source(toDB2 ? mysqlConnection_ : db2Connection_),
          target(toDB2 ? db2Connection_ : mysqlConnection_),
          mysql_(mysql),
          db2_(db2),
          tables_(tables)
{
    for (const std::string& table : tables)
        summary.tables.push_back(TableResult {table, TableStatus::Skipped, 0, 0, 0, -1, {}, "not sent", {}, {}, {}});
}

bool TransferRun::connect(bool firstOfRun)
{
    configure(db2Connection_, toDB2 ? kServerSideCursor : kClientSideCursor);
    configure(mysqlConnection_, toDB2 ? kClientSideCursor : kServerSideCursor);
    const TransferStep connectDB2 = toDB2 ? TransferStep::ConnectTarget : TransferStep::ConnectSource;
    const TransferStep connectMySQL = toDB2 ? TransferStep::ConnectSource : TransferStep::ConnectTarget;
    if (!openConnection(db2Connection_, DB2Dialect(), db2_, connectDB2, observer)
        || !openConnection(mysqlConnection_, MySQLDialect(), mysql_, connectMySQL, observer))
        return false;
    configure(claim, toDB2 ? kServerSideCursor : kClientSideCursor);
    if (tables_.empty())
        return true;
    if (!openConnection(claim, targetDialect, targetProfile(), TransferStep::ConnectTarget, observer))
        return false;
    if (firstOfRun)
        DropLeftoverStagingTables(target, targetDialect, std::time(nullptr));
    try {
        names = targetDialect.nameRules(target);
        for (const auto& name : targetDialect.tableNames(target))
            targetTables.emplace(names.tableKey(name), name);
    } catch (const DbError& error) {
        observer.report("", TransferStep::ConnectTarget, error.description(), "");
        return false;
    }
    if (!firstOfRun)
        return true;
    std::vector<std::string> existing;
    std::map<std::string, std::string> listedAs;
    for (const std::string& table : tables_)
        if (const auto found = targetTables.find(names.tableKey(targetNameOf(table))); found != targetTables.end()) {
            existing.push_back(table);
            listedAs[table] = found->second;
        }
    observer.tablesExistOnTarget(existing);
    observer.existingTargetNames(listedAs);
    return true;
}

void TransferRun::nameUnsentTables()
{
    const std::string endReason
        = summary.connectionLost ? "not sent: the connection was lost" : "not sent: the run was cancelled";
    for (TableResult& result : summary.tables)
        if (result.status == TableStatus::Skipped && result.reason == "not sent")
            result.reason = endReason;
}

TransferSummary TransferRun::finish()
{
    summary.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
    return summary;
}

std::string TransferRun::targetNameOf(const std::string& name) const
{
    return options.upperCaseNamesOnDB2 ? targetDialect.unquotedName(name) : name;
}

bool TransferRun::connectionsGone()
{
    return !answers(source, sourceDialect) || !answers(target, targetDialect);
}

void TransferRun::openStreamConnections(DataConnection& source, DataConnection& target) const
{
    configure(source, kClientSideCursor);
    configure(target, kServerSideCursor);
    sourceDialect.openSession(source, sourceProfile());
    targetDialect.openSession(target, targetProfile());
}

std::unique_ptr<SourceReader> TransferRun::readSource(const std::string& table, long long rowCount)
{
    return ReadAhead(OpenSource(sourceSide, source, table, BatchRowsFor(rowCount)));
}

TableCopy::TableCopy(TransferRun& run, TableResult& result)
        : run_(run), observer_(run.observer), result_(result), table_(result.name)
{
}

TableCopy::After TableCopy::send()
{
    observer_.tableStarting(table_);
    if (!checkName())
        return stopped();
    const auto existing = run_.targetTables.find(key_);
    overwrite_ = existing != run_.targetTables.end();
    if (overwrite_)
        existingName_ = existing->second;
    mode_ = overwrite_ ? observer_.existingTableMode(table_, run_.options.existingTables) : run_.options.existingTables;
    if (overwrite_ && mode_ != ExistingTables::ReplaceTable)
        return loadIntoExistingTable();
    return copyIntoNewTable();
}

// Names the target cannot take, or a table this run has just put there, are
// refused before anything is created.
bool TableCopy::checkName()
{
    const SqlDialect& targetDialect = run_.targetDialect;
    targetName_ = run_.targetNameOf(table_);
    if (const auto problem = run_.names.nameProblem(targetName_, true, targetDialect.displayName())) {
        refuseName(TransferStep::CreateTable, *problem, tooLongName());
        return false;
    }
    key_ = run_.names.tableKey(targetName_);
    listedName_ = run_.names.listedTableName(targetName_);
    const auto earlier = run_.sentByThisRun.find(key_);
    if (earlier == run_.sentByThisRun.end())
        return true;
    const bool twice = table_ == earlier->second;
    const bool renamed = targetName_ != table_ || run_.targetNameOf(earlier->second) != earlier->second;
    const std::string why = twice ? "it is named twice"
        : renamed ? "with upper-case names both are " + targetName_ + " on " + targetDialect.displayName()
                  : targetDialect.displayName() + " does not tell these table names apart";
    const ExistingTables mode = run_.options.existingTables;
    const std::string would = mode == ExistingTables::AddRows ? "would add its rows to "
        : mode == ExistingTables::ReplaceRows                 ? "would replace the rows of "
                                                              : "would replace ";
    const std::string& there = run_.targetTables.at(key_);
    refuseName(TransferStep::ReplaceTable,
               table_ + " " + would + there + ", which this run has just sent from " + earlier->second + ": " + why
                   + ". " + (twice ? "Send it once." : "Rename one of them and send it alone."),
               would + there + ", sent by this run from " + earlier->second);
    return false;
}

void TableCopy::fail(TransferStep step, const std::string& description, const std::string& sql)
{
    // A statement stopped by Cancel fails too: the run ends there, unreported.
    if (observer_.cancelRequested()) {
        run_.summary.cancelled = true;
        return;
    }
    observer_.report(table_, step, description, sql);
    result_.status = TableStatus::Failed;
    result_.reason = "failed";
    run_.summary.connectionLost = run_.connectionsGone();
}

// A step that failed: the run ends there when a connection is gone.
bool TableCopy::stepFailed(TransferStep step, const std::string& description, const std::string& sql)
{
    fail(step, description, sql);
    endsRun_ = run_.summary.connectionLost;
    return false;
}

void TableCopy::refuseName(TransferStep step, const std::string& description, const std::string& reason)
{
    fail(step, description, "");
    if (!run_.summary.cancelled)
        result_.reason = reason;
}

std::string TableCopy::selectSql() const { return "SELECT * FROM " + run_.sourceDialect.quoteIdentifier(table_); }

std::string TableCopy::tooLongName() const { return "a name too long for " + run_.targetDialect.displayName(); }

// What the target holds after a copy is counted by the target itself, not
// taken on trust: `expected` rows in `counted`, which a load into an existing
// table adds to the rows it had.
void TableCopy::checkCount(const std::string& counted, long long expected)
{
    const std::string expectedAs = expected == copy_.copied ? "written" : "expected";
    result_.rowsRead = copy_.read;
    result_.rowsWritten = copy_.copied;
    result_.rowsRefused = copy_.refused;
    result_.datesStoredAsNull = copy_.datesStoredAsNull;
    result_.valuesChangedByCodePage = copy_.valuesChangedByCodePage;
    result_.valuesRounded = copy_.valuesRounded;
    result_.status = TableStatus::Sent;
    result_.reason.clear();
    if (copy_.readFailed || copy_.writeFailed) {
        result_.status = TableStatus::Incomplete;
        result_.reason = copy_.readFailed ? "reading stopped part-way" : "writing stopped part-way";
        run_.summary.connectionLost = copy_.connectionLost || run_.connectionsGone();
        return;
    }
    if (copy_.cancelled) {
        result_.status = TableStatus::Incomplete;
        result_.reason = "cancelled";
        return;
    }
    const SqlDialect& targetDialect = run_.targetDialect;
    const std::string countSql = targetDialect.countRowsSql(counted);
    try {
        result_.rowsOnTarget = CountRows(run_.target, targetDialect, counted);
        if (result_.rowsOnTarget != expected) {
            observer_.report(table_, TransferStep::CountRows,
                             "The table holds " + CountsText(result_.rowsOnTarget) + " after the copy, but "
                                 + CountsText(expected) + " were " + expectedAs + ".",
                             countSql);
            result_.status = TableStatus::Incomplete;
            result_.reason = "the target holds " + CountsText(result_.rowsOnTarget) + ", " + std::to_string(expected)
                + " " + expectedAs;
        }
    } catch (const DbError& error) {
        const bool cancelled = observer_.cancelRequested();
        if (cancelled)
            run_.summary.cancelled = true;  // Cancel stopped the count: the run ends here
        else
            observer_.report(table_, TransferStep::CountRows, error.description(), countSql);
        result_.status = TableStatus::Incomplete;
        result_.reason = cancelled ? "cancelled" : "the rows on the target could not be counted";
        run_.summary.connectionLost = run_.connectionsGone();
    }
}

// The table's outcome is told; a lost connection or Cancel ends the run.
TableCopy::After TableCopy::report()
{
    observer_.tableFinished(result_);
    TransferSummary& summary = run_.summary;
    if (summary.connectionLost || copy_.cancelled || summary.cancelled) {
        summary.cancelled = summary.cancelled || copy_.cancelled;
        return After::EndRun;
    }
    return After::NextTable;
}

// ---- Into a new table ----

// The rows go into a staging table; the old table is replaced only by a
// complete copy, so a failure or Cancel leaves the target as it was.
TableCopy::After TableCopy::copyIntoNewTable()
{
    if (!confirmReplace() || !checkNotAView() || !checkNoDependents() || !openSource() || !nameColumns()
        || !planTarget() || !createStaging())
        return stopped();
    copyRows();
    swapInOrDiscard();
    return report();
}

bool TableCopy::confirmReplace()
{
    if (overwrite_ && !observer_.confirmOverwrite(table_, existingName_)) {
        result_.reason = kExistingTableKept;
        return false;
    }
    return true;
}

// A view of that name, which the target lists apart from its tables, would
// refuse the copy's name only after every row was written.
bool TableCopy::checkNotAView()
{
    if (overwrite_)
        return true;
    try {
        if (auto view = ViewRefusal(run_.target, run_.targetDialect, targetName_)) {
            refuseName(TransferStep::CreateTable, *view, "a view, not a table; nothing was written");
            return false;
        }
    } catch (const DbError& error) {
        return stepFailed(TransferStep::CreateTable, error.description(), "");
    }
    return true;
}

// A table others rely on is refused before anything is read.
bool TableCopy::checkNoDependents()
{
    if (!overwrite_)
        return true;
    try {
        RefuseIfDependents(run_.target, run_.targetDialect, existingName_, "the old table was kept");
    } catch (const TableChangeRefused& refusal) {
        fail(TransferStep::ReplaceTable, refusal.what(), "");
        result_.reason = refusal.reason();
        return false;
    } catch (const DbError& error) {
        return stepFailed(TransferStep::ReplaceTable, error.description(), "");
    }
    return true;
}

// The source is opened before anything is created: a table that cannot be
// read costs the target nothing.
bool TableCopy::openSource()
{
    DataConnection& source = run_.source;
    const TransferOptions& options = run_.options;
    try {
        rowCount_ = CountRows(source, run_.sourceDialect, table_);
        // Asked before the reader takes the source connection to its thread.
        if (options.columnTypes == Db2ColumnTypes::Matching) {
            if (run_.toDB2)
                declarations_ = ReadMySQLColumnDeclarations(source, table_);
            declaredCharacters_ = run_.sourceDialect.textDeclaredInCharacters(source, table_);
            if (!run_.textLengths)
                run_.textLengths = run_.targetDialect.sizesTextInCharacters(run_.target) ? TextLengths::Characters
                                                                                         : TextLengths::Bytes;
        }
        if (options.copyPrimaryKeys)
            sourceKey_ = run_.sourceDialect.primaryKeyColumns(source, table_);
        if (!planStreams())
            return false;
        if (!streams_)
            reader_ = run_.readSource(table_, rowCount_);
    } catch (const std::exception& error) {
        return stepFailed(TransferStep::OpenSource, error.what(), selectSql());
    }
    return true;
}

// A large table with a key goes in ranges of its key, one stream each, when
// the run asks for parallel streams (the streams' readers then stand for the
// table's reader); any other table as one stream.
bool TableCopy::planStreams()
{
    const TransferOptions& options = run_.options;
    const int wanted = std::clamp(options.parallelStreams, 1, kMaxParallelStreams);
    if (wanted < 2 || rowCount_ < options.splitFromRows)
        return true;
    auto split = SplitByKey(run_.source, run_.sourceDialect, table_, rowCount_, wanted);
    if (!split || split->ranges.size() < 2)
        return true;
    streams_ = std::make_unique<ParallelCopy>(run_, table_, std::move(*split), rowCount_);
    try {
        streams_->connect();
    } catch (const DbError& error) {
        streams_.reset();
        return stepFailed(TransferStep::OpenSource, error.description(), "");
    }
    return true;
}

// The columns take their names on the target and their declarations on the source.
bool TableCopy::nameColumns()
{
    columns_ = streams_ ? streams_->columns() : reader_->columns();
    std::optional<std::string> columnProblem;
    for (const Field& column : columns_)
        if ((columnProblem
             = run_.names.nameProblem(run_.targetNameOf(column.name), false, run_.targetDialect.displayName())))
            break;
    if (columnProblem) {
        reader_.reset();
        refuseName(TransferStep::CreateTable, *columnProblem, tooLongName());
        return false;
    }
    for (Field& column : columns_) {
        if (const auto it = declarations_.find(column.name); it != declarations_.end())
            column.declaredType = it->second;
        if (const auto it = declaredCharacters_.find(column.name); it != declaredCharacters_.end())
            column.declaredCharacters = static_cast<SQLULEN>(it->second);
        column.name = run_.targetNameOf(column.name);
    }
    return true;
}

// The table is planned under the staging name; one the target cannot hold is
// refused before anything is created.
bool TableCopy::planTarget()
{
    staging_.emplace(run_.target, run_.claim, run_.targetDialect, targetName_);
    plan_ = PlanTargetTable(run_.side, table_, columns_, sourceKey_, run_.options,
                            run_.textLengths.value_or(TextLengths::Bytes), staging_->name());
    result_.notes = plan_.notes;
    if (reader_ && !reader_->readingNote().empty())
        result_.notes.push_back(reader_->readingNote());
    if (const auto problem = run_.targetDialect.tableLayoutProblem(run_.target, plan_.columnTypes)) {
        reader_.reset();
        return stepFailed(TransferStep::CreateTable, *problem, plan_.createSql);
    }
    return true;
}

bool TableCopy::createStaging()
{
    if (auto refused = staging_->create(plan_.createSql)) {
        reader_.reset();
        return stepFailed(TransferStep::CreateTable, refused->description, refused->sql);
    }
    return true;
}

void TableCopy::copyRows()
{
    if (streams_) {
        copy_ = streams_->copy(staging_->name(), plan_.columnTypes);
        streams_.reset();
    } else {
        copy_ = CopyRows(run_.side, table_, staging_->name(), *reader_, rowCount_, plan_.columnTypes, run_.target,
                         observer_, &run_.claim);
    }
    reader_.reset();
    observer_.progress(0);
    checkCount(staging_->name(), copy_.copied);
}

// A complete copy takes the table's name; anything else is dropped and the
// target holds what it held.
void TableCopy::swapInOrDiscard()
{
    const char* const keptAsItWas = overwrite_ ? "the old table was not replaced" : "no table was created";
    if (result_.status != TableStatus::Sent)
        result_.reason += std::string(", ") + keptAsItWas;
    else if (auto refused = staging_->swapIn(overwrite_)) {
        if (observer_.cancelRequested()) {  // Cancel stopped the swap's wait
            result_.status = TableStatus::Incomplete;
            result_.reason = std::string("cancelled, ") + keptAsItWas;
            run_.summary.cancelled = true;
        } else if (answers(run_.claim, run_.targetDialect)) {
            observer_.report(table_, TransferStep::ReplaceTable, refused->description, refused->sql);
            result_.status = TableStatus::Failed;
            result_.reason = refused->reason.empty() ? keptAsItWas : refused->reason;
            run_.summary.connectionLost = run_.connectionsGone();
        } else {
            // The connection went during the swap, which may have taken effect: look.
            const LostAnswerCheck look = CheckSwapAfterLostAnswer(run_.targetDialect, run_.targetProfile(),
                                                                  staging_->name(), targetName_);
            observer_.report(table_, TransferStep::ReplaceTable, refused->description + "\n" + look.finding,
                             refused->sql);
            run_.summary.connectionLost = true;
            result_.status = TableStatus::Failed;
            result_.reason = "the connection was lost during the swap; ";
            if (tookEffect(result_, look)) {
                staging_->forget();
                if (overwrite_)
                    observer_.targetDropped(existingName_);
                observer_.tableArrived(listedName_);
            } else {
                result_.reason += look.outcome == LostAnswerCheck::Outcome::NotCommitted ? std::string(keptAsItWas)
                                                                                         : look.finding;
            }
        }
    } else {
        if (overwrite_)
            observer_.targetDropped(existingName_);
        run_.targetTables[key_] = listedName_;
        run_.sentByThisRun[key_] = table_;
        observer_.tableArrived(listedName_);
    }
    if (result_.status != TableStatus::Sent) {
        staging_->discard();
        result_.rowsWritten = 0;  // the copy is gone; the target holds what it held
        result_.rowsOnTarget = -1;
    }
}

// ---- Into the table the target has ----

// The table stays; its rows are added to or replaced in one transaction.
TableCopy::After TableCopy::loadIntoExistingTable()
{
    kept_ = mode_ == ExistingTables::AddRows ? "no row was added" : "the old rows were kept";
    if (!countSourceRows() || !confirmLoad() || !readColumnTypes() || !openSourceForLoad() || !matchColumns()
        || !beginLoad())
        return stopped();
    loadRows();
    refuseEmptying();
    endLoad(commitLoad());
    return report();
}

void TableCopy::refuseLoad(TransferStep step, const std::string& description, const std::string& reason)
{
    fail(step, description, "");
    if (!run_.summary.cancelled && !run_.summary.connectionLost)
        result_.reason = reason;
}

bool TableCopy::countSourceRows()
{
    try {
        rowCount_ = CountRows(run_.source, run_.sourceDialect, table_);
    } catch (const DbError& error) {
        return stepFailed(TransferStep::OpenSource, error.description(), selectSql());
    }
    return true;
}

// Asked, and refused when the table cannot take it, before anything is read or deleted.
bool TableCopy::confirmLoad()
{
    const SqlDialect& targetDialect = run_.targetDialect;
    try {
        const long long asked = rowsAsked_
            = mode_ == ExistingTables::AddRows ? rowCount_ : CountRows(run_.target, targetDialect, existingName_);
        if (!observer_.confirmLoad(table_, existingName_, LoadQuestion(mode_, asked, existingName_))) {
            result_.reason = kExistingTableKept;
            return false;
        }
        if (auto refusal = LoadRefusal(run_.target, targetDialect, existingName_, mode_)) {
            refuseLoad(TransferStep::ReplaceTable, *refusal, "refused, " + kept_);
            return false;
        }
        targetColumns_ = targetDialect.existingColumns(run_.target, existingName_);
    } catch (const DbError& error) {
        return stepFailed(TransferStep::ReplaceTable, error.description(), "");
    }
    return true;
}

// Both sides' column types decide which values would change on their way;
// read before the reader takes the source connection.
bool TableCopy::readColumnTypes()
{
    const std::string describeSql
        = "SELECT * FROM " + run_.targetDialect.quoteIdentifier(existingName_) + " WHERE 1 = 0";
    try {
        sourceDeclarations_ = run_.sourceDialect.declaredColumnTypes(run_.source, table_);
        const auto declared = run_.targetDialect.declaredColumnTypes(run_.target, existingName_);
        const auto described = run_.target.execute(describeSql);
        for (int i = 0; described && i < described->fieldCount(); ++i) {
            Field column = described->field(i);
            if (const auto it = declared.find(column.name); it != declared.end())
                column.declaredType = it->second;
            targetFields_[column.name] = std::move(column);
        }
    } catch (const DbError& error) {
        return stepFailed(TransferStep::ReplaceTable, error.description(), describeSql);
    }
    return true;
}

bool TableCopy::openSourceForLoad()
{
    try {
        reader_ = run_.readSource(table_, rowCount_);
    } catch (const std::exception& error) {
        return stepFailed(TransferStep::OpenSource, error.what(), selectSql());
    }
    return true;
}

bool TableCopy::matchColumns()
{
    std::vector<std::string> sourceColumns;
    for (const Field& column : reader_->columns())
        sourceColumns.push_back(run_.targetNameOf(column.name));
    loadColumns_ = MatchLoadColumns(sourceColumns, targetColumns_, run_.targetDialect.columnNamesIgnoreCase(),
                                    existingName_);
    if (loadColumns_.problem) {
        reader_.reset();
        refuseLoad(TransferStep::Insert, *loadColumns_.problem, "the columns do not match, " + kept_);
        return false;
    }
    return true;
}

bool TableCopy::beginLoad()
{
    loading_.emplace(run_.target, run_.targetDialect, existingName_, mode_);
    try {
        loading_->begin();
    } catch (const TableChangeRefused& refusal) {
        reader_.reset();
        refuseLoad(TransferStep::ReplaceTable, refusal.what(), refusal.reason());
        return false;
    } catch (const DbError& error) {
        reader_.reset();
        return stepFailed(TransferStep::ReplaceTable, error.description(), "");
    }
    return true;
}

// How each target column holds its source column's values, decided before any row moves.
ValueChecks TableCopy::valueChecks() const
{
    ValueChecks checks;
    checks.allowRounding = run_.options.allowRounding;
    const std::vector<Field>& sourceColumns = reader_->columns();
    for (size_t c = 0; c < sourceColumns.size() && c < loadColumns_.names.size(); ++c) {
        Field source = sourceColumns[c];
        if (const auto it = sourceDeclarations_.find(source.name); it != sourceDeclarations_.end())
            source.declaredType = it->second;
        const auto target = targetFields_.find(loadColumns_.names[c]);
        checks.columns.push_back(target == targetFields_.end() ? ColumnFit() : FitColumn(source, target->second));
    }
    return checks;
}

void TableCopy::loadRows()
{
    copy_ = CopyRows(run_.side, table_, existingName_, *reader_, rowCount_, loadColumns_.types, run_.target, observer_,
                     nullptr, loadColumns_.names, valueChecks());
    reader_.reset();
    observer_.progress(0);
    checkCount(existingName_, loading_->rowsBefore() + copy_.copied);
}

void TableCopy::refuseEmptying()
{
    if (auto emptied = EmptiedByLoad(mode_, copy_, existingName_); emptied && result_.status == TableStatus::Sent) {
        observer_.report(table_, TransferStep::Insert, *emptied, "");
        result_.status = TableStatus::Failed;
        result_.reason = "not one row could be written";
    }
}

bool TableCopy::commitLoad()
{
    if (result_.status != TableStatus::Sent)
        return true;
    const SqlDialect& targetDialect = run_.targetDialect;
    try {
        loading_->commit();
        run_.sentByThisRun[key_] = table_;  // a later table of this name would load into these rows
    } catch (const DbError& error) {
        result_.status = TableStatus::Failed;
        result_.reason = "the rows could not be committed";
        run_.summary.connectionLost = run_.connectionsGone();
        if (!targetDialect.isConnectionLost(error)) {
            observer_.report(table_, TransferStep::Insert, error.description(), "COMMIT");
            return true;
        }
        // The server may have committed before the connection went: look.
        const long long rowsBefore = mode_ == ExistingTables::AddRows ? loading_->rowsBefore() : rowsAsked_;
        const LostAnswerCheck look = CheckLoadAfterLostCommit(targetDialect, run_.targetProfile(), existingName_,
                                                              rowsBefore, loading_->rowsBefore() + copy_.copied);
        observer_.report(table_, TransferStep::Insert, error.description() + "\n" + look.finding, "COMMIT");
        run_.summary.connectionLost = true;
        result_.reason = "the connection was lost during COMMIT";
        if (!tookEffect(result_, look) && look.outcome == LostAnswerCheck::Outcome::Unknown) {
            result_.reason += "; " + look.finding;
            return false;
        }
    }
    return true;
}

// A load that is not sent is rolled back; one that is notes what the target's
// identity columns did.
void TableCopy::endLoad(bool outcomeKnown)
{
    if (result_.status != TableStatus::Sent) {
        loading_->rollback();
        if (outcomeKnown)
            result_.reason += ", " + kept_;
        result_.rowsWritten = 0;
        result_.rowsOnTarget = -1;
    } else {
        for (std::string& note : IdentityNotes(run_.target, run_.targetDialect, existingName_, loadColumns_.names))
            result_.notes.push_back(std::move(note));
    }
}
