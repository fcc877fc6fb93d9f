#pragma once

#include <QString>

// The order of the lists: a sorts before b, without regard to case, for
// every alphabet (not only ASCII). Sending matches names as the target
// server compares them instead.
bool TableNameBefore(const QString& a, const QString& b);
