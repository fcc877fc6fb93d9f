#pragma once

#include "ConnectionProfile.h"
#include "TableChanges.h"

#include <QString>
#include <QStringList>

class DataConnection;

// The non-window parts of deleting and renaming tables.

// The question before dropping: names the side and the selected tables (the
// first few, then how many more).
inline constexpr int kConfirmationNamesShown = 5;
QString DeleteConfirmationText(DatabaseSide side, const QStringList& tables);

// The rename input box: "Enter new name of " + name + ":".
QString RenamePrompt(const QString& table);

// What a DROP did: the table is gone (dropped, or the server did not know it),
// or it was refused: by the server (the driver's DbError) or by the tool,
// when something relies on the table or it stays in use (TableChangeRefused).
DropOutcome DropTable(DatabaseSide side, DataConnection& connection, const QString& table);

// Renames a table; throws DbError or TableChangeRefused as DropTable does.
void RenameTable(DatabaseSide side, DataConnection& connection, const QString& from, const QString& to);

// Opens a connection of the side with its current profile.
void OpenSide(DatabaseSide side, DataConnection& connection, const ConnectionProfile& profile);
