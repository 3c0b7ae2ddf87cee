-- Fills the empty tables of db/schema/sqlite.sql with ROWS stations rows and
-- one detail row each (see run.sh): 20,000 stations, beacons spread evenly over
-- 347 days from 2024-01-01, DL1ABC-9 mobile and DL2WX weather among them.
-- The indexes are dropped first and made again by the schema script.
DROP INDEX IF EXISTS stations_callsign_dtstamp;
DROP INDEX IF EXISTS stations_dtstamp;
DROP INDEX IF EXISTS fixed_data_callsign_dtstamp;
DROP INDEX IF EXISTS mobile_data_callsign_dtstamp;
DROP INDEX IF EXISTS mobile_data_dtstamp;
DROP INDEX IF EXISTS wx_data_callsign_dtstamp;
DROP INDEX IF EXISTS wx_data_dtstamp;
PRAGMA journal_mode = OFF;
PRAGMA synchronous = OFF;
BEGIN;
WITH RECURSIVE seq(n) AS (SELECT 0 UNION ALL SELECT n + 1 FROM seq WHERE n < :ROWS - 1)
INSERT INTO stations (callsign, dtstamp, type, distance, lat, lon, heard_direct, radio_port, symbol, object_owner)
SELECT CASE n % 20000 WHEN 1 THEN 'DL1ABC-9' WHEN 2 THEN 'DL2WX' ELSE 'S' || (n % 20000) END,
       datetime('2024-01-01 00:00:00', '+' || (n * (30000000 / :ROWS)) || ' seconds'),
       CASE WHEN n % 20000 = 1 THEN 2 WHEN n % 20000 = 2 THEN 1 WHEN n % 10 < 6 THEN 0 WHEN n % 10 < 9 THEN 2 ELSE 1 END,
       (n % 500) * 0.5, 3000 + (n % 20000) * 0.01 + (n % 7) * 0.1, 500 + (n % 20000) * 0.02 - (n % 5) * 0.1,
       n % 2, 0, '/-', ''
FROM seq;
INSERT INTO fixed_data (fk_callsign, fk_dtstamp, status, comment, path)
SELECT callsign, dtstamp, '', 'bench comment', 'APRS,WIDE2-1' FROM stations WHERE type = 0 ORDER BY rowid;
INSERT INTO mobile_data (fk_callsign, fk_dtstamp, height, speed, path, course)
SELECT callsign, dtstamp, 100, 50, 'APRS,WIDE1-1', 90 FROM stations WHERE type = 2 ORDER BY rowid;
INSERT INTO wx_data (fk_callsign, fk_dtstamp, pressure, dewpoint, humidity, rain_24hours, rain_last_hour, rain_today,
                     temp, wind_chill, wind_direction, wind_gust, wind_speed)
SELECT callsign, dtstamp, 1013, 10, 60, 0, 0, 0, 15, 15, 180, 5, 3 FROM stations WHERE type = 1 ORDER BY rowid;
COMMIT;
