-- Keldan Bridge tables for MariaDB (and MySQL). Safe to run again, also on
-- tables made by an older version of this script: it adds what they lack.
-- The bridge writes numbers into some numeric columns as text literals
-- ('2', '12.5'), MariaDB converts them, in its default strict mode too:
-- the integer columns only ever receive whole numbers.
-- utf8mb4, so that any character of a comment fits.
-- No foreign keys: a detail row may arrive without its stations row.
-- Callsigns: 9 characters for a callsign with SSID or an object name,
-- with room for odd third-party calls.
--
-- Time base: dtstamp and fk_dtstamp are the host's time of reception, to the
-- second, without a zone: local time when the host's Time Zone setting is
-- local (the default), UTC when it is UTC. In local time an hour repeats when
-- daylight saving ends.
--
-- One beacon is one stations row plus, by its type, one row of fixed_data,
-- mobile_data or wx_data with the same callsign and time. The id columns are
-- not written by the bridge: they number the rows in the order they were
-- written, which is what tells apart two beacons of one station in the same
-- second (see the views at the end and docs/queries.md). Each column's unit
-- is in its COMMENT (SHOW FULL COLUMNS FROM stations).

CREATE TABLE IF NOT EXISTS stations (
  callsign VARCHAR(32) NOT NULL COMMENT 'Source callsign with SSID, or the name of an object or item',
  dtstamp DATETIME NOT NULL COMMENT 'Time of reception to the second, no zone: local time, or UTC when the host setting Time Zone is UTC',
  type SMALLINT COMMENT 'Station kind: 0 fixed, 1 weather, 2 mobile (which detail table has its row)',
  distance DOUBLE PRECISION COMMENT 'Kilometres from your own position (host settings Latitude, Longitude) (great circle), 0 when that is not set',
  lat DOUBLE PRECISION COMMENT 'Latitude in minutes of arc (degrees x 60), north positive: divide by 60 for degrees',
  lon DOUBLE PRECISION COMMENT 'Longitude in minutes of arc (degrees x 60), east positive: divide by 60 for degrees',
  heard_direct SMALLINT COMMENT '1 heard direct, 0 via a digipeater or an APRS-IS server',
  radio_port INTEGER COMMENT 'KISS port + 1 for a radio frame, 0 for APRS-IS and logs',
  symbol TEXT COMMENT 'APRS symbol: table character then code character',
  object_owner TEXT COMMENT 'For an object or item the station that sent it, otherwise empty',
  id BIGINT NOT NULL AUTO_INCREMENT PRIMARY KEY COMMENT 'Row number in the order written, not written by the bridge',
  INDEX stations_callsign_dtstamp (callsign, dtstamp)
) CHARACTER SET utf8mb4 COMMENT 'One row per beacon the bridge recorded';

CREATE TABLE IF NOT EXISTS fixed_data (
  fk_callsign VARCHAR(32) NOT NULL,
  fk_dtstamp DATETIME NOT NULL COMMENT 'Same time as the stations row of the beacon',
  status TEXT COMMENT 'Latest status text of the station heard before the beacon',
  comment TEXT COMMENT 'Comment of the beacon, apostrophes removed',
  path TEXT COMMENT 'Destination and path as received (APRS-IS keeps its q construct)',
  id BIGINT NOT NULL AUTO_INCREMENT PRIMARY KEY
) CHARACTER SET utf8mb4 COMMENT 'Detail of the beacon of a fixed station (stations.type 0)';

CREATE TABLE IF NOT EXISTS mobile_data (
  fk_callsign VARCHAR(32) NOT NULL,
  fk_dtstamp DATETIME NOT NULL COMMENT 'Same time as the stations row of the beacon',
  height DOUBLE PRECISION COMMENT 'Altitude in metres, 0 when the packet has none',
  speed DOUBLE PRECISION COMMENT 'Speed in km/h, 0 when the packet has none',
  path TEXT COMMENT 'Destination and path as received (APRS-IS keeps its q construct)',
  course INTEGER COMMENT 'Course in degrees, 0 when the packet has none',
  id BIGINT NOT NULL AUTO_INCREMENT PRIMARY KEY
) CHARACTER SET utf8mb4 COMMENT 'Detail of the beacon of a mobile station (stations.type 2)';

