-- Keldan Bridge tables for SQLite. Safe to run again.
-- The bridge writes numbers into some numeric columns as text literals
-- ('2', '12.5'), SQLite's column affinity turns them into numbers.
-- No foreign keys: a detail row may arrive without its stations row.
-- Callsigns: 9 characters for a callsign with SSID or an object name,
-- with room for odd third-party calls.
-- SQLite has no column comments: the comment after each column says its unit,
-- and SQLite keeps it in the table's definition (.schema stations).
--
-- Time base: dtstamp and fk_dtstamp are the host's time of reception, to the
-- second, without a zone, as text 'YYYY-MM-DD HH:MM:SS': local time when the
-- host's Time Zone setting is local (the default), UTC when it is UTC. In
-- local time an hour repeats when daylight saving ends.
--
-- One beacon is one stations row plus, by its type, one row of fixed_data,
-- mobile_data or wx_data with the same callsign and time. SQLite's rowid
-- numbers the rows in the order they were written, which is what tells apart
-- two beacons of one station in the same second (see the views at the end
-- and docs/queries.md).

-- One row per beacon the bridge recorded
CREATE TABLE IF NOT EXISTS stations (
  callsign VARCHAR(32) NOT NULL,         -- Source callsign with SSID, or the name of an object or item
  dtstamp DATETIME NOT NULL,             -- Time of reception to the second, no zone: local time, or UTC when the host setting Time Zone is UTC
  type SMALLINT,                         -- Station kind: 0 fixed, 1 weather, 2 mobile (which detail table has its row)
  distance DOUBLE PRECISION,             -- Kilometres from your own position (host settings Latitude, Longitude) (great circle), 0 when that is not set
  lat DOUBLE PRECISION,                  -- Latitude in minutes of arc (degrees x 60), north positive: divide by 60 for degrees
  lon DOUBLE PRECISION,                  -- Longitude in minutes of arc (degrees x 60), east positive: divide by 60 for degrees
  heard_direct SMALLINT,                 -- 1 heard direct, 0 via a digipeater or an APRS-IS server
  radio_port INTEGER,                    -- KISS port + 1 for a radio frame, 0 for APRS-IS and logs
  symbol TEXT,                           -- APRS symbol: table character then code character
  object_owner TEXT                      -- For an object or item the station that sent it, otherwise empty
);

-- Detail of the beacon of a fixed station (stations.type 0)
CREATE TABLE IF NOT EXISTS fixed_data (
  fk_callsign VARCHAR(32) NOT NULL,
  fk_dtstamp DATETIME NOT NULL,          -- Same time as the stations row of the beacon
  status TEXT,                           -- Latest status text of the station heard before the beacon
  comment TEXT,                          -- Comment of the beacon, apostrophes removed
  path TEXT                              -- Destination and path as received (APRS-IS keeps its q construct)
);

-- Detail of the beacon of a mobile station (stations.type 2)
CREATE TABLE IF NOT EXISTS mobile_data (
  fk_callsign VARCHAR(32) NOT NULL,
  fk_dtstamp DATETIME NOT NULL,          -- Same time as the stations row of the beacon
  height DOUBLE PRECISION,               -- Altitude in metres, 0 when the packet has none
  speed DOUBLE PRECISION,                -- Speed in km/h, 0 when the packet has none
  path TEXT,                             -- Destination and path as received (APRS-IS keeps its q construct)
  course INTEGER                         -- Course in degrees, 0 when the packet has none
);

-- Detail of the beacon of a weather station (stations.type 1): its latest readings, 0 for a reading it lacks
CREATE TABLE IF NOT EXISTS wx_data (
  fk_callsign VARCHAR(32) NOT NULL,
  fk_dtstamp DATETIME NOT NULL,          -- Same time as the stations row of the beacon
  pressure DOUBLE PRECISION,             -- Air pressure in hPa
  dewpoint DOUBLE PRECISION,             -- Dew point in degrees C, from temperature and humidity
  humidity DOUBLE PRECISION,             -- Relative humidity in percent
  rain_24hours DOUBLE PRECISION,         -- Rain in mm in the last 24 hours
  rain_last_hour DOUBLE PRECISION,       -- Rain in mm in the last hour
  rain_today DOUBLE PRECISION,           -- Rain in mm since midnight
  temp DOUBLE PRECISION,                 -- Temperature in degrees C
  wind_chill DOUBLE PRECISION,           -- Wind chill in degrees C
  wind_direction DOUBLE PRECISION,       -- Wind direction in degrees
  wind_gust DOUBLE PRECISION,            -- Wind gust in m/s
  wind_speed DOUBLE PRECISION            -- Wind speed in m/s
);

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
-- of that kind (rowid gives that order), and beacon_seq says which of the second's
-- beacons it is. The counts behind that are index lookups, so a condition on
-- callsign or time keeps a query on a view as quick as on its table.

