#include "ActivityLog.h"

#include "SettingsStore.h"
#include "SqlDialect.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <algorithm>

namespace {

std::string escaped(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\t': out += "\\t"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        default: out += c;
        }
    }
    return out;
}

std::string joined(const std::vector<std::string>& parts, const char* separator)
{
    std::string out;
    for (const auto& part : parts)
        out += (out.empty() ? "" : separator) + part;
    return out;
}

// "2026-12-08T09:01:02.345+01:00": local time with its offset from UTC, so
// entries written across a clock change still sort and compare.
std::string timeWithOffset(const QDateTime& time)
{
    const int offset = time.offsetFromUtc();
    const int minutes = std::abs(offset) / 60;
    return (time.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz"))
            + QStringLiteral("%1%2:%3")
                  .arg(QLatin1Char(offset < 0 ? '-' : '+'))
                  .arg(minutes / 60, 2, 10, QLatin1Char('0'))
                  .arg(minutes % 60, 2, 10, QLatin1Char('0')))
        .toStdString();
}

std::string counted(size_t count, const char* one, const char* many)
{
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

}  // namespace

QString ActivityLog::defaultFilePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation) + QStringLiteral("/activity.log");
}

std::string ActivityLog::line(const ActivityEntry& entry, const QDateTime& time)
{
    std::string line = timeWithOffset(time) + "\t" + escaped(entry.action) + "\t" + escaped(entry.side)
        + "\ttables=" + escaped(joined(entry.tables, ", ")) + "\tresult=" + escaped(entry.result);
    if (!entry.errors.empty())
        line += "\terrors=" + escaped(joined(entry.errors, " | "));
    return line + "\n";
}

std::string ActivityLog::append(const ActivityEntry& entry) const
{
    const QByteArray bytes = QByteArray::fromStdString(line(entry, QDateTime::currentDateTime()));
    QDir().mkpath(QFileInfo(filePath_).absolutePath());
    // Unbuffered: the line goes to the file in one write, appended where the file ends then.
    QFile file(filePath_);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        return filePath_.toStdString() + ": " + file.errorString().toStdString();
    if (file.write(bytes) != bytes.size())
        return filePath_.toStdString() + ": " + file.errorString().toStdString();
    return {};
}

void UseProgramNames()
{
    QCoreApplication::setOrganizationName(QString::fromLatin1(SettingsStore::kApplication));
    QCoreApplication::setApplicationName(QStringLiteral("Tablehop"));
}

std::string TableChangeText(const TableChangeRecord& record)
{
    const std::string side = DialectOf(record.side).displayName();
    if (record.change == TableChange::Rename) {
        const std::string names
            = (record.tables.empty() ? std::string() : record.tables.front()) + " to " + record.newName + " on " + side;
        return (record.done.empty() ? "Did not rename " : "Renamed ") + names;
    }
    std::vector<std::string> deleted, notDeleted;
    for (const auto& table : record.tables)
        (std::find(record.done.begin(), record.done.end(), table) != record.done.end() ? deleted : notDeleted)
            .push_back(table);
    std::string text = "Deleted " + counted(deleted.size(), "table", "tables") + " from " + side;
    if (!deleted.empty())
        text += ": " + joined(deleted, ", ");
    if (!notDeleted.empty())
        text += ". Not deleted: " + joined(notDeleted, ", ");
    return text;
}

ActivityEntry EntryOf(const TableChangeRecord& record)
{
    return {record.change == TableChange::Delete ? "delete" : "rename", DialectOf(record.side).displayName(),
            record.tables, TableChangeText(record), record.errors};
}
