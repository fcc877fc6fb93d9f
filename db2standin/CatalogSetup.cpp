#include "CatalogSetup.h"

namespace db2standin {

namespace {

// The table spaces a user may create tables in: one, with the page size of this connection's setting.
const char* kTableSpaces = R"SQL(
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

// The statistics of SYSCAT.TABLES as PostgreSQL's own: CARD the rows and
// NPAGES the pages (in the table space's page size) that the last ANALYZE or
// VACUUM counted, -1 before either ran and for views, as DB2 shows them before
// RUNSTATS. Added to the view of the first set-up, which lacks them.
const char* kTableStatistics = R"SQL(
DO $$BEGIN
  IF NOT EXISTS (SELECT 1 FROM pg_attribute WHERE attrelid = to_regclass('"SYSCAT"."TABLES"') AND attname = 'CARD') THEN
    CREATE OR REPLACE VIEW "SYSCAT"."TABLES" AS
      SELECT t."CREATOR" AS "TABSCHEMA", t."NAME" AS "TABNAME", t."TYPE",
             (CASE WHEN c.relkind = 'v' OR c.reltuples < 0 THEN -1 ELSE c.reltuples::bigint END)::bigint AS "CARD",
             (CASE WHEN c.relkind = 'v' OR c.reltuples < 0 THEN -1
                   ELSE ceil(c.relpages::numeric * current_setting('block_size')::integer
                             / coalesce(nullif(current_setting('db2standin.page_size', true), '')::integer, 4096)) END)::bigint AS "NPAGES",
             (CASE WHEN c.relkind = 'v' THEN NULL ELSE 'USERSPACE1' END)::varchar(128) AS "TBSPACE"
      FROM "SYSIBM"."SYSTABLES" t
      JOIN pg_namespace n ON n.nspname = t."CREATOR" JOIN pg_class c ON c.relnamespace = n.oid AND c.relname = t."NAME";
    GRANT SELECT ON "SYSCAT"."TABLES" TO PUBLIC;
  END IF;
EXCEPTION WHEN duplicate_table OR duplicate_object OR unique_violation OR insufficient_privilege THEN NULL;
END$$;
)SQL";

// The database configuration parameters the tool may ask for, as
// SYSIBMADM.DBCFG shows them.
const char* kDatabaseConfiguration = R"SQL(
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
// Columns the table computes: identities (IDENTITY 'Y'), expressions and row
// change timestamps (ROWCHANGETIMESTAMP 'Y', kept by the stand-in's trigger),
// GENERATED 'A' (always) or 'D' (by default), ' ' for any other column.
const char* kColumns = R"SQL(
DO $$BEGIN
  IF NOT EXISTS (SELECT 1 FROM pg_attribute WHERE attrelid = to_regclass('"SYSCAT"."COLUMNS"') AND attname = 'ROWCHANGETIMESTAMP') THEN
    CREATE OR REPLACE VIEW "SYSCAT"."COLUMNS" AS
      SELECT n.nspname::varchar(128) AS "TABSCHEMA", c.relname::varchar(128) AS "TABNAME", a.attname::varchar(128) AS "COLNAME",
             (SELECT count(*) FROM pg_attribute b
               WHERE b.attrelid = a.attrelid AND b.attnum > 0 AND b.attnum < a.attnum AND NOT b.attisdropped)::smallint AS "COLNO",
             s.units::varchar(11) AS "TYPESTRINGUNITS", (CASE WHEN s.units IS NOT NULL THEN s.length END)::integer AS "STRINGUNITSLENGTH",
             (CASE WHEN d.domain = 'longvarchar' THEN 'LONG VARCHAR' WHEN d.domain = 'longvargraphic' THEN 'LONG VARGRAPHIC'
                   WHEN d.domain = 'longvarbinary' THEN 'LONG VARCHAR'
                   WHEN d.domain ~ '^char_' THEN 'CHARACTER'
                   WHEN d.domain IS NOT NULL THEN upper(substring(d.domain FROM '^[a-z]+'))
                   ELSE CASE d.base WHEN 16 THEN 'BOOLEAN' WHEN 21 THEN 'SMALLINT' WHEN 23 THEN 'INTEGER' WHEN 20 THEN 'BIGINT'
                          WHEN 1700 THEN 'DECIMAL' WHEN 700 THEN 'REAL' WHEN 701 THEN 'DOUBLE' WHEN 1082 THEN 'DATE'
                          WHEN 1083 THEN 'TIME' WHEN 1114 THEN 'TIMESTAMP' WHEN 17 THEN 'BLOB' WHEN 1042 THEN 'CHARACTER'
                          ELSE 'VARCHAR' END END)::varchar(128) AS "TYPENAME",
             (CASE WHEN a.attnotnull THEN 'N' ELSE 'Y' END)::char(1) AS "NULLS",
             pg_get_expr(ad.adbin, ad.adrelid)::varchar(254) AS "DEFAULT",
             (CASE WHEN a.attidentity <> '' THEN 'Y' ELSE 'N' END)::char(1) AS "IDENTITY",
             (CASE WHEN a.attidentity = 'd' THEN 'D' WHEN a.attidentity = 'a' OR a.attgenerated <> '' THEN 'A'
                   WHEN rc.kind IS NOT NULL THEN rc.kind ELSE ' ' END)::char(1) AS "GENERATED",
             (CASE WHEN rc.kind IS NOT NULL THEN 'Y' ELSE 'N' END)::char(1) AS "ROWCHANGETIMESTAMP"
      FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace
      JOIN pg_attribute a ON a.attrelid = c.oid AND a.attnum > 0 AND NOT a.attisdropped
      LEFT JOIN pg_attrdef ad ON ad.adrelid = c.oid AND ad.adnum = a.attnum
      LEFT JOIN LATERAL (SELECT split_part(encode(g.tgargs, 'escape'), '\000', 2) AS kind FROM pg_trigger g
                         WHERE g.tgrelid = c.oid AND g.tgname = 'db2standin_row_change_timestamp'
                           AND split_part(encode(g.tgargs, 'escape'), '\000', 1) = a.attname) rc ON true
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

// The identity columns with their sequences' settings. NEXTCACHEFIRSTVALUE
// is the first value not yet handed to any session's cache (PostgreSQL's
// last_value written plus the increment), the start before any was used;
// CACHE is 0 without a cache (PostgreSQL's 1), as DB2 shows NO CACHE.
const char* kIdentities = R"SQL(
DO $$BEGIN
  IF NOT EXISTS (SELECT 1 FROM pg_views WHERE schemaname = 'SYSCAT' AND viewname = 'COLIDENTATTRIBUTES') THEN
    CREATE VIEW "SYSCAT"."COLIDENTATTRIBUTES" AS
      SELECT n.nspname::varchar(128) AS "TABSCHEMA", c.relname::varchar(128) AS "TABNAME", a.attname::varchar(128) AS "COLNAME",
             s.seqstart::numeric(31,0) AS "START", s.seqincrement::numeric(31,0) AS "INCREMENT",
             s.seqmin::numeric(31,0) AS "MINVALUE", s.seqmax::numeric(31,0) AS "MAXVALUE",
             (CASE WHEN s.seqcycle THEN 'Y' ELSE 'N' END)::char(1) AS "CYCLE", (CASE WHEN s.seqcache > 1 THEN s.seqcache ELSE 0 END)::integer AS "CACHE",
             'N'::char(1) AS "ORDER",
             coalesce(ps.last_value + s.seqincrement, s.seqstart)::numeric(31,0) AS "NEXTCACHEFIRSTVALUE",
             s.seqrelid::integer AS "SEQID"
      FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace
      JOIN pg_attribute a ON a.attrelid = c.oid AND a.attnum > 0 AND NOT a.attisdropped AND a.attidentity <> ''
      JOIN pg_depend d ON d.refobjid = c.oid AND d.refobjsubid = a.attnum AND d.classid = 'pg_class'::regclass AND d.deptype = 'i'
      JOIN pg_sequence s ON s.seqrelid = d.objid
      JOIN pg_class sc ON sc.oid = s.seqrelid JOIN pg_namespace sn ON sn.oid = sc.relnamespace
      LEFT JOIN pg_sequences ps ON ps.schemaname = sn.nspname AND ps.sequencename = sc.relname;
    GRANT SELECT ON "SYSCAT"."COLIDENTATTRIBUTES" TO PUBLIC;
  END IF;
EXCEPTION WHEN duplicate_table OR duplicate_object OR unique_violation OR insufficient_privilege THEN NULL;
END$$;
)SQL";

