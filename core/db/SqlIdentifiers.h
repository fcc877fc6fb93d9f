#pragma once

#include <string>

// Identifiers go into statements quoted, with the quote character doubled
// inside, so no table or column name can break or extend a statement.
std::string QuoteMySQLIdentifier(const std::string& name);  // `name`, ` doubled
std::string QuoteDB2Identifier(const std::string& name);    // "name", " doubled

// A text literal with apostrophes doubled: 'it''s'.
std::string QuoteSqlText(const std::string& text);

// A UTF-8 name in lower case, as a server that folds table names keeps it
// (every alphabet).
std::string LowerCaseName(const std::string& name);
// Characters of a UTF-8 name.
size_t NameCharacters(const std::string& name);
