// Text between UTF-8, UTF-16 and the code pages of DB2 databases and applications.
#pragma once

#include <sql.h>

#include <string>

namespace db2standin {

// The iconv name of a DB2 code page.
std::string codesetOf(long codePage);
// The code page DB2 CLI converts SQL_C_CHAR data with: DB2CODEPAGE, else the
// one of the process locale; "" stands for UTF-8 (1208). Sets the locale's
// decimal point.
std::string applicationCodeset(char& decimalPoint);
// Converts text between code pages; a character the target lacks becomes
// DB2's substitution character 0x1A, as in a mismatched code page conversion.
std::string convertText(const std::string& in, const std::string& to, const std::string& from);

// UTF-16 (units; -1: up to a NUL) to UTF-8, and back (defined beside the wide entry points).
std::string utf16ToUtf8(const SQLWCHAR* s, long long units);
std::u16string utf8ToUtf16(const std::string& s);
// UTF-8 text as the bytes of its UTF-16 form.
std::string utf8ToUtf16Bytes(const char* s, size_t n);

}  // namespace db2standin
