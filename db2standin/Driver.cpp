#include "Driver.h"

#include <odbcinst.h>

#include <iconv.h>
#include <langinfo.h>
#include <locale.h>

#include <algorithm>
#include <charconv>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <cstdlib>
#include <cstdio>
#include <fstream>
#include <map>

namespace db2standin {

namespace {

// A cursor is read in blocks bounded by bytes, as DB2's block fetch is: a
// first small block, then each sized from the rows of the one before to hold
// about kFetchBytes.
const int kFirstFetchRows = 64, kMaxFetchRows = 2000;
const long long kFetchBytes = 8ll << 20;

int nextFetchRows(const PGresult *last) {
  const int rows = PQntuples(last), cols = PQnfields(last);
  if (rows == 0) return kFirstFetchRows;
  long long bytes = 0;
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < cols; ++c) bytes += PQgetlength(last, r, c) + 8;
  const long long perRow = std::max(1ll, bytes / rows);
  return static_cast<int>(std::clamp(kFetchBytes / perRow, 1ll, static_cast<long long>(kMaxFetchRows)));
}

std::string lower(std::string s) {
  for (auto &c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

std::string trim(const std::string &s) {
  size_t b = s.find_first_not_of(" \t\r\n");
  if (b == std::string::npos) return "";
  size_t e = s.find_last_not_of(" \t\r\n");
  return s.substr(b, e - b + 1);
}

bool failed(const PGresult *r) {
  if (!r) return true;
  auto st = PQresultStatus(r);
  return st != PGRES_COMMAND_OK && st != PGRES_TUPLES_OK && st != PGRES_COPY_IN;
}

std::string field(const PGresult *r, int code) {
  const char *v = PQresultErrorField(r, code);
  return v ? v : "";
}

// Text between the first pair of double quotes of a PostgreSQL message.
std::string quoted(const std::string &msg) {
  size_t a = msg.find('"');
  if (a == std::string::npos) return "";
  size_t b = msg.find('"', a + 1);
  return b == std::string::npos ? "" : msg.substr(a + 1, b - a - 1);
}

Diag connectError(const std::string &pgMsg, const std::string &host, const std::string &database) {
  if (pgMsg.find("password authentication failed") != std::string::npos ||
      pgMsg.find("no password supplied") != std::string::npos ||
      (pgMsg.find("role \"") != std::string::npos && pgMsg.find("does not exist") != std::string::npos) ||
      pgMsg.find("not permitted to log in") != std::string::npos)
    return serverError("08001", -30082,
                       "SQL30082N  Security processing failed with reason \"24\" (\"USERNAME AND/OR PASSWORD INVALID\").");
  if (pgMsg.find("could not translate host name") != std::string::npos)
    return clientError("08001", -1336, "SQL1336N  The remote host \"" + host + "\" was not found.  SQLSTATE=08001");
  if (pgMsg.find("database \"") != std::string::npos && pgMsg.find("does not exist") != std::string::npos)
    return serverError("08004", -30061, "SQL30061N  The database alias or database name \"" + upperAscii(database) +
                                            "\" was not found at the remote node.");
  std::string code = pgMsg.find("refused") != std::string::npos ? "111"
                     : pgMsg.find("timeout") != std::string::npos ? "110"
                                                                   : "*";
  return clientError("08001", -30081,
                     "SQL30081N  A communication error has been detected. Communication protocol being used: \"TCP/IP\".  "
                     "Communication API being used: \"SOCKETS\".  Location where the error was detected: \"" + host +
                         "\".  Communication function detecting the error: \"connect\".  Protocol specific error code(s): \"" +
                         code + "\", \"*\", \"*\".  SQLSTATE=08001");
}

// The table spaces a user may create tables in: one, with the page size of this connection's setting.
const char *kTableSpaces = R"SQL(
DO $$BEGIN
  IF NOT EXISTS (SELECT 1 FROM pg_views WHERE schemaname = 'SYSCAT' AND viewname = 'TABLESPACES') THEN
    CREATE VIEW "SYSCAT"."TABLESPACES" AS
      SELECT 'USERSPACE1'::varchar(128) AS "TBSPACE", current_setting('db2standin.page_size', true)::integer AS "PAGESIZE",
             'L'::char(1) AS "DATATYPE";
    GRANT SELECT ON "SYSCAT"."TABLESPACES" TO PUBLIC;
  END IF;
EXCEPTION WHEN duplicate_table OR unique_violation OR insufficient_privilege THEN NULL;
END$$;
)SQL";

// The database configuration parameters the tool may ask for, as
// SYSIBMADM.DBCFG shows them.
const char *kDatabaseConfiguration = R"SQL(
DO $$BEGIN
  IF NOT EXISTS (SELECT 1 FROM pg_views WHERE schemaname = 'SYSIBMADM' AND viewname = 'DBCFG') THEN
    CREATE SCHEMA IF NOT EXISTS "SYSIBMADM";
    GRANT USAGE ON SCHEMA "SYSIBMADM" TO PUBLIC;
    CREATE VIEW "SYSIBMADM"."DBCFG" AS
      SELECT 'extended_row_sz'::varchar(32) AS "NAME", current_setting('db2standin.extended_row_sz', true)::varchar(1024) AS "VALUE"
      UNION ALL SELECT 'codepage', current_setting('db2standin.database_codepage', true);
    GRANT SELECT ON "SYSIBMADM"."DBCFG" TO PUBLIC;
  END IF;
EXCEPTION WHEN duplicate_schema OR duplicate_table OR duplicate_object OR unique_violation OR insufficient_privilege THEN NULL;
END$$;
)SQL";

// The columns of every table and view, with the string units of character
// types as the domains record them (varchar_50 in bytes, varchar_cu32_50 in
// characters, vargraphic_50 in UTF-16 units). Other types read as their result
// columns describe them: PostgreSQL character types and anything unknown as
// VARCHAR in bytes. A database that is not Unicode has no string units.
const char *kColumns = R"SQL(
DO $$BEGIN
  IF NOT EXISTS (SELECT 1 FROM pg_views WHERE schemaname = 'SYSCAT' AND viewname = 'COLUMNS') THEN
    CREATE VIEW "SYSCAT"."COLUMNS" AS
      SELECT n.nspname::varchar(128) AS "TABSCHEMA", c.relname::varchar(128) AS "TABNAME", a.attname::varchar(128) AS "COLNAME",
             (SELECT count(*) FROM pg_attribute b
               WHERE b.attrelid = a.attrelid AND b.attnum > 0 AND b.attnum < a.attnum AND NOT b.attisdropped)::smallint AS "COLNO",
             s.units::varchar(11) AS "TYPESTRINGUNITS", (CASE WHEN s.units IS NOT NULL THEN s.length END)::integer AS "STRINGUNITSLENGTH"
      FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace
      JOIN pg_attribute a ON a.attrelid = c.oid AND a.attnum > 0 AND NOT a.attisdropped
      JOIN pg_type t ON t.oid = a.atttypid JOIN pg_namespace tn ON tn.oid = t.typnamespace
      CROSS JOIN LATERAL (SELECT CASE WHEN tn.nspname = 'db2standin' THEN t.typname::text END AS domain,
                                 CASE WHEN t.oid < 16384 THEN t.oid WHEN t.typtype = 'd' THEN t.typbasetype ELSE 0 END AS base,
                                 CASE WHEN t.oid < 16384 THEN a.atttypmod ELSE t.typtypmod END AS typmod) d
      CROSS JOIN LATERAL (SELECT
          CASE WHEN coalesce(nullif(current_setting('db2standin.database_codepage', true), ''), '1208') <> '1208' THEN NULL
               WHEN d.domain IS NOT NULL THEN
                 CASE WHEN d.domain ~ '^(char|varchar|clob)_cu32_[0-9]+$' THEN 'CODEUNITS32'
                      WHEN d.domain ~ '^(char|varchar|clob)_[0-9]+$' OR d.domain = 'longvarchar' THEN 'OCTETS'
                      WHEN d.domain ~ '^(graphic|vargraphic|dbclob)_[0-9]+$' OR d.domain = 'longvargraphic' THEN 'CODEUNITS16' END
               WHEN d.base IN (16, 17, 20, 21, 23, 26, 700, 701, 1700, 1082, 1083, 1266, 1114, 1184, 142) THEN NULL
               ELSE 'OCTETS' END AS units,
          CASE WHEN d.domain = 'longvarchar' THEN 32700 WHEN d.domain = 'longvargraphic' THEN 16350
               WHEN d.domain IS NOT NULL THEN substring(d.domain FROM '_([0-9]+)$')::bigint
               WHEN d.base = 18 THEN 1 WHEN d.base = 19 THEN 128
               WHEN d.base = 1042 THEN CASE WHEN d.typmod >= 4 THEN d.typmod - 4 ELSE 1 END
               WHEN d.base = 1043 THEN CASE WHEN d.typmod >= 4 THEN d.typmod - 4 ELSE 32672 END
               ELSE 32672 END AS length) s
      WHERE c.relkind IN ('r', 'p', 'v') AND n.nspname NOT LIKE 'pg\_%' AND n.nspname NOT IN ('information_schema', 'db2standin')
        AND NOT EXISTS (SELECT 1 FROM db2standin.aliases al WHERE al.schema = n.nspname AND al.name = c.relname);
    GRANT SELECT ON "SYSCAT"."COLUMNS" TO PUBLIC;
  END IF;
EXCEPTION WHEN duplicate_table OR duplicate_object OR unique_violation OR insufficient_privilege THEN NULL;
END$$;
)SQL";

// What depends on a table: the foreign keys that reference it and the views
// (not the stand-in's aliases, which are views underneath) that read it.
const char *kDependents = R"SQL(
DO $$BEGIN
  IF NOT EXISTS (SELECT 1 FROM pg_views WHERE schemaname = 'SYSCAT' AND viewname = 'REFERENCES') THEN
    CREATE VIEW "SYSCAT"."REFERENCES" AS
      SELECT k.conname::varchar(128) AS "CONSTNAME", n.nspname::varchar(128) AS "TABSCHEMA", c.relname::varchar(128) AS "TABNAME",
             rn.nspname::varchar(128) AS "REFTABSCHEMA", r.relname::varchar(128) AS "REFTABNAME"
      FROM pg_constraint k JOIN pg_class c ON c.oid = k.conrelid JOIN pg_namespace n ON n.oid = c.relnamespace
      JOIN pg_class r ON r.oid = k.confrelid JOIN pg_namespace rn ON rn.oid = r.relnamespace
      WHERE k.contype = 'f';
    CREATE VIEW "SYSCAT"."TABDEP" AS
      SELECT DISTINCT vn.nspname::varchar(128) AS "TABSCHEMA", v.relname::varchar(128) AS "TABNAME", 'V'::char(1) AS "DTYPE",
             bn.nspname::varchar(128) AS "BSCHEMA", b.relname::varchar(128) AS "BNAME",
             (CASE b.relkind WHEN 'v' THEN 'V' ELSE 'T' END)::char(1) AS "BTYPE"
      FROM pg_depend d JOIN pg_rewrite w ON w.oid = d.objid JOIN pg_class v ON v.oid = w.ev_class
      JOIN pg_namespace vn ON vn.oid = v.relnamespace
      JOIN pg_class b ON b.oid = d.refobjid JOIN pg_namespace bn ON bn.oid = b.relnamespace
      WHERE d.classid = 'pg_rewrite'::regclass AND d.refclassid = 'pg_class'::regclass AND v.oid <> b.oid AND v.relkind = 'v'
        AND NOT EXISTS (SELECT 1 FROM db2standin.aliases al WHERE al.schema = vn.nspname AND al.name = v.relname);
    GRANT SELECT ON "SYSCAT"."REFERENCES", "SYSCAT"."TABDEP" TO PUBLIC;
  END IF;
EXCEPTION WHEN duplicate_table OR duplicate_object OR unique_violation OR insufficient_privilege THEN NULL;
END$$;
)SQL";

