#pragma once

#include <QString>

#include <optional>
#include <string>
#include <vector>

// Table names as the lists and tablehop-cli compare them: without regard to
// case, for every alphabet (not only ASCII).
bool SameTableName(const QString& a, const QString& b);
// The order of the lists: a sorts before b.
bool TableNameBefore(const QString& a, const QString& b);

// The first of names that matches table that way, as it is written there.
std::optional<std::string> MatchingTableName(const std::vector<std::string>& names, const std::string& table);
