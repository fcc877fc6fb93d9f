#include "SelfCheckCorpus.h"

namespace {

// A binary string constant of the bytes 0 to 255.
std::string everyByteHex()
{
    static const char* digits = "0123456789ABCDEF";
    std::string hex = "X'";
    for (int b = 0; b < 256; ++b) {
        hex += digits[b >> 4];
        hex += digits[b & 15];
    }
    return hex + "'";
}

const std::string kEveryByte = "(SELECT GROUP_CONCAT(CHAR(seq) ORDER BY seq SEPARATOR '') FROM seq_0_to_255)";

}  // namespace

std::vector<CorpusColumn> MySQLCorpusColumns()
{
    return {
        {"tiu", "TINYINT UNSIGNED", "TINYINT UNSIGNED at its limits", {"255", "0"}},
        {"si", "SMALLINT", "SMALLINT at its limits", {"32767", "-32768"}},
        {"i", "INT", "INT at its limits", {"2147483647", "-2147483648"}},
        {"bi", "BIGINT", "BIGINT at its limits", {"9223372036854775807", "-9223372036854775808"}},
        {"de", "DECIMAL(31,10)", "DECIMAL(31,10)", {"999999999999999999999.9999999999", "-0.0000000001"}},
        {"dbl", "DOUBLE", "DOUBLE", {"1.7976931348623157e308", "0.30000000000000004"}},
        {"flt", "FLOAT", "FLOAT", {"3.14", "-1.5e-10"}},
        {"d", "DATE", "DATE", {"'9999-12-31'", "'1000-01-01'"}},
        {"tm", "TIME", "TIME beyond a day", {"'838:59:59'", "'-838:59:59'"}},
        {"dt", "DATETIME(6)", "DATETIME(6)", {"'9999-12-31 23:59:59.999999'", "'1000-01-01 00:00:00.000000'"}},
        {"ch", "CHAR(10)", "quotes, NULL and ''", {"'O''Brien'", "''"}},
        {"vc",
         "VARCHAR(100)",
         "backslashes, quotes and emoji",
         {"'back\\\\slash `tick` \"dq\" ''ap'' Zoë 😀 \\n'", "''"}},
        {"vc50", "VARCHAR(50)", "VARCHAR(50) full of emoji", {"REPEAT('😀', 50)", "''"}},
        {"lx", "LONGTEXT", "100 KB text", {"REPEAT('é😀x''\\\\', 12800)", "''"}},  // 115,200 bytes of UTF-8
        {"bl", "BLOB", "binary with every byte", {kEveryByte, "''"}},
        {"lb", "LONGBLOB", "100 KB blob", {"REPEAT(" + kEveryByte + ", 400)", "''"}},
    };
}

std::vector<CorpusColumn> DB2CorpusColumns()
{
    return {
        {"SM", "SMALLINT", "SMALLINT at its limits", {"32767", "-32768"}},
        {"BI", "BIGINT", "BIGINT at its limits", {"9223372036854775807", "-9223372036854775808"}},
        {"DE", "DECIMAL(31,10)", "DECIMAL(31,10)", {"-123456789012345678901.1234567890", "0.5"}},
        {"DB", "DOUBLE", "DOUBLE", {"1.7976931348623157E308", "0.1"}},
        {"TS",
         "TIMESTAMP(12)",
         "TIMESTAMP(12)",
         {"'2024-02-29-23.59.58.123456789012'", "'0001-01-01-00.00.00.000000000000'"}},
        {"DT", "DATE", "DB2 DATE", {"'9999-12-31'", "'0001-01-01'"}},
        {"VC", "VARCHAR(200)", "VARCHAR with quotes and emoji", {"'it''s \\ 😀 ünïcode'", "''"}},
        {"BO", "BOOLEAN", "BOOLEAN", {"TRUE", "FALSE"}},
        {"CL", "CLOB(200K)", "CLOB", {"REPEAT('é😀x''\\', 3000)", "''"}},
        {"BL", "BLOB(200K)", "BLOB with every byte", {everyByteHex(), "X''"}},
    };
}