// Schemas, domains and catalog views every connection relies on. Racing
// connections may both try to create them; the loser ignores the error.
const char *kSetup = R"SQL(
DO $$BEGIN
  IF NOT EXISTS (SELECT 1 FROM pg_namespace WHERE nspname = 'db2standin') THEN
    CREATE SCHEMA db2standin;
    GRANT USAGE ON SCHEMA db2standin TO PUBLIC;
    CREATE TABLE db2standin.aliases (schema text, name text, target_schema text, target_name text, PRIMARY KEY (schema, name));
    GRANT ALL ON db2standin.aliases TO PUBLIC;
    CREATE DOMAIN db2standin.longvarchar AS text CHECK (octet_length(VALUE) <= 32700);
    CREATE DOMAIN db2standin.longvargraphic AS text CHECK (char_length(VALUE) <= 16350);
    CREATE DOMAIN db2standin.longvarbinary AS bytea CHECK (octet_length(VALUE) <= 32700);
    CREATE SCHEMA IF NOT EXISTS "SYSIBM";
    GRANT USAGE ON SCHEMA "SYSIBM" TO PUBLIC;
    CREATE VIEW "SYSIBM"."SYSDUMMY1" AS SELECT 'Y'::char(1) AS "IBMREQD";
    CREATE VIEW "SYSIBM"."SYSTABLES" AS
      SELECT c.relname::varchar(128) AS "NAME", n.nspname::varchar(128) AS "CREATOR",
             CASE c.relkind WHEN 'v' THEN 'V' ELSE 'T' END::char(1) AS "TYPE"
      FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace
      WHERE c.relkind IN ('r', 'p', 'v') AND n.nspname NOT LIKE 'pg\_%' AND n.nspname NOT IN ('information_schema', 'db2standin');
    GRANT SELECT ON ALL TABLES IN SCHEMA "SYSIBM" TO PUBLIC;
    CREATE SCHEMA IF NOT EXISTS "SYSCAT";
    GRANT USAGE ON SCHEMA "SYSCAT" TO PUBLIC;
    CREATE VIEW "SYSCAT"."TABLES" AS
      SELECT "CREATOR" AS "TABSCHEMA", "NAME" AS "TABNAME", "TYPE" FROM "SYSIBM"."SYSTABLES";
    GRANT SELECT ON ALL TABLES IN SCHEMA "SYSCAT" TO PUBLIC;
  END IF;
EXCEPTION WHEN duplicate_schema OR duplicate_object OR duplicate_table OR unique_violation THEN NULL;
END$$;
)SQL";

// An XML value read without XMLSERIALIZE is serialized by the server with a
// declaration naming the encoding the application receives.
std::string xmlDeclaration(const std::string &encoding) {
  return "<?xml version=\"1.0\" encoding=\"" + encoding + "\" ?>";
}

// A keyword of db2cli.ini (in the folder DB2CLIINIPATH names, or the file
// itself): the database's own section wins over [COMMON]; "" when neither says.
std::string cliIniValue(const std::string &database, const std::string &keyword) {
  const char *path = std::getenv("DB2CLIINIPATH");
  if (!path || !*path) return "";
  std::string file = path;
  if (file.size() < 4 || upperAscii(file.substr(file.size() - 4)) != ".INI") file += "/db2cli.ini";
  std::ifstream in(file);
  std::string line, section, common, own;
  while (std::getline(in, line)) {
    line = trim(line);
    if (line.empty() || line[0] == ';') continue;
    if (line.front() == '[' && line.back() == ']') {
      section = upperAscii(trim(line.substr(1, line.size() - 2)));
      continue;
    }
    const size_t eq = line.find('=');
    if (eq == std::string::npos || upperAscii(trim(line.substr(0, eq))) != upperAscii(keyword)) continue;
    if (section == "COMMON") common = trim(line.substr(eq + 1));
    else if (section == upperAscii(database)) own = trim(line.substr(eq + 1));
  }
  return own.empty() ? common : own;
}

// The iconv name of a DB2 code page.
std::string codesetOf(long codePage) {
  return codePage == 1208 ? "UTF-8" : codePage == 819 ? "ISO-8859-1" : codePage == 923 ? "ISO-8859-15"
       : codePage == 1252 ? "CP1252" : "CP" + std::to_string(codePage);
}

// The code page DB2 CLI converts SQL_C_CHAR data with: DB2CODEPAGE, else the
// one of the process locale; "" stands for UTF-8 (1208).
std::string applicationCodeset(char &decimalPoint) {
  locale_t loc = newlocale(LC_ALL_MASK, "", static_cast<locale_t>(nullptr));
  if (!loc) loc = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  std::string codeset = nl_langinfo_l(CODESET, loc);
  const char *radix = nl_langinfo_l(RADIXCHAR, loc);
  decimalPoint = radix && *radix ? *radix : '.';
  freelocale(loc);
  if (const char *page = std::getenv("DB2CODEPAGE"); page && *page) codeset = codesetOf(std::atoi(page));
  const std::string up = upperAscii(codeset);
  if (up == "UTF-8" || up == "UTF8") return "";
  if (up == "ANSI_X3.4-1968" || up == "ASCII") return "ISO-8859-1";  // the C locale: DB2 takes code page 819
  return codeset;
}

