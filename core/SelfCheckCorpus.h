#pragma once

#include <string>
#include <vector>

// The values "tablehop-cli check" sends both ways, at the types' limits and
// with the characters drivers get wrong. The round-trip tests send the same.

// The values are compared after each trip as a verify compares a copy.
struct CorpusColumn {
    std::string name;
    std::string type;                   // on the side the table is made
    std::string what;                   // the check's name
    std::vector<std::string> literals;  // SQL literals of rows 1 and 2 (row 3 is NULL throughout)
};

// Made on MySQL: every integer, decimal, floating, date and time type at its
// limits, quotes, backslashes, emoji, every byte, 100 KB text and blob.
std::vector<CorpusColumn> MySQLCorpusColumns();

// Made on DB2: its own types (TIMESTAMP(12), BOOLEAN, CLOB, BLOB...).
std::vector<CorpusColumn> DB2CorpusColumns();
