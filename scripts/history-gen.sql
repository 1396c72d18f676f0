-- Fills a history database with one-second rows for loops 0 and 1 from
-- :start for :days days, and the minute and hour rollups the program keeps.
-- Run through scripts/history-gen.sh, which sets the three parameters.
PRAGMA journal_mode = OFF;
PRAGMA synchronous = OFF;
PRAGMA cache_size = -262144;
CREATE TABLE IF NOT EXISTS sec (loop INTEGER NOT NULL, t INTEGER NOT NULL,
  meas_avg REAL, meas_min REAL, meas_max REAL, sp_avg REAL, sp_min REAL, sp_max REAL,
  out_avg REAL, out_min REAL, out_max REAL, fw_avg REAL, fw_min REAL, fw_max REAL,
  mode INTEGER, alarm INTEGER, PRIMARY KEY (loop, t)) WITHOUT ROWID;
CREATE TABLE IF NOT EXISTS min1 (loop INTEGER NOT NULL, t INTEGER NOT NULL, n INTEGER NOT NULL,
  meas_sum REAL, meas_min REAL, meas_max REAL, sp_sum REAL, sp_min REAL, sp_max REAL,
  out_sum REAL, out_min REAL, out_max REAL, fw_sum REAL, fw_min REAL, fw_max REAL,
  PRIMARY KEY (loop, t)) WITHOUT ROWID;
CREATE TABLE IF NOT EXISTS hour1 (loop INTEGER NOT NULL, t INTEGER NOT NULL, n INTEGER NOT NULL,
  meas_sum REAL, meas_min REAL, meas_max REAL, sp_sum REAL, sp_min REAL, sp_max REAL,
  out_sum REAL, out_min REAL, out_max REAL, fw_sum REAL, fw_min REAL, fw_max REAL,
  PRIMARY KEY (loop, t)) WITHOUT ROWID;
CREATE TABLE IF NOT EXISTS events (t INTEGER NOT NULL, loop INTEGER NOT NULL, kind TEXT NOT NULL,
  text TEXT NOT NULL);
CREATE INDEX IF NOT EXISTS events_t ON events (t);
CREATE TABLE IF NOT EXISTS burner (t INTEGER NOT NULL, row TEXT NOT NULL);
CREATE INDEX IF NOT EXISTS burner_t ON burner (t);
PRAGMA user_version = 1;

BEGIN;
-- A daily swing of the measurement around the setpoint, with noise; the
-- output follows the error. Values are not whole numbers, as real ones.
-- The cross join keeps the loop outermost, so rows arrive in key order.
WITH RECURSIVE s(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM s WHERE i + 1 < :days * 86400)
INSERT INTO sec
SELECT loop, :start + i,
  m, m - 0.37, m + 0.41,
  sp, sp, sp,
  o, o - 1.13, o + 0.87,
  0.5 * m, 0.5 * m - 0.2, 0.5 * m + 0.2,
  1, 0
FROM (SELECT l.loop, i,
        60.0 + 12.5 * sin(i / 13751.0 + l.loop) + ((i * 7919 + l.loop * 104729) % 1000) / 997.0 AS m,
        65.5 + 5 * l.loop AS sp,
        45.0 + 20.0 * cos(i / 13751.0 + l.loop) + ((i * 4493) % 100) / 101.0 AS o
      FROM (SELECT 0 AS loop UNION ALL SELECT 1) AS l CROSS JOIN s);
INSERT INTO min1 SELECT loop, t / 60 * 60, count(*),
  sum(meas_avg), min(meas_min), max(meas_max), sum(sp_avg), min(sp_min), max(sp_max),
  sum(out_avg), min(out_min), max(out_max), sum(fw_avg), min(fw_min), max(fw_max)
FROM sec GROUP BY loop, t / 60;
INSERT INTO hour1 SELECT loop, t / 3600 * 3600, sum(n),
  sum(meas_sum), min(meas_min), max(meas_max), sum(sp_sum), min(sp_min), max(sp_max),
  sum(out_sum), min(out_min), max(out_max), sum(fw_sum), min(fw_min), max(fw_max)
FROM min1 GROUP BY loop, t / 3600;
-- A send every day at noon on loop 0, for the marks.
WITH RECURSIVE d(k) AS (SELECT 0 UNION ALL SELECT k + 1 FROM d WHERE k + 1 < :days)
INSERT INTO events SELECT :start + k * 86400 + 43200, 0, 'send', 'K 1.2 -> 1.3' FROM d;
COMMIT;
PRAGMA journal_mode = WAL;