// Converts text between code pages; a character the target lacks becomes
// DB2's substitution character 0x1A, as in a mismatched code page conversion.
std::string convertText(const std::string &in, const std::string &to, const std::string &from) {
  // Every value passes through here: a converter is opened once per thread
  // and pair of code pages, and reset before each use.
  thread_local std::map<std::pair<std::string, std::string>, iconv_t> converters;
  auto found = converters.find({to, from});
  if (found == converters.end()) found = converters.emplace(std::make_pair(to, from), iconv_open(to.c_str(), from.c_str())).first;
  iconv_t cd = found->second;
  if (cd == reinterpret_cast<iconv_t>(-1)) return in;
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  std::string out;
  out.resize(in.size() * 4 + 16);
  char *src = const_cast<char *>(in.data());
  size_t srcLeft = in.size();
  char *dst = out.data();
  size_t dstLeft = out.size();
  while (srcLeft > 0) {
    if (iconv(cd, &src, &srcLeft, &dst, &dstLeft) != static_cast<size_t>(-1)) break;
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
      while (skip < srcLeft && (static_cast<unsigned char>(src[skip]) & 0xC0) == 0x80) ++skip;
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

}  // namespace

Conn::~Conn() { disconnect(); }

void Conn::disconnect() {
  if (cancel) PQfreeCancel(cancel);
  cancel = nullptr;
  if (pg) PQfinish(pg);
  pg = nullptr;
  txnOpen = false;
  openCursors = 0;
}

SQLRETURN Conn::connect(const std::string &cs) {
  std::unordered_map<std::string, std::string> kv;
  size_t p = 0;
  while (p < cs.size()) {
    size_t semi = cs.find(';', p);
    std::string part = cs.substr(p, semi == std::string::npos ? std::string::npos : semi - p);
    p = semi == std::string::npos ? cs.size() : semi + 1;
    size_t eq = part.find('=');
    if (eq == std::string::npos) continue;
    kv[upperAscii(trim(part.substr(0, eq)))] = part.substr(eq + 1);
  }
  if (kv.count("DSN") && !trim(kv["DSN"]).empty()) {
    // Values a DSN holds that the connection text does not override.
    std::string dsn = trim(kv["DSN"]);
    for (const char *key : {"Database", "Hostname", "Port", "Protocol", "Uid", "Pwd"}) {
      std::string up = upperAscii(key);
      if (kv.count(up)) continue;
      char buf[512] = {0};
      if (SQLGetPrivateProfileString(dsn.c_str(), key, "", buf, sizeof buf, "odbc.ini") > 0) kv[up] = buf;
    }
  }
  auto get = [&](const char *k, const char *alt = nullptr) {
    if (kv.count(k)) return kv[k];
    if (alt && kv.count(alt)) return kv[alt];
    return std::string();
  };
  database = trim(get("DATABASE", "DBALIAS"));
  host = trim(get("HOSTNAME", "HOST"));
  port = trim(get("PORT", "SERVICENAME"));
  user = trim(get("UID", "USER"));
  std::string pwd = trim(get("PWD", "PASSWORD"));
  std::string protocol = upperAscii(trim(get("PROTOCOL")));
  if (protocol.empty()) protocol = "TCPIP";
  if (protocol != "TCPIP" && protocol != "TCPIP4" && protocol != "TCPIP6")
    return fail(clientError("08001", -1013, "SQL1013N  The database alias name or database name \"" + upperAscii(database) +
                                                "\" could not be found.  SQLSTATE=42705"));
  if (database.empty() || host.empty() || port.empty())
    return fail(clientError("08001", -1013, "SQL1013N  The database alias name or database name \"" + upperAscii(database) +
                                                "\" could not be found.  SQLSTATE=42705"));
  std::string timeout = std::to_string(loginTimeout ? loginTimeout : 30);
  std::string dbname = lower(database);
  const char *keys[] = {"host", "port", "dbname", "user", "password", "connect_timeout", "client_encoding", "sslmode",
                        "application_name", "gssencmode", nullptr};
  const char *vals[] = {host.c_str(), port.c_str(), dbname.c_str(), user.c_str(), pwd.c_str(), timeout.c_str(), "UTF8",
                        "disable", "db2standin", "disable", nullptr};
  pg = PQconnectdbParams(keys, vals, 0);
  if (PQstatus(pg) != CONNECTION_OK) {
    Diag d = connectError(PQerrorMessage(pg), host, database);
    PQfinish(pg);
    pg = nullptr;
    return fail(d);
  }
  cancel = PQgetCancel(pg);
  PQsetNoticeProcessor(pg, [](void *, const char *) {}, nullptr);  // server notices are not diagnostics
  schema = upperAscii(user);
  // The page size of the database's one table space (a database created without options has 4K).
  tablePageSize = 4096;
  if (const char *page = std::getenv("DB2STANDIN_PAGE_SIZE"); page && *page) {
    char *end = nullptr;
    long bytes = std::strtol(page, &end, 10);
    if (end && (*end == 'K' || *end == 'k')) bytes *= 1024;
    if (bytes >= 512) tablePageSize = bytes;
  }
  // The database code page: 1208 (UTF-8) unless DB2STANDIN_DATABASE_CODEPAGE names another.
  databaseCodePage = 1208;
  if (const char *codePage = std::getenv("DB2STANDIN_DATABASE_CODEPAGE"); codePage && *codePage) {
    char *end = nullptr;
    databaseCodePage = std::strtol(codePage, &end, 10);
    if (end && *end) databaseCodePage = 0;  // not a number: not Unicode either
  }
  // extended_row_sz: ENABLE, as in a database created by 10.5 or later, unless set to DISABLE.
  extendedRowSz = true;
  if (const char *extended = std::getenv("DB2STANDIN_EXTENDED_ROW_SZ"); extended && *extended)
    extendedRowSz = upperAscii(extended) != "DISABLE";
  std::string setup = std::string(kSetup) + kTableSpaces + kColumns + kDependents + kDatabaseConfiguration + "SET db2standin.page_size TO '" +
                      std::to_string(tablePageSize) + "'; SET db2standin.database_codepage TO '" + std::to_string(databaseCodePage) +
                      "'; SET db2standin.extended_row_sz TO '" + (extendedRowSz ? "ENABLE" : "DISABLE") + "';" +
                      "DO $$BEGIN IF NOT EXISTS (SELECT 1 FROM pg_namespace WHERE nspname = " + quoteLiteral(schema) +
                      ") THEN CREATE SCHEMA " + quoteIdent(schema) +
                      "; END IF; EXCEPTION WHEN duplicate_schema OR unique_violation THEN NULL; END$$;"
                      "SET search_path TO " + quoteIdent(schema) +
                      "; SET DateStyle TO ISO, MDY; SET extra_float_digits TO 1; SET IntervalStyle TO sql_standard;";
  PGresult *r = PQexec(pg, setup.c_str());
  if (failed(r)) {
    Diag d = serverError("58004", -901, std::string("SQL0901N  The SQL statement or command failed because of a database system error. (Reason \"") +
                                            PQresultErrorMessage(r) + "\".)");
    PQclear(r);
    disconnect();
    return fail(d);
  }
  PQclear(r);
  connString = cs;
  longDataCompat = trim(get("LONGDATACOMPAT")) == "1";
  // TxnIsolation 8 is repeatable read: a query's table locks last until the unit of work ends.
  std::string isolation = trim(get("TXNISOLATION"));
  if (isolation.empty()) isolation = cliIniValue(database, "TxnIsolation");
  repeatableRead = isolation == "8";
  appCodeset = applicationCodeset(decimalPoint);
  return SQL_SUCCESS;
}

PGresult *Conn::exec(const std::string &sql) { return PQexec(pg, sql.c_str()); }

bool Conn::beginIfNeeded(Diag &err) {
  if (autocommit || txnOpen) return true;
  PGresult *r = exec("BEGIN");
  bool ok = !failed(r);
  if (!ok) err = mapError(r, nullptr);
  PQclear(r);
  txnOpen = ok;
  return ok;
}

PGresult *Conn::run(const std::string &sql, const std::vector<const char *> &values, Diag &err, const Translated *context) {
  if (!beginIfNeeded(err)) return nullptr;
  bool sp = txnOpen;
  if (sp) PQclear(exec("SAVEPOINT db2stmt"));
  PGresult *r = values.empty() ? PQexec(pg, sql.c_str())
                               : PQexecParams(pg, sql.c_str(), static_cast<int>(values.size()), nullptr, values.data(),
                                              nullptr, nullptr, 0);
  if (failed(r)) {
    err = mapError(r, context);
    // A deadlock or a lock timeout (SQL0911N) rolls back the whole unit of work.
    bool wholeUnitOfWork = field(r, PG_DIAG_SQLSTATE) == "40P01" || field(r, PG_DIAG_SQLSTATE) == "55P03";
    PQclear(r);
    if (sp) {
      if (wholeUnitOfWork) {
        PQclear(exec("ROLLBACK"));
        txnOpen = false;
        openCursors = 0;
        restoreLockTimeout();
      } else {
        PQclear(exec("ROLLBACK TO SAVEPOINT db2stmt; RELEASE SAVEPOINT db2stmt"));
      }
    }
    return nullptr;
  }
  if (sp) PQclear(exec("RELEASE SAVEPOINT db2stmt"));
  return r;
}

SQLRETURN Conn::endTran(bool commit) {
  if (!pg) return fail(clientError("08003", -99999, "CLI0106E  Connection is closed. SQLSTATE=08003"));
  if (!txnOpen) return SQL_SUCCESS;
  PGresult *r = exec(commit ? "COMMIT" : "ROLLBACK");
  bool bad = failed(r);
  Diag d;
  if (bad) d = mapError(r, nullptr);
  PQclear(r);
  txnOpen = false;
  openCursors = 0;
  if (!commit) restoreLockTimeout();
  return bad ? fail(d) : SQL_SUCCESS;
}

void Conn::restoreLockTimeout() {
  if (lockTimeout != "DEFAULT") PQclear(exec("SET lock_timeout = " + lockTimeout));
}

void Conn::cursorClosed() {
  if (openCursors > 0) --openCursors;
  if (autocommit && openCursors == 0 && txnOpen) {
    PQclear(exec("COMMIT"));
    txnOpen = false;
  }
}

std::optional<std::vector<ColumnInfo>> Conn::columns(const std::string &sch, const std::string &table) {
  std::string q = quoteIdent(sch) + "." + quoteIdent(table);
  const char *vals[] = {q.c_str()};
  PGresult *r = PQexecParams(pg,
                             "SELECT a.attname, a.atttypid, a.atttypmod, t.typname, n.nspname, a.attnotnull "
                             "FROM pg_attribute a JOIN pg_type t ON t.oid = a.atttypid "
                             "JOIN pg_namespace n ON n.oid = t.typnamespace "
                             "WHERE a.attrelid = to_regclass($1) AND a.attnum > 0 AND NOT a.attisdropped ORDER BY a.attnum",
                             1, nullptr, vals, nullptr, nullptr, 0);
  std::optional<std::vector<ColumnInfo>> out;
  if (!failed(r) && PQntuples(r) > 0) {
    out.emplace();
    for (int i = 0; i < PQntuples(r); ++i) {
      ColumnInfo c;
      c.name = PQgetvalue(r, i, 0);
      unsigned oid = static_cast<unsigned>(std::strtoul(PQgetvalue(r, i, 1), nullptr, 10));
      int mod = std::atoi(PQgetvalue(r, i, 2));
      if (std::string(PQgetvalue(r, i, 4)) == "db2standin") {
        auto t = typeFromDomain(PQgetvalue(r, i, 3));
        c.type = t ? *t : typeFromPg(oid, mod);
      } else {
        c.type = typeFromPg(oid, mod);
      }
      c.notNull = PQgetvalue(r, i, 5)[0] == 't';
      out->push_back(c);
    }
  }
  PQclear(r);
  return out;
}

TypeDesc Conn::resolveType(unsigned oid, int typmod) {
  if (oid < 16384) return typeFromPg(oid, typmod);
  auto it = typeCache.find(oid);
  if (it != typeCache.end()) return it->second;
  std::string o = std::to_string(oid);
  const char *vals[] = {o.c_str()};
  PGresult *r = PQexecParams(pg,
                             "SELECT t.typname, n.nspname, t.typbasetype, t.typtypmod FROM pg_type t "
                             "JOIN pg_namespace n ON n.oid = t.typnamespace WHERE t.oid = $1::oid",
                             1, nullptr, vals, nullptr, nullptr, 0);
  TypeDesc t = typeFromPg(0, -1);
  if (!failed(r) && PQntuples(r) == 1) {
    std::optional<TypeDesc> d;
    if (std::string(PQgetvalue(r, 0, 1)) == "db2standin") d = typeFromDomain(PQgetvalue(r, 0, 0));
    if (d) t = *d;
    else {
      unsigned base = static_cast<unsigned>(std::strtoul(PQgetvalue(r, 0, 2), nullptr, 10));
      if (base) t = typeFromPg(base, std::atoi(PQgetvalue(r, 0, 3)));
    }
  }
  PQclear(r);
  typeCache[oid] = t;
  return t;
}

Diag Conn::mapError(const PGresult *res, const Translated *ctx) {
  if (!res) return serverError("08S01", -30081, std::string("SQL30081N  A communication error has been detected. (") + PQerrorMessage(pg) + ")");
  std::string st = field(res, PG_DIAG_SQLSTATE);
  std::string msg = field(res, PG_DIAG_MESSAGE_PRIMARY);
  if (st.empty()) {
    return clientError("08S01", -30081, std::string("SQL30081N  A communication error has been detected.  ") + PQerrorMessage(pg));
  }
  std::string name = quoted(msg);
  auto qualify = [&](const std::string &n) { return n.find('.') == std::string::npos ? schema + "." + n : n; };
  bool drop = ctx && ctx->kind == Translated::DropTable;
  bool rename = ctx && ctx->kind == Translated::Rename;
  if (st == "42P01") {
    std::string n = (drop || rename) ? ctx->schema + "." + ctx->name : qualify(name);
    return serverError(rename ? "42704" : "42S02", -204, "SQL0204N  \"" + n + "\" is an undefined name.");
  }
  if (st == "42P07" || st == "42710" || st == "42P06") {
    std::string n = rename ? ctx->schema + "." + ctx->newName : ctx && !ctx->name.empty() ? ctx->schema + "." + ctx->name : name;
    std::string state = (ctx && ctx->kind == Translated::Ddl) ? "42S01" : "42710";
    return serverError(state, -601, "SQL0601N  The name of the object to be created is identical to the existing name \"" + n +
                                        "\" of type \"" + (ctx && ctx->kind == Translated::CreateAlias ? "ALIAS" : "TABLE") + "\".");
  }
  if (st == "42704") return serverError("42704", -204, "SQL0204N  \"" + upperAscii(name) + "\" is an undefined name.");
  if (st == "42703") return serverError("42S22", -206, "SQL0206N  \"" + name + "\" is not valid in the context where it is used.");
  if (st == "22001" || (st == "23514" && msg.find("value for domain") != std::string::npos))
    return serverError("22001", -433, "SQL0433N  Value \"" + std::string("...") + "\" is too long.");
  if (st == "23514")
    return serverError("23513", -545, "SQL0545N  The requested operation is not allowed because a row does not satisfy the check constraint \"" +
                                          field(res, PG_DIAG_CONSTRAINT_NAME) + "\".");
  if (st == "23505")
    return serverError("23505", -803, "SQL0803N  One or more values in the INSERT statement, UPDATE statement, or foreign key update "
                                      "caused by a DELETE statement are not valid because the primary key, unique constraint or unique "
                                      "index identified by \"1\" constrains table \"" + field(res, PG_DIAG_SCHEMA_NAME) + "." +
                                          field(res, PG_DIAG_TABLE_NAME) + "\" from having duplicate values for the index key.");
  if (st == "23502")
    return serverError("23502", -407, "SQL0407N  Assignment of a NULL value to a NOT NULL column \"" + field(res, PG_DIAG_COLUMN_NAME) +
                                          "\" is not allowed.");
  if (st == "23503")
    return serverError("23503", -530, "SQL0530N  The INSERT or UPDATE value of the FOREIGN KEY \"" + field(res, PG_DIAG_CONSTRAINT_NAME) +
                                          "\" is not equal to any value of the parent key of the parent table.");
  if (st == "22P02" || st == "22007" || st == "22008") {
    bool datetime = msg.find("date") != std::string::npos || msg.find("time") != std::string::npos;
    if (st == "22008") return serverError("22008", -181, "SQL0181N  The string representation of a datetime value is out of range.");
    if (datetime) return serverError("22007", -180, "SQL0180N  The syntax of the string representation of a datetime value is incorrect.");
    return serverError("22018", -420, "SQL0420N  Invalid character found in a character string argument of the function \"" +
                                          upperAscii(msg.substr(msg.find("type ") == std::string::npos ? 0 : msg.find("type ") + 5,
                                                                msg.find(':') == std::string::npos ? 0 : msg.find(':') - msg.find("type ") - 5)) + "\".");
  }
  if (st == "22003") return serverError("22003", -413, "SQL0413N  Overflow occurred during numeric data type conversion.");
  if (st == "22012") return serverError("22012", -801, "SQL0801N  Division by zero was attempted.");
  if (st == "42601" || st == "42P18" || st == "42P10")
    return serverError("42601", -104, "SQL0104N  An unexpected token \"" + name + "\" was found following \"\".  Expected tokens may include:  \"\".");
  if (st == "42804" || st == "42846")
    return serverError("42821", -408, "SQL0408N  A value is not compatible with the data type of its assignment target. Target name is \"" +
                                          field(res, PG_DIAG_COLUMN_NAME) + "\".");
  if (st == "42883")
    return serverError("42884", -440, "SQL0440N  No authorized routine named \"" + upperAscii(name.substr(0, name.find('('))) +
                                          "\" of type \"FUNCTION\" having compatible arguments was found.");
  if (st == "42501")
    return serverError("42501", -551, "SQL0551N  The statement failed because the authorization ID does not have the required "
                                      "authorization or privilege to perform the operation.  Authorization ID: \"" + upperAscii(user) + "\".");
  if (st == "40P01") return serverError("40001", -911, "SQL0911N  The current transaction has been rolled back because of a deadlock or timeout.  Reason code \"2\".");
  if (st == "55P03") return serverError("40001", -911, "SQL0911N  The current transaction has been rolled back because of a deadlock or timeout.  Reason code \"68\".");
  if (st == "57014") return serverError("57014", -952, "SQL0952N  Processing was cancelled due to an interrupt.");
  if (st == "2BP01")
    return serverError("42893", -478, "SQL0478N  The statement failed because one or more dependencies exist on the target object.");
  if (st == "22021" || st == "22P05") return serverError("22021", -302, "SQL0302N  The value of a host variable in the EXECUTE or OPEN statement is out of range for its corresponding use.");
  return serverError(st, -901, "SQL0901N  The SQL statement or command failed because of a database system error. (Reason \"" + msg + "\".)");
}

// ---------------------------------------------------------------- statements

Stmt::~Stmt() { closeResult(); }

void Stmt::closeResult() {
  if (cursorOpen) {
    PQclear(conn->exec("CLOSE " + cursorName));
    cursorOpen = false;
    conn->cursorClosed();
  }
  if (res) PQclear(res);
  res = nullptr;
  hasResult = false;
  row = -1;
  nrows = 0;
  columns.clear();
}

bool Stmt::setResult(PGresult *r, bool) {
  res = r;
  nrows = PQntuples(r);
  row = -1;
  hasResult = true;
  int n = PQnfields(r);
  columns.assign(n, ResultColumn{});
  gdOffset.assign(n, -1);
  gdData.assign(n, std::string());
  for (int c = 0; c < n; ++c) {
    ResultColumn &col = columns[c];
    col.name = PQfname(r, c);
    col.pgType = PQftype(r, c);
    col.type = conn->resolveType(col.pgType, PQfmod(r, c));
    // A column read straight from a table: its declared type (a domain) tells the DB2 type,
    // as results report only the domain's base type.
    unsigned t = PQftable(r, c);
    int attnum = PQftablecol(r, c);
    if (t && attnum > 0) {
      auto it = conn->attrCache.find(t);
      if (it == conn->attrCache.end()) {
        std::string o = std::to_string(t);
        const char *vals[] = {o.c_str()};
        PGresult *a = PQexecParams(conn->pg,
                                   "SELECT attnum, attnotnull, atttypid, atttypmod FROM pg_attribute WHERE attrelid = $1::oid AND attnum > 0",
                                   1, nullptr, vals, nullptr, nullptr, 0);
        std::vector<Conn::Attr> attrs;
        if (!failed(a))
          for (int k = 0; k < PQntuples(a); ++k) {
            size_t num = static_cast<size_t>(std::atoi(PQgetvalue(a, k, 0)));
            if (attrs.size() <= num) attrs.resize(num + 1);
            attrs[num].notNull = PQgetvalue(a, k, 1)[0] == 't';
            attrs[num].type = static_cast<unsigned>(std::strtoul(PQgetvalue(a, k, 2), nullptr, 10));
            attrs[num].typmod = std::atoi(PQgetvalue(a, k, 3));
          }
        PQclear(a);
        it = conn->attrCache.emplace(t, attrs).first;
      }
      if (static_cast<size_t>(attnum) < it->second.size()) {
        const Conn::Attr &at = it->second[attnum];
        if (at.notNull) col.nullable = SQL_NO_NULLS;
        if (at.type >= 16384) col.type = conn->resolveType(at.type, at.typmod);
      }
    }
  }
  return true;
}

SQLRETURN Stmt::prepare(const std::string &text) {
  closeResult();
  sql = text;
  prepared = false;
  try {
    tr = translate(text, *conn);
  } catch (const SqlError &e) {
    return fail(e.diag);
  }
  prepared = true;
  return SQL_SUCCESS;
}

SQLRETURN Stmt::execDirect(const std::string &text) {
  SQLRETURN r = prepare(text);
  if (r != SQL_SUCCESS) return r;
  r = execute();
  prepared = true;
  return r;
}

namespace {
size_t fixedSize(SQLSMALLINT cType) {
  switch (cType) {
    case SQL_C_SLONG: case SQL_C_ULONG: case SQL_C_LONG: return sizeof(SQLINTEGER);
    case SQL_C_SSHORT: case SQL_C_USHORT: case SQL_C_SHORT: return sizeof(SQLSMALLINT);
    case SQL_C_STINYINT: case SQL_C_UTINYINT: case SQL_C_TINYINT: case SQL_C_BIT: return 1;
    case SQL_C_SBIGINT: case SQL_C_UBIGINT: return sizeof(SQLBIGINT);
    case SQL_C_FLOAT: return sizeof(SQLREAL);
    case SQL_C_DOUBLE: return sizeof(SQLDOUBLE);
    case SQL_C_TYPE_DATE: case SQL_C_DATE: return sizeof(SQL_DATE_STRUCT);
    case SQL_C_TYPE_TIME: case SQL_C_TIME: return sizeof(SQL_TIME_STRUCT);
    case SQL_C_TYPE_TIMESTAMP: case SQL_C_TIMESTAMP: return sizeof(SQL_TIMESTAMP_STRUCT);
    case SQL_C_NUMERIC: return sizeof(SQL_NUMERIC_STRUCT);
    default: return 0;
  }
}

SQLSMALLINT defaultCType(SQLSMALLINT sqlType) {
  switch (sqlType) {
    case SQL_BINARY: case SQL_VARBINARY: case SQL_LONGVARBINARY: case -98: return SQL_C_BINARY;
    case SQL_INTEGER: return SQL_C_SLONG;
    case SQL_SMALLINT: return SQL_C_SSHORT;
    case SQL_BIGINT: return SQL_C_SBIGINT;
    case SQL_REAL: return SQL_C_FLOAT;
    case SQL_FLOAT: case SQL_DOUBLE: return SQL_C_DOUBLE;
    case SQL_TYPE_DATE: return SQL_C_TYPE_DATE;
    case SQL_TYPE_TIME: return SQL_C_TYPE_TIME;
    case SQL_TYPE_TIMESTAMP: return SQL_C_TYPE_TIMESTAMP;
    case SQL_WCHAR: case SQL_WVARCHAR: case SQL_WLONGVARCHAR: case -95: case -96: case -97: case -350: return SQL_C_WCHAR;
    case 16: return SQL_C_BIT;
    default: return SQL_C_CHAR;
  }
}

std::string formatDouble(double v) {
  char buf[40];
  auto res = std::to_chars(buf, buf + sizeof buf, v);  // shortest text that reads back the same
  return std::string(buf, res.ptr);
}

bool isIntegerC(SQLSMALLINT t) {
  switch (t) {
    case SQL_C_SLONG: case SQL_C_LONG: case SQL_C_ULONG: case SQL_C_SSHORT: case SQL_C_SHORT: case SQL_C_USHORT:
    case SQL_C_STINYINT: case SQL_C_TINYINT: case SQL_C_UTINYINT: case SQL_C_SBIGINT: case SQL_C_UBIGINT: case SQL_C_DOUBLE:
    case SQL_C_FLOAT: return true;
    default: return false;
  }
}

}  // namespace

std::string utf16ToUtf8(const SQLWCHAR *s, long long units);
std::u16string utf8ToUtf16(const std::string &s);
std::string utf8ToUtf16Bytes(const char *s, size_t n);

namespace {
// Text of a number from a numeric C type: finite values go to the server as they are.
bool finiteNumber(const std::string &text) {
  double d = 0;
  return std::from_chars(text.data(), text.data() + text.size(), d).ec == std::errc() && std::isfinite(d);
}
}  // namespace

std::optional<std::string> Stmt::paramValue(size_t p, size_t row, Diag &err, bool &bad) {
  const ParamBinding &b = params[p];
  SQLSMALLINT cType = b.cType == SQL_C_DEFAULT ? defaultCType(b.sqlType) : b.cType;
  size_t elem = fixedSize(cType);
  size_t stride = paramBindType != SQL_PARAM_BIND_BY_COLUMN ? paramBindType : (elem ? elem : static_cast<size_t>(b.bufLen));
  size_t indStride = paramBindType != SQL_PARAM_BIND_BY_COLUMN ? paramBindType : sizeof(SQLLEN);
  size_t off = paramBindOffset ? *paramBindOffset : 0;
  const char *data = b.data ? static_cast<const char *>(b.data) + off + stride * row : nullptr;
  const SQLLEN *ind = b.ind ? reinterpret_cast<const SQLLEN *>(reinterpret_cast<const char *>(b.ind) + off + indStride * row) : nullptr;
  SQLLEN len = ind ? *ind : SQL_NTS;
  if (len == SQL_NULL_DATA) return std::nullopt;
  if (len == SQL_DATA_AT_EXEC || len <= SQL_LEN_DATA_AT_EXEC_OFFSET) {
    err = clientError("HYC00", -99999, "CLI0150E  Driver not capable. SQLSTATE=HYC00");
    bad = true;
    return std::nullopt;
  }
  if (!data) return std::nullopt;
  char buf[64];
  switch (cType) {
    case SQL_C_CHAR: {
      std::string raw = len == SQL_NTS ? std::string(data) : std::string(data, static_cast<size_t>(len));
      return conn->appCodeset.empty() ? raw : convertText(raw, "UTF-8", conn->appCodeset);
    }
    case SQL_C_NUMERIC: {
      // Sign 1 is positive; the value is a little-endian integer scaled by 10^-scale.
      auto n = reinterpret_cast<const SQL_NUMERIC_STRUCT *>(data);
      unsigned __int128 v = 0;
      for (int k = SQL_MAX_NUMERIC_LEN - 1; k >= 0; --k) v = v << 8 | n->val[k];
      std::string digits;
      do {
        digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(v % 10)));
        v /= 10;
      } while (v);
      if (n->scale > 0) {
        if (digits.size() <= static_cast<size_t>(n->scale)) digits.insert(0, static_cast<size_t>(n->scale) + 1 - digits.size(), '0');
        digits.insert(digits.size() - static_cast<size_t>(n->scale), 1, '.');
      } else if (n->scale < 0) {
        digits.append(static_cast<size_t>(-n->scale), '0');
      }
      return (n->sign ? "" : "-") + digits;
    }
    case SQL_C_WCHAR: {
      const SQLWCHAR *w = reinterpret_cast<const SQLWCHAR *>(data);
      return utf16ToUtf8(w, len == SQL_NTS ? -1 : len / 2);
    }
    case SQL_C_BINARY:
      return std::string(data, static_cast<size_t>(len < 0 ? 0 : len));
    case SQL_C_SLONG: case SQL_C_LONG: return std::to_string(*reinterpret_cast<const SQLINTEGER *>(data));
    case SQL_C_ULONG: return std::to_string(*reinterpret_cast<const SQLUINTEGER *>(data));
    case SQL_C_SSHORT: case SQL_C_SHORT: return std::to_string(*reinterpret_cast<const SQLSMALLINT *>(data));
    case SQL_C_USHORT: return std::to_string(*reinterpret_cast<const SQLUSMALLINT *>(data));
    case SQL_C_STINYINT: case SQL_C_TINYINT: return std::to_string(*reinterpret_cast<const signed char *>(data));
    case SQL_C_UTINYINT: case SQL_C_BIT: return std::to_string(*reinterpret_cast<const unsigned char *>(data));
    case SQL_C_SBIGINT: return std::to_string(*reinterpret_cast<const SQLBIGINT *>(data));
    case SQL_C_UBIGINT: return std::to_string(*reinterpret_cast<const SQLUBIGINT *>(data));
    case SQL_C_FLOAT: return formatDouble(*reinterpret_cast<const SQLREAL *>(data));
    case SQL_C_DOUBLE: return formatDouble(*reinterpret_cast<const SQLDOUBLE *>(data));
    case SQL_C_TYPE_DATE: case SQL_C_DATE: {
      auto d = reinterpret_cast<const SQL_DATE_STRUCT *>(data);
      std::snprintf(buf, sizeof buf, "%04d-%02u-%02u", d->year, d->month, d->day);
      return std::string(buf);
    }
    case SQL_C_TYPE_TIME: case SQL_C_TIME: {
      auto t = reinterpret_cast<const SQL_TIME_STRUCT *>(data);
      std::snprintf(buf, sizeof buf, "%02u:%02u:%02u", t->hour, t->minute, t->second);
      return std::string(buf);
    }
    case SQL_C_TYPE_TIMESTAMP: case SQL_C_TIMESTAMP: {
      auto t = reinterpret_cast<const SQL_TIMESTAMP_STRUCT *>(data);
      std::snprintf(buf, sizeof buf, "%04d-%02u-%02u %02u:%02u:%02u.%06u", t->year, t->month, t->day, t->hour, t->minute,
                    t->second, t->fraction / 1000);
      return std::string(buf);
    }
    default:
      err = clientError("HYC00", -99999, "CLI0150E  Driver not capable. SQLSTATE=HYC00");
      bad = true;
      return std::nullopt;
  }
}

