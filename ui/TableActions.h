#pragma once

#include "TableOperations.h"

#include <QString>
#include <QStringList>

// The window's texts for deleting and renaming tables, and the core's table
// operations for the window's names.

// The question before dropping: names the side and the selected tables (the
// first few, then how many more).
inline constexpr int kConfirmationNamesShown = 5;
QString DeleteConfirmationText(DatabaseSide side, const QStringList& tables);

// The rename input box: "Enter new name of " + name + ":".
QString RenamePrompt(const QString& table);

// The core's operations on the names as the lists show them.
inline DropOutcome DropTable(DatabaseSide side, DataConnection& connection, const QString& table)
{
    return DropTable(side, connection, table.toStdString());
}

inline void RenameTable(DatabaseSide side, DataConnection& connection, const QString& from, const QString& to)
{
    RenameTable(side, connection, from.toStdString(), to.toStdString());
}
