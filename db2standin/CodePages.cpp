#include "CodePages.h"

#include "Translate.h"

#include <iconv.h>
#include <langinfo.h>
#include <locale.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>

namespace db2standin {

std::string codesetOf(long codePage)
{
    return codePage == 1208 ? "UTF-8"
        : codePage == 819   ? "ISO-8859-1"
        : codePage == 923   ? "ISO-8859-15"
        : codePage == 1252  ? "CP1252"
                            : "CP" + std::to_string(codePage);
}

std::string applicationCodeset(char& decimalPoint)
{
    locale_t loc = newlocale(LC_ALL_MASK, "", static_cast<locale_t>(nullptr));
    if (!loc)
        loc = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    std::string codeset = nl_langinfo_l(CODESET, loc);
    const char* radix = nl_langinfo_l(RADIXCHAR, loc);
    decimalPoint = radix && *radix ? *radix : '.';
    freelocale(loc);
    if (const char* page = std::getenv("DB2CODEPAGE"); page && *page)
        codeset = codesetOf(std::atoi(page));
    const std::string up = upperAscii(codeset);
    if (up == "UTF-8" || up == "UTF8")
        return "";
    if (up == "ANSI_X3.4-1968" || up == "ASCII")
        return "ISO-8859-1";  // the C locale: DB2 takes code page 819
    return codeset;
}

std::string convertText(const std::string& in, const std::string& to, const std::string& from)
{
    // Every value passes through here: a converter is opened once per thread
    // and pair of code pages, and reset before each use.
    thread_local std::map<std::pair<std::string, std::string>, iconv_t> converters;
    auto found = converters.find({to, from});
    if (found == converters.end())
        found = converters.emplace(std::make_pair(to, from), iconv_open(to.c_str(), from.c_str())).first;
    iconv_t cd = found->second;
    if (cd == reinterpret_cast<iconv_t>(-1))
        return in;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    std::string out;
    out.resize(in.size() * 4 + 16);
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    char* dst = out.data();
    size_t dstLeft = out.size();
    while (srcLeft > 0) {
        if (iconv(cd, &src, &srcLeft, &dst, &dstLeft) != static_cast<size_t>(-1))
            break;
        if (errno == E2BIG) {
            const size_t used = out.size() - dstLeft;
            out.resize(out.size() * 2);
            dst = out.data() + used;
            dstLeft = out.size() - used;
            continue;
        }
        // An unconvertible or broken sequence: one substitution character for it.
        size_t skip = 1;
        if (from == "UTF-8")
            while (skip < srcLeft && (static_cast<unsigned char>(src[skip]) & 0xC0) == 0x80)
                ++skip;
        src += skip;
        srcLeft -= skip;
        if (dstLeft == 0) {
            const size_t used = out.size();
            out.resize(out.size() * 2);
            dst = out.data() + used;
            dstLeft = out.size() - used;
        }
        *dst++ = '\x1A';
        --dstLeft;
    }
    out.resize(out.size() - dstLeft);
    return out;
}

}  // namespace db2standin
