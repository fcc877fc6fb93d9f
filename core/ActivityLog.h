#pragma once

#include "ConnectionProfile.h"

#include <QDateTime>
#include <QString>

#include <string>
#include <vector>

// One line of the activity log: what the tool did to a server.
struct ActivityEntry {
    std::string action;  // "send", "verify", "delete" or "rename"
    std::string side;    // the server acted on; for a send, its target
    std::vector<std::string> tables;
    std::string result;               // the outcome with its counts, as the front ends tell it
    std::vector<std::string> errors;  // the servers' messages, in the order they came
};

// The lasting record of every send, delete and rename, which the window and
// the command line both append to. One line per entry, fields separated by tabs:
//   2026-12-08T09:01:02.345+01:00  send  IBM DB2  tables=orders, customers  result=Sent 2 tables ...  errors=...
// (errors= only when there were any). A tab, line break or backslash inside
// a field is written \t, \n or \\, so an entry stays one line for grep.
class ActivityLog {
public:
    explicit ActivityLog(QString filePath) : filePath_(std::move(filePath)) { }

    // activity.log in the user's data folder for the program
    // (QStandardPaths::AppLocalDataLocation).
    static QString defaultFilePath();

    const QString& filePath() const { return filePath_; }

    // Opens the file, appends the entry's line in one write and closes it
    // again, so that a window and a command line appending at the same time
    // each keep their lines whole. Empty when it worked, else why not.
    std::string append(const ActivityEntry& entry) const;

    static std::string line(const ActivityEntry& entry, const QDateTime& time);

private:
    QString filePath_;
};

// The organization and program names that QStandardPaths makes the
// program's folders of, the same as the settings store's; each front end
// sets them first, so both find one activity log.
void UseProgramNames();

// What a delete or a rename did, as the status line, the command line and
// the activity log tell it.
enum class TableChange { Delete, Rename };
struct TableChangeRecord {
    TableChange change = TableChange::Delete;
    DatabaseSide side = DatabaseSide::MySQL;
    std::vector<std::string> tables;  // the names asked for, in the list's order
    std::string newName;              // a rename's new name
    std::vector<std::string> done;    // dropped (or already gone), or the one renamed
    std::vector<std::string> errors;
};

// "Deleted 2 tables from IBM DB2: A, B", "Deleted 1 table from MySQL: a. Not deleted: b",
// "Renamed orders to orders_2016 on MySQL", "Did not rename orders to x on MySQL".
std::string TableChangeText(const TableChangeRecord& record);

ActivityEntry EntryOf(const TableChangeRecord& record);