CREATE VIEW IF NOT EXISTS station_positions AS
SELECT s.callsign, s.dtstamp, s.type, s.lat / 60.0 AS lat_deg, s.lon / 60.0 AS lon_deg, s.symbol, s.object_owner,
       s.heard_direct, s.radio_port, s.distance, strftime('%Y-%m-%d %H:00', s.dtstamp) AS heard_hour,
       1 + (SELECT COUNT(*) FROM stations t
            WHERE t.callsign = s.callsign AND t.dtstamp = s.dtstamp AND t.type = s.type AND t.rowid < s.rowid)
         AS beacon_seq
FROM stations s;

-- Each station's latest time comes from the (callsign, dtstamp) index, and of
-- several beacons in that second the one written last.
CREATE VIEW IF NOT EXISTS latest_positions AS
SELECT s.callsign, s.dtstamp, s.type, s.lat / 60.0 AS lat_deg, s.lon / 60.0 AS lon_deg, s.symbol, s.object_owner,
       s.heard_direct, s.radio_port, s.distance
FROM (SELECT callsign, MAX(dtstamp) AS dtstamp FROM stations GROUP BY callsign) latest
JOIN stations s
  ON s.rowid = (SELECT MAX(t.rowid) FROM stations t WHERE t.callsign = latest.callsign AND t.dtstamp = latest.dtstamp);

CREATE VIEW IF NOT EXISTS fixed_beacons AS
SELECT d.fk_callsign AS callsign, d.fk_dtstamp AS dtstamp,
       1 + (SELECT COUNT(*) FROM fixed_data e
            WHERE e.fk_callsign = d.fk_callsign AND e.fk_dtstamp = d.fk_dtstamp AND e.rowid < d.rowid) AS beacon_seq,
       s.lat / 60.0 AS lat_deg, s.lon / 60.0 AS lon_deg, s.symbol, s.object_owner, s.heard_direct, s.radio_port,
       s.distance, d.status, d.comment, d.path
FROM fixed_data d
LEFT JOIN stations s
  ON s.callsign = d.fk_callsign AND s.dtstamp = d.fk_dtstamp AND s.type = 0
 AND (SELECT COUNT(*) FROM stations t
      WHERE t.callsign = s.callsign AND t.dtstamp = s.dtstamp AND t.type = 0 AND t.rowid < s.rowid)
   = (SELECT COUNT(*) FROM fixed_data e
      WHERE e.fk_callsign = d.fk_callsign AND e.fk_dtstamp = d.fk_dtstamp AND e.rowid < d.rowid);

CREATE VIEW IF NOT EXISTS mobile_beacons AS
SELECT d.fk_callsign AS callsign, d.fk_dtstamp AS dtstamp,
       1 + (SELECT COUNT(*) FROM mobile_data e
            WHERE e.fk_callsign = d.fk_callsign AND e.fk_dtstamp = d.fk_dtstamp AND e.rowid < d.rowid) AS beacon_seq,
       s.lat / 60.0 AS lat_deg, s.lon / 60.0 AS lon_deg, s.symbol, s.object_owner, s.heard_direct, s.radio_port,
       s.distance, d.height, d.speed, d.course, d.path
FROM mobile_data d
LEFT JOIN stations s
  ON s.callsign = d.fk_callsign AND s.dtstamp = d.fk_dtstamp AND s.type = 2
 AND (SELECT COUNT(*) FROM stations t
      WHERE t.callsign = s.callsign AND t.dtstamp = s.dtstamp AND t.type = 2 AND t.rowid < s.rowid)
   = (SELECT COUNT(*) FROM mobile_data e
      WHERE e.fk_callsign = d.fk_callsign AND e.fk_dtstamp = d.fk_dtstamp AND e.rowid < d.rowid);

CREATE VIEW IF NOT EXISTS wx_beacons AS
SELECT d.fk_callsign AS callsign, d.fk_dtstamp AS dtstamp,
       1 + (SELECT COUNT(*) FROM wx_data e
            WHERE e.fk_callsign = d.fk_callsign AND e.fk_dtstamp = d.fk_dtstamp AND e.rowid < d.rowid) AS beacon_seq,
       s.lat / 60.0 AS lat_deg, s.lon / 60.0 AS lon_deg, s.symbol, s.object_owner, s.heard_direct, s.radio_port,
       s.distance, d.temp, d.pressure, d.humidity, d.dewpoint, d.wind_direction, d.wind_speed, d.wind_gust, d.wind_chill, d.rain_last_hour, d.rain_24hours, d.rain_today
FROM wx_data d
LEFT JOIN stations s
  ON s.callsign = d.fk_callsign AND s.dtstamp = d.fk_dtstamp AND s.type = 1
 AND (SELECT COUNT(*) FROM stations t
      WHERE t.callsign = s.callsign AND t.dtstamp = s.dtstamp AND t.type = 1 AND t.rowid < s.rowid)
   = (SELECT COUNT(*) FROM wx_data e
      WHERE e.fk_callsign = d.fk_callsign AND e.fk_dtstamp = d.fk_dtstamp AND e.rowid < d.rowid);
