#pragma once

#include <QString>

#include <string>
#include <vector>

// The order of the lists: a sorts before b, without regard to case, for
// every alphabet (not only ASCII). Sending matches names as the target
// server compares them instead.
bool TableNameBefore(const QString& a, const QString& b);

// Sorts names into that order; names equal but for case keep their order.
void SortTableNames(std::vector<std::string>& names);
