#include "ConnectionProfile.h"
#include "DbError.h"
#include "SqlIdentifiers.h"
#include "Utf16.h"

#include <gtest/gtest.h>

namespace {

struct TextCase {
    const char* label;
    ConnectionProfile profile;
    const char* mysql;              // nullptr: the MySQL text is refused
    const char* db2;                // nullptr: the DB2 text is refused
    const char* refusal = nullptr;  // words a refusal says
};

const TextCase kCases[] = {
    {"ordinary",
     {"db.example.org", "3306", "ann", "s3cret", "shop"},
     "DRIVER={MySQL ODBC 5.1 Driver};SERVER=db.example.org;USER=ann;DATABASE=shop;PASSWORD=s3cret;PORT=3306;",
     "Driver={IBM DB2 ODBC DRIVER};Database=shop;Hostname=db.example.org;Port=3306;Protocol=TCPIP;Uid=ann;Pwd=s3cret;"},
    {"all empty",
     {"", "", "", "", ""},
     "DRIVER={MySQL ODBC 5.1 Driver};SERVER=;USER=;DATABASE=;PASSWORD=;PORT=;",
     "Driver={IBM DB2 ODBC DRIVER};Database=;Hostname=;Port=;Protocol=TCPIP;Uid=;Pwd=;"},
    {"blanks and letters pass verbatim",
     {" host ", "33o6", "a b", "p w", "d b"},
     "DRIVER={MySQL ODBC 5.1 Driver};SERVER= host ;USER=a b;DATABASE=d b;PASSWORD=p w;PORT=33o6;",
     "Driver={IBM DB2 ODBC DRIVER};Database=d b;Hostname= host ;Port=33o6;Protocol=TCPIP;Uid=a b;Pwd=p w;"},
    {"a blank at the end of a password, which the drivers take off",
     {"h", "1", "u", "pw ", "d"},
     nullptr,
     nullptr,
     "password begins or ends with a blank"},
    {"a tab at the start of a password",
     {"h", "1", "u", "\tpw", "d"},
     nullptr,
     nullptr,
     "password begins or ends with a blank"},
    {"a blank at the start of a user name",
     {"h", "1", " u", "p", "d"},
     nullptr,
     nullptr,
     "user name begins or ends with a blank"},
    {"equals sign is no separator",
     {"h", "1", "u", "a=b", "d"},
     "DRIVER={MySQL ODBC 5.1 Driver};SERVER=h;USER=u;DATABASE=d;PASSWORD=a=b;PORT=1;",
     "Driver={IBM DB2 ODBC DRIVER};Database=d;Hostname=h;Port=1;Protocol=TCPIP;Uid=u;Pwd=a=b;"},
    {"quotes pass verbatim",
     {"h", "1", "u", "O'Brien'", "d"},
     "DRIVER={MySQL ODBC 5.1 Driver};SERVER=h;USER=u;DATABASE=d;PASSWORD=O'Brien';PORT=1;",
     "Driver={IBM DB2 ODBC DRIVER};Database=d;Hostname=h;Port=1;Protocol=TCPIP;Uid=u;Pwd=O'Brien';"},
    {"semicolon in a password cannot add an attribute",
     {"h", "1", "u", "x;SERVER=evil", "d"},
     "DRIVER={MySQL ODBC 5.1 Driver};SERVER=h;USER=u;DATABASE=d;PASSWORD={x;SERVER=evil};PORT=1;",
     nullptr,
     "\";\""},
    {"every special character at once, starting with a brace",
     {"h", "1", "u", "{a;b}c=d'e", "d"},
     "DRIVER={MySQL ODBC 5.1 Driver};SERVER=h;USER=u;DATABASE=d;PASSWORD={{a;b}}c=d'e};PORT=1;",
     nullptr,
     "\";\""},
    {"braces are wrapped and the closing one doubled",
     {"h", "1", "u", "{p}w}", "d"},
     "DRIVER={MySQL ODBC 5.1 Driver};SERVER=h;USER=u;DATABASE=d;PASSWORD={{p}}w}}};PORT=1;",
     "Driver={IBM DB2 ODBC DRIVER};Database=d;Hostname=h;Port=1;Protocol=TCPIP;Uid=u;Pwd={p}w};"},
    {"semicolon in a server name",
     {"h;DATABASE=other", "1", "u", "p", "d"},
     "DRIVER={MySQL ODBC 5.1 Driver};SERVER={h;DATABASE=other};USER=u;DATABASE=d;PASSWORD=p;PORT=1;",
     nullptr,
     "\";\""},
    {"non-ASCII values",
     {"h", "1", "Jürgen", "pässwörd✓", "datenbank"},
     "DRIVER={MySQL ODBC 5.1 Driver};SERVER=h;USER=Jürgen;DATABASE=datenbank;PASSWORD=pässwörd✓;PORT=1;",
     "Driver={IBM DB2 ODBC DRIVER};Database=datenbank;Hostname=h;Port=1;Protocol=TCPIP;Uid=Jürgen;Pwd=pässwörd✓;"},
    {"schema and encryption left off: the plain texts",
     {"h", "1", "u", "p", "d", "", false, "/etc/ca.pem", "/c.pem", "/k.pem"},
     "DRIVER={MySQL ODBC 5.1 Driver};SERVER=h;USER=u;DATABASE=d;PASSWORD=p;PORT=1;",
     "Driver={IBM DB2 ODBC DRIVER};Database=d;Hostname=h;Port=1;Protocol=TCPIP;Uid=u;Pwd=p;"},
    {"a DB2 schema and encryption with every file",
     {"h", "1", "u", "p", "d", "SALES", true, "/etc/ca.pem", "/c.pem", "/k.pem"},
     "DRIVER={MySQL ODBC 5.1 Driver};SERVER=h;USER=u;DATABASE=d;PASSWORD=p;PORT=1;SSLCA=/etc/ca.pem;SSLCERT=/c.pem;"
     "SSLKEY=/k.pem;SSLVERIFY=1;FORCETLS=1;",
     "Driver={IBM DB2 ODBC DRIVER};Database=d;Hostname=h;Port=1;Protocol=TCPIP;Uid=u;Pwd=p;CurrentSchema=SALES;"
     "Security=SSL;SSLServerCertificate=/etc/ca.pem;"},
    {"encryption without files still verifies and never goes plain",
     {"h", "1", "u", "p", "d", "", true, "", "", ""},
     "DRIVER={MySQL ODBC 5.1 Driver};SERVER=h;USER=u;DATABASE=d;PASSWORD=p;PORT=1;SSLVERIFY=1;FORCETLS=1;",
     "Driver={IBM DB2 ODBC DRIVER};Database=d;Hostname=h;Port=1;Protocol=TCPIP;Uid=u;Pwd=p;Security=SSL;"},
    {"a file name with a semicolon",
     {"h", "1", "u", "p", "d", "", true, "C:\\certs;x\\ca.pem", "", ""},
     "DRIVER={MySQL ODBC 5.1 Driver};SERVER=h;USER=u;DATABASE=d;PASSWORD=p;PORT=1;SSLCA={C:\\certs;x\\ca.pem};"
     "SSLVERIFY=1;FORCETLS=1;",
     nullptr,
     "\";\""},
    {"a schema with a semicolon",
     {"h", "1", "u", "p", "d", "S;Security=NONE", false, "", "", ""},
     "DRIVER={MySQL ODBC 5.1 Driver};SERVER=h;USER=u;DATABASE=d;PASSWORD=p;PORT=1;",
     nullptr,
     "\";\""},
};

// A refused text throws with a sentence that says why.
void expectText(const char* side, std::string (*make)(const ConnectionProfile&), const TextCase& c,
                const char* expected)
{
    SCOPED_TRACE(side);
    try {
        const std::string text = make(c.profile);
        if (expected)
            EXPECT_EQ(text, expected);
        else
            ADD_FAILURE() << "accepted: " << text;
    } catch (const DbError& error) {
        ASSERT_FALSE(expected) << error.description();
        EXPECT_EQ(error.sqlState(), "HY024");
        EXPECT_NE(error.description().find(c.refusal), std::string::npos) << error.description();
    }
}

TEST(ConnectionText, BothSidesForOrdinaryAndHostileValues)
{
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.label);
        expectText("MySQL", MySQLConnectionString, c, c.mysql);
        expectText("DB2", DB2ConnectionString, c, c.db2);
    }
}