CREATE TABLE IF NOT EXISTS wx_data (
  fk_callsign VARCHAR(32) NOT NULL,
  fk_dtstamp DATETIME NOT NULL COMMENT 'Same time as the stations row of the beacon',
  pressure DOUBLE PRECISION COMMENT 'Air pressure in hPa',
  dewpoint DOUBLE PRECISION COMMENT 'Dew point in degrees C, from temperature and humidity',
  humidity DOUBLE PRECISION COMMENT 'Relative humidity in percent',
  rain_24hours DOUBLE PRECISION COMMENT 'Rain in mm in the last 24 hours',
  rain_last_hour DOUBLE PRECISION COMMENT 'Rain in mm in the last hour',
  rain_today DOUBLE PRECISION COMMENT 'Rain in mm since midnight',
  temp DOUBLE PRECISION COMMENT 'Temperature in degrees C',
  wind_chill DOUBLE PRECISION COMMENT 'Wind chill in degrees C',
  wind_direction DOUBLE PRECISION COMMENT 'Wind direction in degrees',
  wind_gust DOUBLE PRECISION COMMENT 'Wind gust in m/s',
  wind_speed DOUBLE PRECISION COMMENT 'Wind speed in m/s',
  id BIGINT NOT NULL AUTO_INCREMENT PRIMARY KEY
) CHARACTER SET utf8mb4 COMMENT 'Detail of the beacon of a weather station (stations.type 1): its latest readings, 0 for a reading it lacks';

-- Tables of an older script get their row numbers, in the order the rows lie.
ALTER TABLE stations ADD COLUMN IF NOT EXISTS id BIGINT NOT NULL AUTO_INCREMENT PRIMARY KEY COMMENT 'Row number in the order written, not written by the bridge';
ALTER TABLE fixed_data ADD COLUMN IF NOT EXISTS id BIGINT NOT NULL AUTO_INCREMENT PRIMARY KEY COMMENT 'Row number in the order written, not written by the bridge';
ALTER TABLE mobile_data ADD COLUMN IF NOT EXISTS id BIGINT NOT NULL AUTO_INCREMENT PRIMARY KEY COMMENT 'Row number in the order written, not written by the bridge';
ALTER TABLE wx_data ADD COLUMN IF NOT EXISTS id BIGINT NOT NULL AUTO_INCREMENT PRIMARY KEY COMMENT 'Row number in the order written, not written by the bridge';

-- One station's history, and everything heard in a period.
CREATE INDEX IF NOT EXISTS stations_callsign_dtstamp ON stations (callsign, dtstamp);
CREATE INDEX IF NOT EXISTS stations_dtstamp ON stations (dtstamp);
-- A detail row's beacon, one station's track or weather, and a period.
CREATE INDEX IF NOT EXISTS fixed_data_callsign_dtstamp ON fixed_data (fk_callsign, fk_dtstamp);
CREATE INDEX IF NOT EXISTS mobile_data_callsign_dtstamp ON mobile_data (fk_callsign, fk_dtstamp);
CREATE INDEX IF NOT EXISTS mobile_data_dtstamp ON mobile_data (fk_dtstamp);
CREATE INDEX IF NOT EXISTS wx_data_callsign_dtstamp ON wx_data (fk_callsign, fk_dtstamp);
CREATE INDEX IF NOT EXISTS wx_data_dtstamp ON wx_data (fk_dtstamp);

-- Views for queries. Positions in decimal degrees (lat_deg, lon_deg),
-- heard_hour is the hour of reception as text, 'YYYY-MM-DD HH:00'.
-- A detail row belongs to the stations row of the same callsign, time and
-- kind. When a station sent several beacons in one second, the n-th detail
-- row of that second (in the order written) belongs to the n-th stations row
-- of that kind (id gives that order), and beacon_seq says which of the second's
-- beacons it is. The counts behind that are index lookups, so a condition on
-- callsign or time keeps a query on a view as quick as on its table.

CREATE OR REPLACE VIEW station_positions AS
SELECT s.callsign, s.dtstamp, s.type, s.lat / 60.0 AS lat_deg, s.lon / 60.0 AS lon_deg, s.symbol, s.object_owner,
       s.heard_direct, s.radio_port, s.distance, DATE_FORMAT(s.dtstamp, '%Y-%m-%d %H:00') AS heard_hour,
       1 + (SELECT COUNT(*) FROM stations t
            WHERE t.callsign = s.callsign AND t.dtstamp = s.dtstamp AND t.type = s.type AND t.id < s.id)
         AS beacon_seq