// The parameter values of one row of the array, cast as DB2 casts them into their columns.
bool Stmt::rowValues(size_t row, std::vector<std::optional<std::string>> &out, Diag &err) {
  out.assign(tr.paramCount, std::nullopt);
  for (int p = 0; p < tr.paramCount; ++p) {
    bool bad = false;
    auto v = paramValue(static_cast<size_t>(p), row, err, bad);
    if (bad) return false;
    if (v) {
      int col = p < static_cast<int>(tr.paramColumn.size()) ? tr.paramColumn[p] : -1;
      SQLSMALLINT cType = params[p].cType;
      try {
        checkDeclaredLength(static_cast<size_t>(p), v->data(), v->size());
        // Numbers from numeric C types are already in the form PostgreSQL reads.
        if (col >= 0 && isIntegerC(cType) && tr.columns[col].type.isNumeric() && finiteNumber(*v)) {
        } else if (col >= 0) {
          v = castForColumn(tr.columns[col].type, std::move(*v), tr.columns[col].name);
          storeInDatabaseCodePage(*v, tr.columns[col].type, row);
        } else if (cType == SQL_C_BINARY) v = "\\x" + bytesToHex(*v);
        else refuseNulInText(v->data(), v->size());
      } catch (const SqlError &e) {
        err = e.diag;
        return false;
      }
    }
    out[p] = std::move(v);
  }
  return true;
}

