-- Fills the empty tables of db/schema/postgresql.sql with :ROWS stations rows
-- and one detail row each, as fill-sqlite.sql does; run through psql -v ROWS=N.
DROP INDEX IF EXISTS stations_callsign_dtstamp, stations_dtstamp, fixed_data_callsign_dtstamp,
  mobile_data_callsign_dtstamp, mobile_data_dtstamp, wx_data_callsign_dtstamp, wx_data_dtstamp;
INSERT INTO stations (callsign, dtstamp, type, distance, lat, lon, heard_direct, radio_port, symbol, object_owner)
SELECT CASE n % 20000 WHEN 1 THEN 'DL1ABC-9' WHEN 2 THEN 'DL2WX' ELSE 'S' || (n % 20000) END,
       TIMESTAMP '2024-01-01 00:00:00' + n * (30000000 / :ROWS) * INTERVAL '1 second',
       CASE WHEN n % 20000 = 1 THEN 2 WHEN n % 20000 = 2 THEN 1 WHEN n % 10 < 6 THEN 0 WHEN n % 10 < 9 THEN 2 ELSE 1 END,
       (n % 500) * 0.5, 3000 + (n % 20000) * 0.01 + (n % 7) * 0.1, 500 + (n % 20000) * 0.02 - (n % 5) * 0.1,
       n % 2, 0, '/-', ''
FROM generate_series(0, :ROWS - 1) AS n;
INSERT INTO fixed_data (fk_callsign, fk_dtstamp, status, comment, path)
SELECT callsign, dtstamp, '', 'bench comment', 'APRS,WIDE2-1' FROM stations WHERE type = 0 ORDER BY id;
INSERT INTO mobile_data (fk_callsign, fk_dtstamp, height, speed, path, course)
SELECT callsign, dtstamp, 100, 50, 'APRS,WIDE1-1', 90 FROM stations WHERE type = 2 ORDER BY id;
INSERT INTO wx_data (fk_callsign, fk_dtstamp, pressure, dewpoint, humidity, rain_24hours, rain_last_hour, rain_today,
                     temp, wind_chill, wind_direction, wind_gust, wind_speed)
SELECT callsign, dtstamp, 1013, 10, 60, 0, 0, 0, 15, 15, 180, 5, 3 FROM stations WHERE type = 1 ORDER BY id;
