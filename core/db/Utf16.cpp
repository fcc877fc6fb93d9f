#include "Utf16.h"

#include <algorithm>

namespace {

constexpr char32_t kReplacement = 0xFFFD;

}  // namespace

char32_t DecodeUtf8(std::string_view text, size_t& i)
{
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    if (lead < 0x80) {
        ++i;
        return lead;
    }
    int extra = 0;
    char32_t cp = 0;
    if ((lead & 0xE0) == 0xC0) {
        extra = 1;
        cp = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        extra = 2;
        cp = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        extra = 3;
        cp = lead & 0x07;
    } else {
        ++i;
        return kReplacement;
    }
    for (int k = 1; k <= extra; ++k) {
        if (i + k >= text.size() || (byte(i + k) & 0xC0) != 0x80) {
            i += k;
            return kReplacement;
        }
        cp = (cp << 6) | (byte(i + k) & 0x3F);
    }
    i += extra + 1;
    return cp;
}

void AppendUtf8(std::string& out, char32_t cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Every row's text passes through here, so it is written through a pointer:
// UTF-16 never needs more units than UTF-8 has bytes.
size_t WriteUtf16(std::string_view utf8, SQLWCHAR* out)
{
    SQLWCHAR* to = out;
    size_t i = 0;
    const auto* bytes = reinterpret_cast<const unsigned char*>(utf8.data());
    while (i < utf8.size()) {
        // Runs of ASCII in a loop the compiler can vectorise.
        size_t end = i;
        while (end < utf8.size() && bytes[end] < 0x80)
            ++end;
        for (; i < end; ++i)
            *to++ = bytes[i];
        if (i == utf8.size())
            break;
        const char32_t cp = DecodeUtf8(utf8, i);
        if (cp >= 0x10000) {
            const char32_t v = cp - 0x10000;
            *to++ = static_cast<SQLWCHAR>(0xD800 + (v >> 10));
            *to++ = static_cast<SQLWCHAR>(0xDC00 + (v & 0x3FF));
        } else {
            *to++ = static_cast<SQLWCHAR>(cp);
        }
    }
    return static_cast<size_t>(to - out);
}

SqlWString toSqlW(std::string_view utf8)
{
    SqlWString out(utf8.size(), 0);
    out.resize(WriteUtf16(utf8, out.data()));
    return out;
}

namespace {

// Decodes the code point at text[i], a surrogate pair as one; advances i.
// Unpaired surrogates give U+FFFD.
char32_t decodeUtf16(const SQLWCHAR* text, size_t length, size_t& i)
{
    char32_t cp = text[i++];
    if (cp >= 0xD800 && cp < 0xDC00 && i < length && text[i] >= 0xDC00 && text[i] < 0xE000)
        return 0x10000 + ((cp - 0xD800) << 10) + (text[i++] - 0xDC00);
    return cp >= 0xD800 && cp < 0xE000 ? kReplacement : cp;
}

size_t utf8Bytes(char32_t cp) { return cp < 0x80 ? 1 : cp < 0x800 ? 2 : cp < 0x10000 ? 3 : 4; }

}  // namespace

size_t Utf8Length(const SQLWCHAR* text, size_t length)
{
    size_t bytes = 0;
    for (size_t i = 0; i < length;)
        bytes += utf8Bytes(decodeUtf16(text, length, i));
    return bytes;
}

size_t WriteUtf8(const SQLWCHAR* text, size_t length, char* out)
{
    char* to = out;
    std::string one;
    for (size_t i = 0; i < length;) {
        if (text[i] < 0x80) {
            *to++ = static_cast<char>(text[i++]);
            continue;
        }
        one.clear();
        AppendUtf8(one, decodeUtf16(text, length, i));
        to = std::copy(one.begin(), one.end(), to);
    }
    return static_cast<size_t>(to - out);
}

std::string fromSqlW(const SQLWCHAR* text, size_t length)
{
    std::string out(Utf8Length(text, length), '\0');
    WriteUtf8(text, length, out.data());
    return out;
}
