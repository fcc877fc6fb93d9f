# Shared by the bench scripts (sourced): the work folder, the two servers'
# command-line clients and the bench's table of N rows on MySQL. Needs build,
# the test servers' variables (scripts/test-services env) and nothing else.
work=$build/bench-data
mkdir -p "$work"
chmod 755 "$work"

mysql_client() {
  mariadb --no-defaults --protocol=socket -S "$TABLEHOP_TEST_MYSQL_SOCKET" -u"$TABLEHOP_TEST_MYSQL_USER" \
    -p"$TABLEHOP_TEST_MYSQL_PASSWORD" --local-infile=1 "$TABLEHOP_TEST_MYSQL_DATABASE" "$@"
}
pg_bin=$(ls -d /usr/lib/postgresql/*/bin | sort -V | tail -n 1)
pg_db=$(printf '%s' "$TABLEHOP_TEST_DB2_DATABASE" | tr '[:upper:]' '[:lower:]')
pg_client() {
  local cmd=("$pg_bin/psql" -X -q -v ON_ERROR_STOP=1 -h "$TABLEHOP_TEST_PG_SOCKET_DIR" -p "$TABLEHOP_TEST_DB2_PORT" -U postgres -d "$pg_db")
  if [ "$(id -u)" -eq 0 ]; then runuser -u postgres -- "${cmd[@]}" "$@"; else "${cmd[@]}" "$@"; fi
}

# N rows of integers, a decimal, a timestamp, a short and a 200-byte text and
# some Nulls, as the MySQL table bench_rows.
make_mysql_rows() {
  local n=$1
  echo "making $n rows" >&2
  mysql_client <<SQL
DROP TABLE IF EXISTS bench_rows;
CREATE TABLE bench_rows(id BIGINT PRIMARY KEY, qty INT, ref BIGINT, amount DECIMAL(12,2), at DATETIME(6),
  code VARCHAR(20), note VARCHAR(200)) CHARACTER SET utf8mb4;
INSERT INTO bench_rows SELECT seq, IF(seq % 7 = 0, NULL, seq % 100000), seq * 9973,
  IF(seq % 11 = 0, NULL, (seq % 100000) / 100),
  TIMESTAMP'2024-01-01 00:00:00' + INTERVAL seq SECOND + INTERVAL (seq % 1000000) MICROSECOND,
  CONCAT('C', seq % 5000), IF(seq % 10 = 0, NULL, RPAD(CONCAT('row ', seq, ' '), 200, 'abcdefghij'))
  FROM seq_1_to_$n;
SQL
}