TEST(SqlQuoting, QuoteCharactersAreDoubled)
{
    EXPECT_EQ(QuoteMySQLIdentifier("orders"), "`orders`");
    EXPECT_EQ(QuoteMySQLIdentifier("a`b"), "`a``b`");
    EXPECT_EQ(QuoteDB2Identifier("say \"hi\""), "\"say \"\"hi\"\"\"");
    EXPECT_EQ(QuoteDB2Identifier("it's"), "\"it's\"");
    EXPECT_EQ(QuoteSqlText("O'Brien"), "'O''Brien'");
}

TEST(Utf16, RoundTripsEveryPlane)
{
    for (const std::string text : {"", "plain", "Grüße", "日本語", "emoji 😀 and 𝄞", "mixed ü😀x"}) {
        const SqlWString wide = toSqlW(text);
        EXPECT_EQ(fromSqlW(wide), text);
    }
    EXPECT_EQ(toSqlW("😀").size(), 2u) << "characters beyond the BMP take a surrogate pair";
    EXPECT_EQ(fromSqlW(toSqlW("a\xff"
                              "b")),
              "a\xEF\xBF\xBD"
              "b")
        << "an invalid byte becomes U+FFFD";
}

// Text that is not UTF-8 (a Latin-1 byte, a sequence cut short) keeps every
// valid character around it; only the broken bytes become U+FFFD.
TEST(Utf16, BrokenSequencesBecomeOneReplacementEach)
{
    const std::string replacement = "\xEF\xBF\xBD";
    const std::pair<std::string, std::string> cases[] = {
        {"caf\xE9 au lait", "caf" + replacement + " au lait"},       // Latin-1 é before ASCII
        {"\xE9t\xE9", replacement + "t" + replacement},               // Latin-1 "été"
        {"na\xEFve", "na" + replacement + "ve"},                       // a lead byte of three before ASCII
        {"\xC3(", replacement + "("},                                  // two-byte lead, no continuation
        {"\xE2\x82x", replacement + "x"},                              // "€" cut after two bytes
        {"\xF0\x9F\x98!", replacement + "!"},                          // "😀" cut after three bytes
        {"\xF0\x9F\x98\xC3\xBC", replacement + "\xC3\xBC"},            // cut, then a whole ü
        {"end \xE2\x82", "end " + replacement},                        // cut by the end of the text
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(fromSqlW(toSqlW(text)), expected) << text;
}

}  // namespace
