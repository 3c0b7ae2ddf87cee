-- Keldan Bridge tables for PostgreSQL. Safe to run again.
-- The bridge writes numbers into some numeric columns as text literals
-- ('2', '12.5'); PostgreSQL casts such untyped literals to the column type.
-- DOUBLE PRECISION, not REAL: REAL guarantees only six decimal digits.
-- No foreign keys: a detail row may arrive without its stations row.
-- Callsigns: 9 characters for a callsign with SSID or an object name,
-- with room for odd third-party calls.

CREATE TABLE IF NOT EXISTS stations (
  callsign VARCHAR(32) NOT NULL,
  dtstamp TIMESTAMP NOT NULL,
  type SMALLINT,
  distance DOUBLE PRECISION,
  lat DOUBLE PRECISION,
  lon DOUBLE PRECISION,
  heard_direct SMALLINT,
  radio_port INTEGER,
  symbol TEXT,
  object_owner TEXT
);

CREATE INDEX IF NOT EXISTS stations_callsign_dtstamp ON stations (callsign, dtstamp);

CREATE TABLE IF NOT EXISTS fixed_data (
  fk_callsign VARCHAR(32) NOT NULL,
  fk_dtstamp TIMESTAMP NOT NULL,
  status TEXT,
  comment TEXT,
  path TEXT
);

CREATE TABLE IF NOT EXISTS mobile_data (
  fk_callsign VARCHAR(32) NOT NULL,
  fk_dtstamp TIMESTAMP NOT NULL,
  height DOUBLE PRECISION,
  speed DOUBLE PRECISION,
  path TEXT,
  course INTEGER
);

CREATE TABLE IF NOT EXISTS wx_data (
  fk_callsign VARCHAR(32) NOT NULL,
  fk_dtstamp TIMESTAMP NOT NULL,
  pressure DOUBLE PRECISION,
  dewpoint DOUBLE PRECISION,
  humidity DOUBLE PRECISION,
  rain_24hours DOUBLE PRECISION,
  rain_last_hour DOUBLE PRECISION,
  rain_today DOUBLE PRECISION,
  temp DOUBLE PRECISION,
  wind_chill DOUBLE PRECISION,
  wind_direction DOUBLE PRECISION,
  wind_gust DOUBLE PRECISION,
  wind_speed DOUBLE PRECISION
);