// What depends on a table: the foreign keys that reference it and the views
// (not the stand-in's aliases, which are views underneath) that read it.
const char* kDependents = R"SQL(
DO $$BEGIN
  IF NOT EXISTS (SELECT 1 FROM pg_attribute WHERE attrelid = to_regclass('"SYSCAT"."REFERENCES"') AND attname = 'DELETERULE') THEN
    CREATE OR REPLACE VIEW "SYSCAT"."REFERENCES" AS
      SELECT k.conname::varchar(128) AS "CONSTNAME", n.nspname::varchar(128) AS "TABSCHEMA", c.relname::varchar(128) AS "TABNAME",
             rn.nspname::varchar(128) AS "REFTABSCHEMA", r.relname::varchar(128) AS "REFTABNAME",
             (CASE k.confdeltype WHEN 'c' THEN 'C' WHEN 'n' THEN 'N' WHEN 'd' THEN 'N' WHEN 'r' THEN 'R' ELSE 'A' END)::char(1) AS "DELETERULE"
      FROM pg_constraint k JOIN pg_class c ON c.oid = k.conrelid JOIN pg_namespace n ON n.oid = c.relnamespace
      JOIN pg_class r ON r.oid = k.confrelid JOIN pg_namespace rn ON rn.oid = r.relnamespace
      WHERE k.contype = 'f';
    CREATE OR REPLACE VIEW "SYSCAT"."TABDEP" AS
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

