-- Fills the empty tables of db/schema/mariadb.sql with ROWS stations rows
-- and one detail row each, as fill-sqlite.sql does (run.sh puts ROWS - 1 in; the
-- Sequence engine gives the numbers).
DROP INDEX IF EXISTS stations_dtstamp ON stations;
DROP INDEX IF EXISTS fixed_data_callsign_dtstamp ON fixed_data;
DROP INDEX IF EXISTS mobile_data_callsign_dtstamp ON mobile_data;
DROP INDEX IF EXISTS mobile_data_dtstamp ON mobile_data;
DROP INDEX IF EXISTS wx_data_callsign_dtstamp ON wx_data;
DROP INDEX IF EXISTS wx_data_dtstamp ON wx_data;
SET unique_checks = 0;
INSERT INTO stations (callsign, dtstamp, type, distance, lat, lon, heard_direct, radio_port, symbol, object_owner)
SELECT CASE seq % 20000 WHEN 1 THEN 'DL1ABC-9' WHEN 2 THEN 'DL2WX' ELSE CONCAT('S', seq % 20000) END,
       TIMESTAMP '2024-01-01 00:00:00' + INTERVAL (seq * (30000000 DIV (@ROWS_MINUS_ONE@ + 1))) SECOND,
       CASE WHEN seq % 20000 = 1 THEN 2 WHEN seq % 20000 = 2 THEN 1 WHEN seq % 10 < 6 THEN 0 WHEN seq % 10 < 9 THEN 2 ELSE 1 END,
       (seq % 500) * 0.5, 3000 + (seq % 20000) * 0.01 + (seq % 7) * 0.1, 500 + (seq % 20000) * 0.02 - (seq % 5) * 0.1,
       seq % 2, 0, '/-', ''
FROM seq_0_to_@ROWS_MINUS_ONE@;
INSERT INTO fixed_data (fk_callsign, fk_dtstamp, status, comment, path)
SELECT callsign, dtstamp, '', 'bench comment', 'APRS,WIDE2-1' FROM stations WHERE type = 0 ORDER BY id;
INSERT INTO mobile_data (fk_callsign, fk_dtstamp, height, speed, path, course)
SELECT callsign, dtstamp, 100, 50, 'APRS,WIDE1-1', 90 FROM stations WHERE type = 2 ORDER BY id;
INSERT INTO wx_data (fk_callsign, fk_dtstamp, pressure, dewpoint, humidity, rain_24hours, rain_last_hour, rain_today,
                     temp, wind_chill, wind_direction, wind_gust, wind_speed)
SELECT callsign, dtstamp, 1013, 10, 60, 0, 0, 0, 15, 15, 180, 5, 3 FROM stations WHERE type = 1 ORDER BY id;