SQLRETURN Stmt::execute() {
  if (!prepared) return fail(clientError("HY010", -99999, "CLI0125E  Function sequence error. SQLSTATE=HY010"));
  closeResult();
  rowCount = -1;
  if (static_cast<int>(params.size()) < tr.paramCount)
    params.resize(tr.paramCount);
  for (int p = 0; p < tr.paramCount; ++p)
    if (!params[p].bound) return fail(clientError("07002", -99999, "CLI0100E  Wrong number of parameters. SQLSTATE=07002"));
  if (Diag e; !bindingsUsable(e)) {
    if (paramStatus)
      for (size_t i = 0; i < (tr.paramCount > 0 ? paramsetSize : 1); ++i) paramStatus[i] = SQL_PARAM_ERROR;
    if (paramsProcessed) *paramsProcessed = 0;
    return fail(e);
  }
  for (const auto &s : tr.prepare) {
    PGresult *r = conn->exec(s);
    PQclear(r);
  }
  if (tr.kind == Translated::Ddl || tr.kind == Translated::DropTable || tr.kind == Translated::Rename) conn->attrCache.clear();
  substitutedRows.clear();
  size_t n = tr.paramCount > 0 ? paramsetSize : 1;
  if (n > 1 && tr.kind != Translated::Query) {
    if (tr.kind == Translated::Insert && tr.onlyParams) return copyArray();
    return runArray();
  }
  if (paramsProcessed) *paramsProcessed = 1;
  std::vector<std::optional<std::string>> vals;
  Diag err;
  if (!rowValues(0, vals, err)) {
    if (paramStatus) paramStatus[0] = SQL_PARAM_ERROR;
    return fail(err);
  }
  std::vector<const char *> ptrs;
  for (auto &v : vals) ptrs.push_back(v ? v->c_str() : nullptr);
  if (tr.kind == Translated::Query) {
    SQLRETURN r = openQuery(ptrs);
    if (paramStatus) paramStatus[0] = r == SQL_ERROR ? SQL_PARAM_ERROR : SQL_PARAM_SUCCESS;
    return r;
  }
  PGresult *r = conn->run(tr.sql, ptrs, err, &tr);
  if (!r) {
    if (paramStatus) paramStatus[0] = SQL_PARAM_ERROR;
    return fail(err);
  }
  const char *ct = PQcmdTuples(r);
  rowCount = *ct ? std::atoll(ct) : -1;
  PQclear(r);
  for (const auto &s : tr.after) PQclear(conn->exec(s));
  if (tr.kind == Translated::SetSchema) conn->schema = tr.schema;
  if (tr.kind == Translated::SetLockTimeout) conn->lockTimeout = tr.lockTimeout;
  if (paramStatus) paramStatus[0] = SQL_PARAM_SUCCESS;
  if ((tr.kind == Translated::Other || tr.kind == Translated::Insert) && rowCount == 0 &&
      (sql.size() > 6 && (upperAscii(sql.substr(0, 6)) == "UPDATE" || upperAscii(sql.substr(0, 6)) == "DELETE")))
    return SQL_NO_DATA;  // DB2 reports a searched UPDATE/DELETE that touched no row as SQL_NO_DATA
  return substitutionWarnings(SQL_SUCCESS, nullptr);
}

// nullptr when there is nothing to lock.
PGresult *Stmt::shareLockReadTables() {
  const bool rr = tr.isolation.empty() ? conn->repeatableRead : tr.isolation == "RR";
  if (!rr || tr.readTables.empty()) return nullptr;
  std::string tables;
  for (const auto &t : tr.readTables) tables += (tables.empty() ? "" : ", ") + t;
  // A name the translator took for a table that is none is left to the query itself.
  PQclear(conn->exec("SAVEPOINT db2lock"));
  PGresult *r = conn->exec("LOCK TABLE " + tables + " IN SHARE MODE");
  const std::string state = failed(r) ? field(r, PG_DIAG_SQLSTATE) : "";
  if (failed(r) && state != "55P03" && state != "40P01") {
    PQclear(r);
    r = conn->exec("ROLLBACK TO SAVEPOINT db2lock");
  }
  if (!failed(r)) PQclear(conn->exec("RELEASE SAVEPOINT db2lock"));
  return r;
}

SQLRETURN Stmt::openQuery(const std::vector<const char *> &values) {
  Diag err;
  cursorName = "db2c" + std::to_string(++conn->seq);
  bool began = false;
  if (!conn->txnOpen) {
    PGresult *b = conn->exec("BEGIN");
    bool ok = !failed(b);
    if (!ok) err = conn->mapError(b, &tr);
    PQclear(b);
    if (!ok) return fail(err);
    conn->txnOpen = true;
    began = true;
  }
  bool sp = !began;
  if (sp) PQclear(conn->exec("SAVEPOINT db2open"));
  PGresult *r = shareLockReadTables();
  if (!r || !failed(r)) {
    PQclear(r);
    std::string decl = "DECLARE " + cursorName + " NO SCROLL CURSOR FOR " + tr.sql;
    r = values.empty() ? conn->exec(decl)
                       : PQexecParams(conn->pg, decl.c_str(), static_cast<int>(values.size()), nullptr, values.data(),
                                      nullptr, nullptr, 0);
  }
  if (!failed(r)) {
    PQclear(r);
    fetchRows = kFirstFetchRows;
    r = conn->exec("FETCH FORWARD " + std::to_string(fetchRows) + " FROM " + cursorName);
  }
  if (failed(r)) {
    err = conn->mapError(r, &tr);
    // A lock timeout or deadlock (SQL0911N) rolls back the whole unit of work.
    const bool wholeUnitOfWork = field(r, PG_DIAG_SQLSTATE) == "40P01" || field(r, PG_DIAG_SQLSTATE) == "55P03";
    PQclear(r);
    if (began || wholeUnitOfWork) {
      PQclear(conn->exec("ROLLBACK"));
      conn->openCursors = 0;
      conn->txnOpen = false;
    } else {
      PQclear(conn->exec("ROLLBACK TO SAVEPOINT db2open; RELEASE SAVEPOINT db2open"));
    }
    return fail(err);
  }
  if (sp) PQclear(conn->exec("RELEASE SAVEPOINT db2open"));
  cursorOpen = true;
  ++conn->openCursors;
  setResult(r, true);
  if (nrows < fetchRows) {
    // All rows are here: give the server its transaction back at once.
    PQclear(conn->exec("CLOSE " + cursorName));
    cursorOpen = false;
    conn->cursorClosed();
  }
  return SQL_SUCCESS;
}

bool Stmt::advance() {
  if (!hasResult) return false;
  if (row + 1 < nrows) {
    ++row;
  } else {
    if (!cursorOpen) {
      row = nrows;
      return false;
    }
    fetchRows = nextFetchRows(res);
    PQclear(res);
    res = conn->exec("FETCH FORWARD " + std::to_string(fetchRows) + " FROM " + cursorName);
    if (failed(res)) {
      diags.push_back(conn->mapError(res, &tr));
      PQclear(res);
      res = nullptr;
      nrows = 0;
      row = 0;
      cursorOpen = false;
      conn->cursorClosed();
      return false;
    }
    nrows = PQntuples(res);
    row = 0;
    if (nrows < fetchRows) {
      PQclear(conn->exec("CLOSE " + cursorName));
      cursorOpen = false;
      conn->cursorClosed();
    }
    if (nrows == 0) return false;
  }
  std::fill(gdOffset.begin(), gdOffset.end(), -1);
  return true;
}

SQLRETURN Stmt::fetch() {
  if (!hasResult) return fail(clientError("24000", -99999, "CLI0115E  Invalid cursor state. SQLSTATE=24000"));
  SQLULEN fetched = 0;
  SQLRETURN ret = SQL_SUCCESS;
  size_t off = rowBindOffset ? *rowBindOffset : 0;
  size_t nDiag = diags.size();
  for (SQLULEN r = 0; r < rowArraySize; ++r) {
    if (!advance()) break;
    SQLUSMALLINT status = SQL_ROW_SUCCESS;
    for (size_t c = 0; c < binds.size() && c < columns.size(); ++c) {
      const ColBinding &b = binds[c];
      if (!b.bound) continue;
      size_t elem = fixedSize(b.cType == SQL_C_DEFAULT ? defaultCType(odbcType(columns[c].type, false)) : b.cType);
      size_t stride = rowBindType != SQL_BIND_BY_COLUMN ? rowBindType : (elem ? elem : static_cast<size_t>(b.bufLen));
      size_t indStride = rowBindType != SQL_BIND_BY_COLUMN ? rowBindType : sizeof(SQLLEN);
      char *data = b.data ? static_cast<char *>(b.data) + off + stride * r : nullptr;
      SQLLEN *ind = b.ind ? reinterpret_cast<SQLLEN *>(reinterpret_cast<char *>(b.ind) + off + indStride * r) : nullptr;
      SQLRETURN pr = putValue(static_cast<int>(c), b.cType, data, b.bufLen, ind, nullptr);
      if (pr == SQL_ERROR) { status = SQL_ROW_ERROR; ret = SQL_SUCCESS_WITH_INFO; }
      else if (pr == SQL_SUCCESS_WITH_INFO) { if (status == SQL_ROW_SUCCESS) status = SQL_ROW_SUCCESS_WITH_INFO; ret = SQL_SUCCESS_WITH_INFO; }
    }
    if (rowStatus) rowStatus[r] = status;
    ++fetched;
  }
  if (rowStatus)
    for (SQLULEN r = fetched; r < rowArraySize; ++r) rowStatus[r] = SQL_ROW_NOROW;
  if (rowsFetched) *rowsFetched = fetched;
  if (fetched == 0) return diags.size() > nDiag ? SQL_ERROR : SQL_NO_DATA;
  if (rowArraySize > 1) row = row;  // SQLGetData reads the last row of the block
  return ret;
}

namespace {
// DB2 CLI's character form of a value.
std::string charForm(const ResultColumn &col, const char *v, int len) {
  const TypeDesc &t = col.type;
  if (t.kind == Kind::Boolean) return v[0] == 't' ? "1" : "0";
  if (t.isBinary() || col.pgType == 17) return bytesToHex(pgByteaToBytes(v, static_cast<size_t>(len)));
  if (t.kind == Kind::Timestamp) {
    std::string s(v, static_cast<size_t>(len));
    size_t dot = s.find('.', 19);
    std::string frac = dot == std::string::npos ? "" : s.substr(dot + 1);
    std::string base = s.substr(0, 19);
    if (t.scale > 0) {
      frac.resize(static_cast<size_t>(t.scale), '0');
      return base + "." + frac;
    }
    return base;
  }
  return std::string(v, static_cast<size_t>(len));
}

// Numbers as PostgreSQL writes them, whatever locale the application set.
bool parseDouble(const std::string &s, double &out) {
  const char *first = s.c_str(), *last = first + s.size();
  const auto [end, error] = std::from_chars(first, last, out);
  return error == std::errc() && end == last && end != first;
}

bool parseInt(const std::string &s, long long &out) {
  char *end = nullptr;
  errno = 0;
  double d = 0;
  long long v = std::strtoll(s.c_str(), &end, 10);
  if (errno == 0 && end && *end == 0 && end != s.c_str()) { out = v; return true; }
  if (!parseDouble(s, d)) return false;
  if (d > 9.2e18 || d < -9.2e18) return false;
  out = static_cast<long long>(d);
  return true;
}
}  // namespace

