#pragma once

#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

#include <string>
#include <string_view>

// Text is UTF-8 inside the program; the wide ODBC calls take UTF-16.
using SqlWString = std::basic_string<SQLWCHAR>;

SqlWString toSqlW(std::string_view utf8);
// The same written to `out`, which holds at least utf8.size() units; returns the units written.
size_t WriteUtf16(std::string_view utf8, SQLWCHAR* out);
std::string fromSqlW(const SQLWCHAR* text, size_t length);
// The UTF-8 bytes of UTF-16 text, and the text written to `out`, which holds
// at least that many; returns the bytes written.
size_t Utf8Length(const SQLWCHAR* text, size_t length);
size_t WriteUtf8(const SQLWCHAR* text, size_t length, char* out);
// One code point of UTF-8 at text[i]; advances i. Invalid bytes give U+FFFD.
char32_t DecodeUtf8(std::string_view text, size_t& i);
void AppendUtf8(std::string& out, char32_t cp);
inline std::string fromSqlW(const SqlWString& text) { return fromSqlW(text.data(), text.size()); }