// What else relies on a table, and what DROP and RENAME do to it as DB2
// does: a DROP keeps the views that read the table, inoperative (their text
// stays in SYSCAT.VIEWS with VALID 'X', selecting from one fails with
// SQL0575N) until CREATE VIEW replaces or DROP VIEW removes them; a RENAME
// is refused (SQL0750N) for a table in a referential constraint, or that
// views, triggers or SQL functions use. Triggers made by CREATE TRIGGER
// record the tables their statements use, as SYSCAT.TRIGDEP shows them.
const char* kDependencies = R"SQL(
DO $$BEGIN
  IF NOT EXISTS (SELECT 1 FROM pg_proc p JOIN pg_namespace n ON n.oid = p.pronamespace
                 WHERE n.nspname = 'db2standin' AND p.proname = 'drop_table') THEN
    CREATE TABLE IF NOT EXISTS db2standin.inoperative_views (schema text, name text, text text, PRIMARY KEY (schema, name));
    CREATE TABLE IF NOT EXISTS db2standin.trigger_uses (schema text, name text, bschema text, bname text);
    GRANT ALL ON db2standin.inoperative_views, db2standin.trigger_uses TO PUBLIC;
    CREATE OR REPLACE FUNCTION db2standin.inoperative_view(s text, n text) RETURNS SETOF integer LANGUAGE plpgsql AS $f$
    BEGIN
      RAISE EXCEPTION '%.%', s, n USING ERRCODE = '51024';
    END $f$;
    -- The views reading a table, directly or through other views (not the aliases).
    CREATE OR REPLACE FUNCTION db2standin.views_reading(t oid) RETURNS TABLE (v oid) LANGUAGE sql STABLE AS $f$
      WITH RECURSIVE reading(v) AS (
        SELECT w.ev_class FROM pg_depend d JOIN pg_rewrite w ON w.oid = d.objid
        WHERE d.classid = 'pg_rewrite'::regclass AND d.refclassid = 'pg_class'::regclass AND d.refobjid = t
          AND w.ev_class <> t
        UNION
        SELECT w.ev_class FROM reading r JOIN pg_depend d ON d.refobjid = r.v JOIN pg_rewrite w ON w.oid = d.objid
        WHERE d.classid = 'pg_rewrite'::regclass AND d.refclassid = 'pg_class'::regclass AND w.ev_class <> r.v)
      SELECT r.v FROM reading r JOIN pg_class c ON c.oid = r.v JOIN pg_namespace n ON n.oid = c.relnamespace
      WHERE c.relkind = 'v' AND NOT EXISTS (SELECT 1 FROM db2standin.aliases a WHERE a.schema = n.nspname AND a.name = c.relname)
    $f$;
    CREATE OR REPLACE FUNCTION db2standin.drop_table(s text, n text) RETURNS void LANGUAGE plpgsql AS $f$
    DECLARE
      kept record;
      views text[][] := '{}';
    BEGIN
      FOR kept IN SELECT vn.nspname AS schema, c.relname AS name, pg_get_viewdef(c.oid) AS text
                  FROM db2standin.views_reading(to_regclass(format('%I.%I', s, n))) r
                  JOIN pg_class c ON c.oid = r.v JOIN pg_namespace vn ON vn.oid = c.relnamespace LOOP
        views := views || ARRAY[[kept.schema, kept.name, kept.text]];
      END LOOP;
      EXECUTE format('DROP TABLE %I.%I CASCADE', s, n);
      FOR i IN 1 .. coalesce(array_length(views, 1), 0) LOOP
        INSERT INTO db2standin.inoperative_views VALUES (views[i][1], views[i][2], views[i][3])
          ON CONFLICT (schema, name) DO UPDATE SET text = EXCLUDED.text;
        EXECUTE format('CREATE VIEW %I.%I AS SELECT * FROM db2standin.inoperative_view(%L, %L)',
                       views[i][1], views[i][2], views[i][1], views[i][2]);
      END LOOP;
    END $f$;
    -- A view of that name that is inoperative makes way for a new one.
    CREATE OR REPLACE FUNCTION db2standin.replace_inoperative_view(s text, n text) RETURNS void LANGUAGE plpgsql AS $f$
    BEGIN
      IF EXISTS (SELECT 1 FROM db2standin.inoperative_views WHERE schema = s AND name = n) THEN
        EXECUTE format('DROP VIEW IF EXISTS %I.%I', s, n);
        DELETE FROM db2standin.inoperative_views WHERE schema = s AND name = n;
      END IF;
    END $f$;
    CREATE OR REPLACE FUNCTION db2standin.rename_table(s text, n text, target text) RETURNS void LANGUAGE plpgsql AS $f$
    DECLARE
      t oid := to_regclass(format('%I.%I', s, n));
    BEGIN
      IF t IS NOT NULL AND (EXISTS (SELECT 1 FROM pg_constraint WHERE contype = 'f' AND (conrelid = t OR confrelid = t))
          OR EXISTS (SELECT 1 FROM db2standin.views_reading(t))
          OR EXISTS (SELECT 1 FROM pg_trigger WHERE tgrelid = t AND NOT tgisinternal
                     AND tgname NOT LIKE 'db2standin\_%')
          OR EXISTS (SELECT 1 FROM "SYSCAT"."TRIGDEP" WHERE "BSCHEMA" = s AND "BNAME" = n)
          OR EXISTS (SELECT 1 FROM pg_depend WHERE classid = 'pg_proc'::regclass AND refclassid = 'pg_class'::regclass
                     AND refobjid = t)) THEN
        RAISE EXCEPTION '%.%', s, n USING ERRCODE = '42986';
      END IF;
      EXECUTE format('ALTER TABLE %I.%I RENAME TO %I', s, n, target);
    END $f$;
    CREATE OR REPLACE VIEW "SYSCAT"."VIEWS" AS
      SELECT n.nspname::varchar(128) AS "VIEWSCHEMA", c.relname::varchar(128) AS "VIEWNAME",
             (CASE WHEN i.name IS NULL THEN 'Y' ELSE 'X' END)::char(1) AS "VALID",
             coalesce(i.text, pg_get_viewdef(c.oid))::text AS "TEXT"
      FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace
      LEFT JOIN db2standin.inoperative_views i ON i.schema = n.nspname AND i.name = c.relname
      WHERE c.relkind = 'v' AND n.nspname NOT LIKE 'pg\_%' AND n.nspname NOT IN ('information_schema', 'db2standin')
        AND n.nspname NOT IN ('SYSCAT', 'SYSIBM', 'SYSIBMADM')
        AND NOT EXISTS (SELECT 1 FROM db2standin.aliases a WHERE a.schema = n.nspname AND a.name = c.relname);
    CREATE OR REPLACE VIEW "SYSCAT"."TRIGGERS" AS
      SELECT n.nspname::varchar(128) AS "TRIGSCHEMA", t.tgname::varchar(128) AS "TRIGNAME",
             n.nspname::varchar(128) AS "TABSCHEMA", c.relname::varchar(128) AS "TABNAME",
             (CASE WHEN t.tgtype & 64 <> 0 THEN 'I' WHEN t.tgtype & 2 <> 0 THEN 'B' ELSE 'A' END)::char(1) AS "TRIGTIME",
             (CASE WHEN t.tgtype & 4 <> 0 THEN 'I' WHEN t.tgtype & 8 <> 0 THEN 'D' ELSE 'U' END)::char(1) AS "TRIGEVENT",
             (CASE WHEN t.tgtype & 1 <> 0 THEN 'R' ELSE 'S' END)::char(1) AS "GRANULARITY",
             'Y'::char(1) AS "VALID"
      FROM pg_trigger t JOIN pg_class c ON c.oid = t.tgrelid JOIN pg_namespace n ON n.oid = c.relnamespace
      -- The stand-in's own triggers (a row change timestamp's) are part of their column.
      WHERE NOT t.tgisinternal AND t.tgname NOT LIKE 'db2standin\_%';
    -- A trigger depends on its table and on every table its statements use.
    CREATE OR REPLACE VIEW "SYSCAT"."TRIGDEP" AS
      SELECT "TRIGSCHEMA", "TRIGNAME", 'T'::char(1) AS "BTYPE", "TABSCHEMA"::varchar(128) AS "BSCHEMA",
             "TABNAME"::varchar(128) AS "BNAME"
      FROM "SYSCAT"."TRIGGERS"
      UNION
      SELECT g."TRIGSCHEMA", g."TRIGNAME", 'T'::char(1), u.bschema::varchar(128), u.bname::varchar(128)
      FROM db2standin.trigger_uses u JOIN "SYSCAT"."TRIGGERS" g ON g."TRIGSCHEMA" = u.schema AND g."TRIGNAME" = u.name;
    CREATE OR REPLACE VIEW "SYSCAT"."ROUTINES" AS
      SELECT n.nspname::varchar(128) AS "ROUTINESCHEMA", p.proname::varchar(128) AS "ROUTINENAME",
             (p.proname || '_' || p.oid)::varchar(128) AS "SPECIFICNAME",
             (CASE p.prokind WHEN 'p' THEN 'P' ELSE 'F' END)::char(1) AS "ROUTINETYPE", 'Y'::char(1) AS "VALID"
      FROM pg_proc p JOIN pg_namespace n ON n.oid = p.pronamespace
      WHERE n.nspname NOT LIKE 'pg\_%' AND n.nspname NOT IN ('information_schema', 'db2standin')
        AND p.prorettype <> 'trigger'::regtype;
    CREATE OR REPLACE VIEW "SYSCAT"."ROUTINEDEP" AS
      SELECT DISTINCT n.nspname::varchar(128) AS "ROUTINESCHEMA", (p.proname || '_' || p.oid)::varchar(128) AS "SPECIFICNAME",
             (CASE c.relkind WHEN 'v' THEN 'V' ELSE 'T' END)::char(1) AS "BTYPE",
             cn.nspname::varchar(128) AS "BSCHEMA", c.relname::varchar(128) AS "BNAME"
      FROM pg_depend d JOIN pg_proc p ON p.oid = d.objid JOIN pg_namespace n ON n.oid = p.pronamespace
      JOIN pg_class c ON c.oid = d.refobjid JOIN pg_namespace cn ON cn.oid = c.relnamespace
      WHERE d.classid = 'pg_proc'::regclass AND d.refclassid = 'pg_class'::regclass AND c.relkind IN ('r', 'p', 'v');
    GRANT SELECT ON "SYSCAT"."VIEWS", "SYSCAT"."TRIGGERS", "SYSCAT"."TRIGDEP", "SYSCAT"."ROUTINES",
                    "SYSCAT"."ROUTINEDEP" TO PUBLIC;
  END IF;
EXCEPTION WHEN duplicate_table OR duplicate_object OR duplicate_function OR unique_violation OR insufficient_privilege THEN NULL;
END$$;
)SQL";

// Schemas, domains and catalog views every connection relies on. Racing
// connections may both try to create them; the loser ignores the error.
const char* kSetup = R"SQL(
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

}  // namespace

std::string CatalogSetupSql()
{
    return std::string(kSetup) + kTableStatistics + kTableSpaces + kColumns + kIdentities + kDependents
        + kDatabaseConfiguration + kDependencies;
}

}  // namespace db2standin
