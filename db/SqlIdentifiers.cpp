#include "SqlIdentifiers.h"

namespace {

std::string quoted(const std::string& text, char quote)
{
    std::string out;
    out.reserve(text.size() + 2);
    out += quote;
    for (char c : text) {
        out += c;
        if (c == quote)
            out += quote;
    }
    out += quote;
    return out;
}

}  // namespace

std::string QuoteMySQLIdentifier(const std::string& name) { return quoted(name, '`'); }
std::string QuoteDB2Identifier(const std::string& name) { return quoted(name, '"'); }
std::string QuoteSqlText(const std::string& text) { return quoted(text, '\''); }
