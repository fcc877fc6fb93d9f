#pragma once

#include "ConnectionProfile.h"

#include <QString>
#include <QStringList>

// The window's texts for deleting and renaming tables.

// The question before dropping: names the side and the selected tables (the
// first few, then how many more).
inline constexpr int kConfirmationNamesShown = 5;
// Names among `views` are views: they are marked so ("v_orders (view)").
QString DeleteConfirmationText(DatabaseSide side, const QStringList& tables, const QStringList& views = {});

// The rename input box: "Enter new name of " + name + ":".
QString RenamePrompt(const QString& table);
