#pragma once

#include <QString>

// Table names as the lists compare and sort them: without regard to case,
// for every alphabet (not only ASCII). Sending matches names as the target
// server does instead.
bool SameTableName(const QString& a, const QString& b);
// The order of the lists: a sorts before b.
bool TableNameBefore(const QString& a, const QString& b);
