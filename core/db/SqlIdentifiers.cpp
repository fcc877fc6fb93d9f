#include "SqlIdentifiers.h"

#include "Utf16.h"

#include <locale.h>
#include <wctype.h>

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

std::string LowerCaseName(const std::string& name)
{
    // The C.UTF-8 locale knows every alphabet's case, whatever the user's locale.
    static const locale_t unicode = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
    std::string lower;
    lower.reserve(name.size());
    for (size_t at = 0; at < name.size();) {
        char32_t code = DecodeUtf8(name, at);
        if (code < 0x80)
            code = static_cast<char32_t>(code >= 'A' && code <= 'Z' ? code + 32 : code);
        else if (unicode)
            code = static_cast<char32_t>(towlower_l(static_cast<wint_t>(code), unicode));
        AppendUtf8(lower, code);
    }
    return lower;
}

size_t NameCharacters(const std::string& name)
{
    size_t characters = 0;
    for (unsigned char c : name)
        characters += (c & 0xC0) != 0x80;
    return characters;
}