FROM stations s;

-- Each station's latest time comes from the (callsign, dtstamp) index, and of
-- several beacons in that second the one written last.
CREATE OR REPLACE VIEW latest_positions AS
SELECT s.callsign, s.dtstamp, s.type, s.lat / 60.0 AS lat_deg, s.lon / 60.0 AS lon_deg, s.symbol, s.object_owner,
       s.heard_direct, s.radio_port, s.distance
FROM (SELECT callsign, MAX(dtstamp) AS dtstamp FROM stations GROUP BY callsign) latest
JOIN stations s
  ON s.id = (SELECT MAX(t.id) FROM stations t WHERE t.callsign = latest.callsign AND t.dtstamp = latest.dtstamp);

CREATE OR REPLACE VIEW fixed_beacons AS
SELECT d.fk_callsign AS callsign, d.fk_dtstamp AS dtstamp,
       1 + (SELECT COUNT(*) FROM fixed_data e
            WHERE e.fk_callsign = d.fk_callsign AND e.fk_dtstamp = d.fk_dtstamp AND e.id < d.id) AS beacon_seq,
       s.lat / 60.0 AS lat_deg, s.lon / 60.0 AS lon_deg, s.symbol, s.object_owner, s.heard_direct, s.radio_port,
       s.distance, d.status, d.comment, d.path
FROM fixed_data d
LEFT JOIN stations s
  ON s.callsign = d.fk_callsign AND s.dtstamp = d.fk_dtstamp AND s.type = 0
 AND (SELECT COUNT(*) FROM stations t
      WHERE t.callsign = s.callsign AND t.dtstamp = s.dtstamp AND t.type = 0 AND t.id < s.id)
   = (SELECT COUNT(*) FROM fixed_data e
      WHERE e.fk_callsign = d.fk_callsign AND e.fk_dtstamp = d.fk_dtstamp AND e.id < d.id);

CREATE OR REPLACE VIEW mobile_beacons AS
SELECT d.fk_callsign AS callsign, d.fk_dtstamp AS dtstamp,
       1 + (SELECT COUNT(*) FROM mobile_data e
            WHERE e.fk_callsign = d.fk_callsign AND e.fk_dtstamp = d.fk_dtstamp AND e.id < d.id) AS beacon_seq,
       s.lat / 60.0 AS lat_deg, s.lon / 60.0 AS lon_deg, s.symbol, s.object_owner, s.heard_direct, s.radio_port,
       s.distance, d.height, d.speed, d.course, d.path
FROM mobile_data d
LEFT JOIN stations s
  ON s.callsign = d.fk_callsign AND s.dtstamp = d.fk_dtstamp AND s.type = 2
 AND (SELECT COUNT(*) FROM stations t
      WHERE t.callsign = s.callsign AND t.dtstamp = s.dtstamp AND t.type = 2 AND t.id < s.id)
   = (SELECT COUNT(*) FROM mobile_data e
      WHERE e.fk_callsign = d.fk_callsign AND e.fk_dtstamp = d.fk_dtstamp AND e.id < d.id);

CREATE OR REPLACE VIEW wx_beacons AS
SELECT d.fk_callsign AS callsign, d.fk_dtstamp AS dtstamp,
       1 + (SELECT COUNT(*) FROM wx_data e
            WHERE e.fk_callsign = d.fk_callsign AND e.fk_dtstamp = d.fk_dtstamp AND e.id < d.id) AS beacon_seq,
       s.lat / 60.0 AS lat_deg, s.lon / 60.0 AS lon_deg, s.symbol, s.object_owner, s.heard_direct, s.radio_port,
       s.distance, d.temp, d.pressure, d.humidity, d.dewpoint, d.wind_direction, d.wind_speed, d.wind_gust, d.wind_chill, d.rain_last_hour, d.rain_24hours, d.rain_today
FROM wx_data d
LEFT JOIN stations s
  ON s.callsign = d.fk_callsign AND s.dtstamp = d.fk_dtstamp AND s.type = 1
 AND (SELECT COUNT(*) FROM stations t
      WHERE t.callsign = s.callsign AND t.dtstamp = s.dtstamp AND t.type = 1 AND t.id < s.id)
   = (SELECT COUNT(*) FROM wx_data e
      WHERE e.fk_callsign = d.fk_callsign AND e.fk_dtstamp = d.fk_dtstamp AND e.id < d.id);