SQLRETURN Stmt::putValue(int c, SQLSMALLINT cType, char *buf, SQLLEN bufLen, SQLLEN *ind, long long *offset) {
  const ResultColumn &col = columns[c];
  if (cType == SQL_C_DEFAULT) cType = defaultCType(odbcType(col.type, false));
  if (PQgetisnull(res, row, c)) {
    if (offset && *offset >= 0) return SQL_NO_DATA;
    if (offset) *offset = 0;
    if (!ind) return fail(clientError("22002", -99999, "CLI0164E  Null value not allowed... Indicator variable required but not supplied. SQLSTATE=22002"));
    *ind = SQL_NULL_DATA;
    return SQL_SUCCESS;
  }
  const char *v = PQgetvalue(res, row, c);
  int len = PQgetlength(res, row, c);
  bool piecewise = cType == SQL_C_CHAR || cType == SQL_C_WCHAR || cType == SQL_C_BINARY;
  if (offset && *offset >= 0 && !piecewise) return SQL_NO_DATA;
  if (piecewise) {
    std::string local;
    const std::string *data;
    if (offset && *offset >= 0) {
      data = &gdData[c];
    } else {
      if (cType == SQL_C_CHAR) {
        if (col.type.kind == Kind::Boolean || col.type.isBinary() || col.type.kind == Kind::Timestamp || col.pgType == 17)
          local = charForm(col, v, len);
        else
          local.assign(v, static_cast<size_t>(len));
        // Characters in the application code page, decimals with the locale's decimal point.
        if (!conn->appCodeset.empty() && col.type.isText()) local = convertText(local, conn->appCodeset, "UTF-8");
        if (col.type.kind == Kind::Decimal || col.type.kind == Kind::Numeric || col.type.kind == Kind::DecFloat)
          std::replace(local.begin(), local.end(), '.', conn->decimalPoint);
        if (col.type.kind == Kind::Xml) local = xmlDeclaration(conn->appCodeset.empty() ? "UTF-8" : conn->appCodeset) + local;
      } else if (cType == SQL_C_WCHAR) {
        if (col.type.isText() && col.type.kind != Kind::Xml) {
          local = utf8ToUtf16Bytes(v, static_cast<size_t>(len));  // straight from the result: a long text is copied once
        } else {
          std::string form = charForm(col, v, len);
          if (col.type.kind == Kind::Decimal || col.type.kind == Kind::Numeric || col.type.kind == Kind::DecFloat)
            std::replace(form.begin(), form.end(), '.', conn->decimalPoint);
          if (col.type.kind == Kind::Xml) form = xmlDeclaration("UTF-16") + form;
          local = utf8ToUtf16Bytes(form.data(), form.size());
        }
      } else {
        local = (col.type.isBinary() || col.pgType == 17) ? pgByteaToBytes(v, static_cast<size_t>(len)) : charForm(col, v, len);
        if (col.type.kind == Kind::Xml) local = xmlDeclaration("UTF-8") + local;
      }
      if (offset) {
        gdData[c] = std::move(local);
        data = &gdData[c];
        *offset = 0;
      } else {
        data = &local;
      }
    }
    size_t done = offset ? static_cast<size_t>(*offset) : 0;
    if (offset && done > 0 && done >= data->size()) return SQL_NO_DATA;
    size_t remaining = data->size() - done;
    size_t term = cType == SQL_C_CHAR ? 1 : cType == SQL_C_WCHAR ? 2 : 0;
    size_t room = bufLen > static_cast<SQLLEN>(term) ? static_cast<size_t>(bufLen) - term : 0;
    if (cType == SQL_C_WCHAR) room &= ~static_cast<size_t>(1);
    size_t n = std::min(remaining, room);
    if (buf && bufLen > 0) {
      std::memcpy(buf, data->data() + done, n);
      if (term) std::memset(buf + n, 0, term);
    }
    if (ind) *ind = static_cast<SQLLEN>(remaining);
    if (offset) *offset = static_cast<long long>(done + n);
    if (n < remaining) {
      if (offset && done + n == data->size()) {}
      diags.push_back(clientError("01004", 0, "CLI0002W  Data truncated. SQLSTATE=01004"));
      return SQL_SUCCESS_WITH_INFO;
    }
    if (offset && data->empty()) *offset = 1;  // an empty value was returned once
    if (offset) gdData[c] = std::string();     // all of it went: a long value is not held on to
    return SQL_SUCCESS;
  }
  if (offset) *offset = 0;
  std::string s = charForm(col, v, len);
  auto bad = [&](const char *state, int native, const char *text) { return fail(clientError(state, native, text)); };
  switch (cType) {
    case SQL_C_SLONG: case SQL_C_LONG: case SQL_C_ULONG: case SQL_C_SSHORT: case SQL_C_SHORT: case SQL_C_USHORT:
    case SQL_C_STINYINT: case SQL_C_TINYINT: case SQL_C_UTINYINT: case SQL_C_BIT: case SQL_C_SBIGINT: case SQL_C_UBIGINT: {
      long long x;
      if (!parseInt(s, x)) return bad("22018", -99999, "CLI0112E  Error in assignment. SQLSTATE=22018");
      auto range = [&](long long lo, long long hi) { return x >= lo && x <= hi; };
      bool ok = true;
      switch (cType) {
        case SQL_C_SLONG: case SQL_C_LONG: ok = range(INT32_MIN, INT32_MAX); if (ok && buf) { SQLINTEGER y = static_cast<SQLINTEGER>(x); std::memcpy(buf, &y, sizeof y); } break;
        case SQL_C_ULONG: ok = range(0, UINT32_MAX); if (ok && buf) { SQLUINTEGER y = static_cast<SQLUINTEGER>(x); std::memcpy(buf, &y, sizeof y); } break;
        case SQL_C_SSHORT: case SQL_C_SHORT: ok = range(INT16_MIN, INT16_MAX); if (ok && buf) { SQLSMALLINT y = static_cast<SQLSMALLINT>(x); std::memcpy(buf, &y, sizeof y); } break;
        case SQL_C_USHORT: ok = range(0, UINT16_MAX); if (ok && buf) { SQLUSMALLINT y = static_cast<SQLUSMALLINT>(x); std::memcpy(buf, &y, sizeof y); } break;
        case SQL_C_STINYINT: case SQL_C_TINYINT: ok = range(-128, 127); if (ok && buf) *buf = static_cast<char>(x); break;
        case SQL_C_UTINYINT: case SQL_C_BIT: ok = range(0, 255); if (ok && buf) *buf = static_cast<char>(x); break;
        case SQL_C_SBIGINT: if (buf) { SQLBIGINT y = x; std::memcpy(buf, &y, sizeof y); } break;
        case SQL_C_UBIGINT: ok = x >= 0; if (ok && buf) { SQLUBIGINT y = static_cast<SQLUBIGINT>(x); std::memcpy(buf, &y, sizeof y); } break;
      }
      if (!ok) return bad("22003", -99999, "CLI0111E  Numeric value out of range. SQLSTATE=22003");
      if (ind) *ind = static_cast<SQLLEN>(fixedSize(cType));
      return SQL_SUCCESS;
    }
    case SQL_C_NUMERIC: {
      if (!col.type.isNumeric()) return bad("07006", -99999, "CLI0102E  Invalid conversion. SQLSTATE=07006");
      SQL_NUMERIC_STRUCT n{};
      n.sign = s.empty() || s[0] != '-';
      const std::string body = s[0] == '-' || s[0] == '+' ? s.substr(1) : s;
      const size_t point = body.find('.');
      std::string digits = body.substr(0, point);
      std::string fraction = point == std::string::npos ? "" : body.substr(point + 1);
      const int scale = col.type.kind == Kind::Decimal || col.type.kind == Kind::Numeric ? col.type.scale : static_cast<int>(fraction.size());
      fraction.resize(static_cast<size_t>(scale), '0');
      digits += fraction;
      if (digits.size() > 38 || digits.find_first_not_of("0123456789") != std::string::npos)
        return bad("22003", -99999, "CLI0111E  Numeric value out of range. SQLSTATE=22003");
      unsigned __int128 v = 0;
      for (char ch : digits) v = v * 10 + static_cast<unsigned>(ch - '0');
      for (int k = 0; k < SQL_MAX_NUMERIC_LEN; ++k, v >>= 8) n.val[k] = static_cast<SQLCHAR>(v & 0xFF);
      n.precision = static_cast<SQLCHAR>(std::max<size_t>(digits.size(), 1));
      n.scale = static_cast<SQLSCHAR>(scale);
      if (buf) std::memcpy(buf, &n, sizeof n);
      if (ind) *ind = sizeof n;
      return SQL_SUCCESS;
    }
    case SQL_C_DOUBLE: case SQL_C_FLOAT: {
      double d = 0;
      if (!parseDouble(s, d)) return bad("22018", -99999, "CLI0112E  Error in assignment. SQLSTATE=22018");
      if (buf) {
        if (cType == SQL_C_DOUBLE) std::memcpy(buf, &d, sizeof d);
        else { float f = static_cast<float>(d); std::memcpy(buf, &f, sizeof f); }
      }
      if (ind) *ind = static_cast<SQLLEN>(fixedSize(cType));
      return SQL_SUCCESS;
    }
    case SQL_C_TYPE_DATE: case SQL_C_DATE: case SQL_C_TYPE_TIME: case SQL_C_TIME: case SQL_C_TYPE_TIMESTAMP: case SQL_C_TIMESTAMP: {
      int Y = 0, M = 0, D = 0, h = 0, m = 0, sec = 0;
      unsigned long frac = 0;
      const Kind k = col.type.kind;
      if (k == Kind::Time) {
        if (std::sscanf(s.c_str(), "%d:%d:%d", &h, &m, &sec) != 3) return bad("22007", -99999, "CLI0113E  SQLSTATE 22007: An invalid datetime format was detected. SQLSTATE=22007");
      } else if (k == Kind::Date || k == Kind::Timestamp || k == Kind::VarChar || k == Kind::Char) {
        int got = std::sscanf(s.c_str(), "%d-%d-%d%*[ T-]%d%*[:.]%d%*[:.]%d", &Y, &M, &D, &h, &m, &sec);
        if (got != 3 && got != 6) return bad("22007", -99999, "CLI0113E  SQLSTATE 22007: An invalid datetime format was detected. SQLSTATE=22007");
        size_t dot = s.find('.', 19);
        if (got == 6 && dot != std::string::npos) {
          std::string f = s.substr(dot + 1);
          f.resize(9, '0');
          frac = std::strtoul(f.c_str(), nullptr, 10);
        }
      } else {
        return bad("07006", -99999, "CLI0102E  Invalid conversion. SQLSTATE=07006");
      }
      if (cType == SQL_C_TYPE_DATE || cType == SQL_C_DATE) {
        if (k == Kind::Time) return bad("07006", -99999, "CLI0102E  Invalid conversion. SQLSTATE=07006");
        SQL_DATE_STRUCT d{static_cast<SQLSMALLINT>(Y), static_cast<SQLUSMALLINT>(M), static_cast<SQLUSMALLINT>(D)};
        if (buf) std::memcpy(buf, &d, sizeof d);
      } else if (cType == SQL_C_TYPE_TIME || cType == SQL_C_TIME) {
        if (k == Kind::Date) return bad("07006", -99999, "CLI0102E  Invalid conversion. SQLSTATE=07006");
        SQL_TIME_STRUCT t{static_cast<SQLUSMALLINT>(h), static_cast<SQLUSMALLINT>(m), static_cast<SQLUSMALLINT>(sec)};
        if (buf) std::memcpy(buf, &t, sizeof t);
      } else {
        SQL_TIMESTAMP_STRUCT t{};
        if (k != Kind::Time) { t.year = static_cast<SQLSMALLINT>(Y); t.month = static_cast<SQLUSMALLINT>(M); t.day = static_cast<SQLUSMALLINT>(D); }
        t.hour = static_cast<SQLUSMALLINT>(h); t.minute = static_cast<SQLUSMALLINT>(m); t.second = static_cast<SQLUSMALLINT>(sec);
        t.fraction = static_cast<SQLUINTEGER>(frac);
        if (buf) std::memcpy(buf, &t, sizeof t);
      }
      if (ind) *ind = static_cast<SQLLEN>(fixedSize(cType));
      return SQL_SUCCESS;
    }
    default:
      return bad("HYC00", -99999, "CLI0150E  Driver not capable. SQLSTATE=HYC00");
  }
}

SQLRETURN Stmt::getData(SQLUSMALLINT col, SQLSMALLINT cType, SQLPOINTER buf, SQLLEN bufLen, SQLLEN *ind) {
  if (!hasResult || row < 0 || row >= nrows) return fail(clientError("24000", -99999, "CLI0115E  Invalid cursor state. SQLSTATE=24000"));
  if (col < 1 || col > columns.size()) return fail(clientError("07009", -99999, "CLI0125E  Invalid column number. SQLSTATE=07009"));
  return putValue(col - 1, cType, static_cast<char *>(buf), bufLen, ind, &gdOffset[col - 1]);
}

bool Stmt::bindingsUsable(Diag &err) const {
  const size_t rows = tr.paramCount > 0 ? paramsetSize : 1;
  const size_t off = paramBindOffset ? *paramBindOffset : 0;
  const size_t indStride = paramBindType != SQL_PARAM_BIND_BY_COLUMN ? paramBindType : sizeof(SQLLEN);
  for (int p = 0; p < tr.paramCount; ++p) {
    const ParamBinding &b = params[p];
    const SQLSMALLINT cType = b.cType == SQL_C_DEFAULT ? defaultCType(b.sqlType) : b.cType;
    bool usable = fixedSize(cType) > 0 || cType == SQL_C_CHAR || cType == SQL_C_WCHAR || cType == SQL_C_BINARY;
    for (size_t r = 0; usable && b.ind && r < rows; ++r) {
      const SQLLEN len = *reinterpret_cast<const SQLLEN *>(reinterpret_cast<const char *>(b.ind) + off + indStride * r);
      usable = len != SQL_DATA_AT_EXEC && len > SQL_LEN_DATA_AT_EXEC_OFFSET;
    }
    if (!usable) {
      err = clientError("HYC00", -99999, "CLI0150E  Driver not capable. SQLSTATE=HYC00");
      return false;
    }
  }
  return true;
}

void Stmt::storeInDatabaseCodePage(std::string &value, const TypeDesc &type, size_t row) {
  if (conn->unicodeDatabase() || !type.isText() || type.isBinary() || type.isGraphic()) return;
  const std::string codeset = codesetOf(conn->databaseCodePage);
  std::string stored = convertText(convertText(value, codeset, "UTF-8"), "UTF-8", codeset);
  if (stored == value) return;
  value = std::move(stored);
  substitutedRows.insert(row);
}

SQLRETURN Stmt::substitutionWarnings(SQLRETURN rc, const std::vector<char> *arrived) {
  for (size_t row : substitutedRows) {
    if (arrived && !(*arrived)[row]) continue;
    Diag d = serverError("01517", 335, "SQL0335N  A character that could not be converted was replaced with a substitute "
                                       "character.  SQLSTATE=01517");
    d.row = arrived ? static_cast<long>(row + 1) : 0;
    diags.push_back(d);
    if (paramStatus && (arrived || row == 0)) paramStatus[row] = SQL_PARAM_SUCCESS_WITH_INFO;
    if (rc == SQL_SUCCESS) rc = SQL_SUCCESS_WITH_INFO;
  }
  return rc;
}

void Stmt::checkDeclaredLength(size_t p, const char *value, size_t length) const {
  const ParamBinding &b = params[p];
  // Without LongDataCompat the ODBC long types are DB2's LONG types, not LOBs.
  const bool lobs = conn->longDataCompat;
  long long limit = 0;
  bool wideUnits = false;
  switch (b.sqlType) {
    case SQL_VARCHAR: case SQL_VARBINARY: limit = 32672; break;
    case SQL_LONGVARCHAR: case SQL_LONGVARBINARY: limit = lobs ? 2147483647LL : 32700; break;
    case SQL_WVARCHAR: limit = 16336; wideUnits = true; break;
    case SQL_WLONGVARCHAR: limit = lobs ? 1073741823LL : 16350; wideUnits = true; break;
    case kSqlClob: case kSqlBlob: limit = b.columnSize ? static_cast<long long>(b.columnSize) : 2147483647LL; break;
    case kSqlDbclob: limit = b.columnSize ? static_cast<long long>(b.columnSize) : 1073741823LL; wideUnits = true; break;
    default: return;
  }
  if (static_cast<long long>(length) <= limit) return;  // UTF-16 never takes more units than UTF-8 has bytes
  const long long size = wideUnits ? static_cast<long long>(utf8ToUtf16(std::string(value, length)).size())
                                   : static_cast<long long>(length);
  if (size > limit)
    throw SqlError{serverError("22001", -302, "SQL0302N  The value of a host variable in the EXECUTE or OPEN statement is out of "
                                              "range for its corresponding use.")};
}

bool Stmt::beginAtomic(bool &ownTransaction, Diag &err) {
  ownTransaction = false;
  if (!conn->txnOpen) {
    PGresult *b = conn->exec("BEGIN");
    const bool ok = !failed(b);
    if (!ok) err = conn->mapError(b, nullptr);
    PQclear(b);
    if (!ok) return false;
    conn->txnOpen = true;
    ownTransaction = conn->autocommit;
  }
  PQclear(conn->exec("SAVEPOINT db2atomic"));
  return true;
}

void Stmt::endAtomic(bool ownTransaction, bool keep) {
  PQclear(conn->exec(keep ? "RELEASE SAVEPOINT db2atomic" : "ROLLBACK TO SAVEPOINT db2atomic; RELEASE SAVEPOINT db2atomic"));
  if (ownTransaction) {
    PQclear(conn->exec("COMMIT"));
    conn->txnOpen = false;
  }
}

SQLRETURN Stmt::failAtomic(size_t badRow, Diag err) {
  // Per-row statuses of an atomic array say nothing about the other rows.
  // An unknown row (badRow past the end) marks them all.
  const bool known = badRow < paramsetSize;
  for (size_t i = 0; paramStatus && i < paramsetSize; ++i)
    paramStatus[i] = i == badRow || !known ? SQL_PARAM_ERROR : SQL_PARAM_UNUSED;
  if (paramsProcessed) *paramsProcessed = known ? badRow + 1 : paramsetSize;
  rowCount = 0;
  err.row = known ? static_cast<long>(badRow + 1) : 0;
  return fail(err);
}

// Array input, row by row: each row stands alone as DB2 does for non-atomic
// arrays; an atomic one is undone at its first bad row.
SQLRETURN Stmt::runArray() {
  size_t n = paramsetSize;
  size_t good = 0;
  std::vector<char> arrived(n, 0);
  rowCount = 0;
  std::vector<std::optional<std::string>> vals;
  std::vector<const char *> ptrs;
  bool ownTransaction = false;
  if (Diag e; atomicArrays && !beginAtomic(ownTransaction, e)) return fail(e);
  for (size_t i = 0; i < n; ++i) {
    Diag err;
    bool ok = rowValues(i, vals, err);
    PGresult *r = nullptr;
    if (ok) {
      ptrs.clear();
      for (auto &v : vals) ptrs.push_back(v ? v->c_str() : nullptr);
      r = conn->run(tr.sql, ptrs, err, &tr);
      ok = r != nullptr;
    }
    if (ok) {
      rowCount += std::atoll(PQcmdTuples(r));
      PQclear(r);
      ++good;
    } else if (atomicArrays) {
      endAtomic(ownTransaction, false);
      return failAtomic(i, err);
    } else {
      err.row = static_cast<long>(i + 1);
      diags.push_back(err);
    }
    if (paramStatus) paramStatus[i] = ok ? SQL_PARAM_SUCCESS : SQL_PARAM_ERROR;
    arrived[i] = ok;
  }
  if (atomicArrays) endAtomic(ownTransaction, true);
  if (paramsProcessed) *paramsProcessed = n;
  return substitutionWarnings(good == n ? SQL_SUCCESS : good == 0 ? SQL_ERROR : SQL_SUCCESS_WITH_INFO, &arrived);
}

namespace {
enum class BinaryWire { Text, Bytes, Date, None };

// How a column of this DB2 type travels in binary COPY: text and byte columns
// as they are, dates as days since 2000-01-01; anything else only as text.
BinaryWire binaryWire(Kind kind) {
  switch (kind) {
    case Kind::VarChar: case Kind::LongVarChar: case Kind::Clob:
    case Kind::VarGraphic: case Kind::LongVarGraphic: case Kind::DbClob: return BinaryWire::Text;
    case Kind::Binary: case Kind::VarBinary: case Kind::LongVarBinary: case Kind::Blob: return BinaryWire::Bytes;
    case Kind::Date: return BinaryWire::Date;
    default: return BinaryWire::None;
  }
}

void putInt32(std::string &out, int32_t v) {
  const uint32_t u = static_cast<uint32_t>(v);
  const char b[4] = {static_cast<char>(u >> 24), static_cast<char>(u >> 16), static_cast<char>(u >> 8), static_cast<char>(u)};
  out.append(b, 4);
}

void putInt16(std::string &out, int16_t v) {
  const uint16_t u = static_cast<uint16_t>(v);
  const char b[2] = {static_cast<char>(u >> 8), static_cast<char>(u)};
  out.append(b, 2);
}

// Days from 2000-01-01 to a 'yyyy-mm-dd' date (proleptic Gregorian calendar);
// a day that does not exist is refused as DB2 refuses it.
int32_t daysSince2000(const std::string &date) {
  long y = std::atol(date.substr(0, 4).c_str());
  const long m = std::atol(date.substr(5, 2).c_str()), d = std::atol(date.substr(8, 2).c_str());
  static const int monthDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  if (y < 1 || m < 1 || m > 12 || d < 1 || d > monthDays[m - 1] + (m == 2 && leap))
    throw SqlError{serverError("22007", -181, "SQL0181N  The string representation of a datetime value is out of range.")};
  y -= m <= 2;
  const long era = (y >= 0 ? y : y - 399) / 400;
  const long yoe = y - era * 400;
  const long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return static_cast<int32_t>(era * 146097 + doe - 719468 - 10957);  // 1970-01-01, then 2000-01-01
}

void copyEscape(std::string &out, const char *run, size_t length) {
  // Plain runs are appended whole; only the four special characters are rewritten.
  const char *end = run + length;
  for (const char *p = run; p < end; ++p) {
    const char *rep;
    switch (*p) {
      case '\\': rep = "\\\\"; break;
      case '\n': rep = "\\n"; break;
      case '\r': rep = "\\r"; break;
      case '\t': rep = "\\t"; break;
      default: continue;
    }
    out.append(run, p);
    out += rep;
    run = p + 1;
  }
  out.append(run, end);
}
}  // namespace

// Text bound as characters goes into a character column straight from the
// application's buffer when it fits; everything else takes the cast of rowValues.
bool Stmt::binaryCopyPossible() const {
  if (tr.paramColumn.size() != static_cast<size_t>(tr.paramCount)) return false;
  for (int col : tr.paramColumn)
    if (col < 0 || binaryWire(tr.columns[col].type.kind) == BinaryWire::None) return false;
  return true;
}

bool Stmt::appendCopyValue(size_t p, size_t row, std::string &out, std::string &scratch, Diag &err, bool binary) {
  const ParamBinding &b = params[p];
  const int col = p < tr.paramColumn.size() ? tr.paramColumn[p] : -1;
  if (b.cType == SQL_C_CHAR && col >= 0 && b.data && b.ind && paramBindType == SQL_PARAM_BIND_BY_COLUMN) {
    const Kind kind = tr.columns[col].type.kind;
    const size_t off = paramBindOffset ? *paramBindOffset : 0;
    const SQLLEN len = *reinterpret_cast<const SQLLEN *>(reinterpret_cast<const char *>(b.ind) + off + sizeof(SQLLEN) * row);
    if (len == SQL_NULL_DATA) {
      if (binary) putInt32(out, -1);
      else out += "\\N";
      return true;
    }
    const bool plainText = kind == Kind::VarChar || kind == Kind::LongVarChar || kind == Kind::Clob;
    if (plainText && conn->appCodeset.empty() && conn->unicodeDatabase() && len >= 0 && len <= tr.columns[col].type.length) {
      const char *text = static_cast<const char *>(b.data) + off + static_cast<size_t>(b.bufLen) * row;
      try {
        checkDeclaredLength(p, text, static_cast<size_t>(len));
        refuseNulInText(text, static_cast<size_t>(len));
      } catch (const SqlError &e) {
        err = e.diag;
        return false;
      }
      if (binary) {
        putInt32(out, static_cast<int32_t>(len));
        out.append(text, static_cast<size_t>(len));
      } else {
        copyEscape(out, text, static_cast<size_t>(len));
      }
      return true;
    }
  }
  bool bad = false;
  std::optional<std::string> v = paramValue(p, row, err, bad);
  if (bad) return false;
  if (!v) {
    if (binary) putInt32(out, -1);
    else out += "\\N";
    return true;
  }
  if (binary) {
    try {
      checkDeclaredLength(p, v->data(), v->size());
      const TypeDesc &type = tr.columns[col].type;
      scratch = castForColumn(type, *v, tr.columns[col].name);  // validates: length, date syntax
      storeInDatabaseCodePage(scratch, type, row);
      switch (binaryWire(type.kind)) {
        case BinaryWire::Date: putInt32(out, 4); putInt32(out, daysSince2000(scratch)); return true;
        case BinaryWire::Bytes: putInt32(out, static_cast<int32_t>(v->size())); out += *v; return true;
        default: putInt32(out, static_cast<int32_t>(scratch.size())); out += scratch; return true;
      }
    } catch (const SqlError &e) {
      err = e.diag;
      return false;
    }
  }
  try {
    checkDeclaredLength(p, v->data(), v->size());
    if (col >= 0 && isIntegerC(b.cType) && tr.columns[col].type.isNumeric() && finiteNumber(*v)) {
    } else if (col >= 0) {
      scratch = castForColumn(tr.columns[col].type, std::move(*v), tr.columns[col].name);
      storeInDatabaseCodePage(scratch, tr.columns[col].type, row);
      v = std::move(scratch);
    } else if (b.cType == SQL_C_BINARY) {
      v = "\\x" + bytesToHex(*v);
    } else {
      refuseNulInText(v->data(), v->size());
    }
  } catch (const SqlError &e) {
    err = e.diag;
    return false;
  }
  copyEscape(out, v->data(), v->size());
  return true;
}

// Array INSERT in one round trip through COPY; when the server refuses the batch,
// the rows go again one by one to find the bad ones.
SQLRETURN Stmt::copyArray() {
  size_t n = paramsetSize;
  std::vector<char> ok(n, 1);
  std::vector<std::optional<std::string>> rv;
  size_t nDiag = diags.size();
  std::string collist;
  for (size_t p = 0; p < tr.paramColumn.size(); ++p)
    collist += (p ? ", " : "") + quoteIdent(tr.columns[tr.paramColumn[p]].name);
  Diag err;
  bool ownTransaction = false;
  if (atomicArrays) {
    if (!beginAtomic(ownTransaction, err)) return fail(err);
  } else if (!conn->beginIfNeeded(err)) {
    return fail(err);
  }
  bool sp = !atomicArrays && conn->txnOpen;
  if (sp) PQclear(conn->exec("SAVEPOINT db2copy"));
  std::optional<size_t> atomicBadRow;
  Diag atomicError;
  // Binary COPY where every column allows it: the server reads it with less work.
  const bool binary = binaryCopyPossible();
  PGresult *r = conn->exec("COPY " + tr.table + " (" + collist + ") FROM STDIN" + (binary ? " WITH (FORMAT binary)" : ""));
  bool copying = PQresultStatus(r) == PGRES_COPY_IN;
  if (copying) PQclear(r);
  // Rows go out in chunks while the next ones are converted, so the server works meanwhile.
  std::string buf;
  buf.reserve(1 << 16);
  size_t sent = 0;
  std::string scratch;
  if (binary) {
    buf.append("PGCOPY\n\377\r\n\0", 11);
    putInt32(buf, 0);  // flags
    putInt32(buf, 0);  // header extension
  }
  for (size_t i = 0; i < n; ++i) {
    Diag e;
    const size_t rowStart = buf.size();
    bool rowOk = true;
    if (binary) putInt16(buf, static_cast<int16_t>(tr.paramCount));
    for (size_t p = 0; rowOk && p < static_cast<size_t>(tr.paramCount); ++p) {
      if (p && !binary) buf += '\t';
      rowOk = appendCopyValue(p, i, buf, scratch, e, binary);
    }
    if (!rowOk && atomicArrays) {
      atomicBadRow = i;
      atomicError = e;
      break;
    }
    if (!rowOk) {
      buf.resize(rowStart);
      ok[i] = 0;
      e.row = static_cast<long>(i + 1);
      diags.push_back(e);
      continue;
    }
    if (!binary) buf += '\n';
    ++sent;
    if (copying && buf.size() >= (1 << 16)) {
      PQputCopyData(conn->pg, buf.data(), static_cast<int>(buf.size()));
      buf.clear();
    }
  }
  bool batchOk = copying;
  long long inserted = 0;
  if (copying) {
    if (binary) putInt16(buf, -1);  // end of data
    if (!buf.empty() && !atomicBadRow) PQputCopyData(conn->pg, buf.data(), static_cast<int>(buf.size()));
    PQputCopyEnd(conn->pg, atomicBadRow ? "row refused" : nullptr);
    r = PQgetResult(conn->pg);
    PGresult *extra;
    while ((extra = PQgetResult(conn->pg)) != nullptr) PQclear(extra);
  }
  batchOk = !failed(r);
  if (batchOk) inserted = std::atoll(PQcmdTuples(r));
  if (atomicArrays && (atomicBadRow || !batchOk)) {
    // Which row the server refused is not known: the array fails as a whole.
    const Diag why = atomicBadRow ? atomicError : conn->mapError(r, &tr);
    PQclear(r);
    endAtomic(ownTransaction, false);
    return failAtomic(atomicBadRow.value_or(SIZE_MAX), why);
  }
  if (atomicArrays) endAtomic(ownTransaction, true);
  PQclear(r);
  if (sp) PQclear(conn->exec(batchOk ? "RELEASE SAVEPOINT db2copy" : "ROLLBACK TO SAVEPOINT db2copy; RELEASE SAVEPOINT db2copy"));
  (void)sent;
  if (!batchOk) {
    inserted = 0;
    std::vector<const char *> ptrs;
    for (size_t i = 0; i < n; ++i) {
      if (!ok[i]) continue;
      Diag e;
      rowValues(i, rv, e);
      ptrs.clear();
      for (auto &v : rv) ptrs.push_back(v ? v->c_str() : nullptr);
      PGresult *r = conn->run(tr.sql, ptrs, e, &tr);
      if (r) {
        inserted += std::atoll(PQcmdTuples(r));
        PQclear(r);
      } else {
        ok[i] = 0;
        e.row = static_cast<long>(i + 1);
        diags.push_back(e);
      }
    }
  }
  // Row numbers in order, as the application reads them.
  std::stable_sort(diags.begin() + static_cast<long>(nDiag), diags.end(), [](const Diag &a, const Diag &b) { return a.row < b.row; });
  rowCount = inserted;
  size_t good = 0;
  for (size_t i = 0; i < n; ++i) {
    if (paramStatus) paramStatus[i] = ok[i] ? SQL_PARAM_SUCCESS : SQL_PARAM_ERROR;
    good += ok[i];
  }
  if (paramsProcessed) *paramsProcessed = n;
  return substitutionWarnings(good == n ? SQL_SUCCESS : good == 0 ? SQL_ERROR : SQL_SUCCESS_WITH_INFO, &ok);
}

SQLRETURN Stmt::tables(const std::string &, const std::string &schem, const std::string &table, const std::string &types,
                       bool schemNull, bool tableNull) {
  closeResult();
  std::string s = schemNull || schem.empty() ? "%" : schem;
  std::string t = tableNull || table.empty() ? "%" : table;
  // Type list: 'TABLE','VIEW' or TABLE,VIEW
  std::string list = "{";
  std::string cur;
  bool any = false;
  auto flush = [&] {
    std::string w = trim(cur);
    if (w.size() >= 2 && w.front() == '\'' && w.back() == '\'') w = w.substr(1, w.size() - 2);
    if (!w.empty() && w != "%") { list += (any ? ",\"" : "\"") + upperAscii(w) + "\""; any = true; }
    cur.clear();
  };
  for (char c : types) {
    if (c == ',') flush();
    else cur += c;
  }
  flush();
  list += "}";
  std::string q =
      "SELECT CAST(NULL AS varchar(128)) AS \"TABLE_CAT\", s::varchar(128) AS \"TABLE_SCHEM\", n::varchar(128) AS \"TABLE_NAME\", "
      "t::varchar(128) AS \"TABLE_TYPE\", CAST(NULL AS varchar(254)) AS \"REMARKS\" FROM ("
      " SELECT ns.nspname AS s, c.relname AS n,"
      "  CASE WHEN ns.nspname IN ('SYSIBM', 'SYSCAT', 'SYSSTAT', 'SYSTOOLS', 'SYSIBMADM') THEN 'SYSTEM TABLE'"
      "       WHEN c.relkind IN ('v', 'm') THEN 'VIEW' ELSE 'TABLE' END AS t"
      " FROM pg_class c JOIN pg_namespace ns ON ns.oid = c.relnamespace"
      " WHERE c.relkind IN ('r', 'p', 'v', 'm') AND ns.nspname NOT LIKE 'pg\\_%' AND ns.nspname NOT IN ('information_schema', 'db2standin')"
      "  AND NOT EXISTS (SELECT 1 FROM db2standin.aliases a WHERE a.schema = ns.nspname AND a.name = c.relname)"
      " UNION ALL SELECT schema, name, 'ALIAS' FROM db2standin.aliases"
      ") x WHERE s LIKE $1 AND n LIKE $2" +
      std::string(any ? " AND t = ANY($3::text[])" : "") + " ORDER BY t, s, n";
  std::vector<const char *> vals = {s.c_str(), t.c_str()};
  if (any) vals.push_back(list.c_str());
  return catalogResult(q, vals);
}

SQLRETURN Stmt::catalogResult(const std::string &query, const std::vector<const char *> &values) {
  PGresult *r = PQexecParams(conn->pg, query.c_str(), static_cast<int>(values.size()), nullptr, values.data(), nullptr, nullptr, 0);
  if (failed(r)) {
    Diag d = conn->mapError(r, nullptr);
    PQclear(r);
    return fail(d);
  }
  setResult(r, false);
  rowCount = -1;
  return SQL_SUCCESS;
}

SQLRETURN Stmt::primaryKeys(const std::string &schem, const std::string &table, bool schemNull) {
  closeResult();
  const std::string schema = schemNull || schem.empty() ? conn->schema : schem;
  const char *q =
      "SELECT CAST(NULL AS varchar(128)) AS \"TABLE_CAT\", ns.nspname::varchar(128) AS \"TABLE_SCHEM\","
      " c.relname::varchar(128) AS \"TABLE_NAME\", a.attname::varchar(128) AS \"COLUMN_NAME\","
      " k.seq::smallint AS \"KEY_SEQ\", con.conname::varchar(128) AS \"PK_NAME\""
      " FROM pg_constraint con JOIN pg_class c ON c.oid = con.conrelid JOIN pg_namespace ns ON ns.oid = c.relnamespace"
      " CROSS JOIN LATERAL unnest(con.conkey) WITH ORDINALITY AS k(attnum, seq)"
      " JOIN pg_attribute a ON a.attrelid = c.oid AND a.attnum = k.attnum"
      " WHERE con.contype = 'p' AND ns.nspname = $1 AND c.relname = $2 ORDER BY 2, 3, 5";
  return catalogResult(q, {schema.c_str(), table.c_str()});
}

}  // namespace db2standin
