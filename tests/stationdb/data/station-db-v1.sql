-- A station database as the tables' first version left it: made by "station-db init", two
-- series made by "station-db series", three boards of line-7 numbered and two of them
-- recorded, in the statements that version sent.
CREATE SCHEMA IF NOT EXISTS vantix;
CREATE TABLE vantix.schema_version (version integer NOT NULL,
  created timestamptz NOT NULL DEFAULT now());
CREATE SEQUENCE vantix.series_ids;
CREATE TABLE vantix.series (name text PRIMARY KEY CHECK (name <> ''),
  numbers regclass NOT NULL UNIQUE, first_number bigint NOT NULL CHECK (first_number >= 0),
  serial_words smallint NOT NULL CHECK (serial_words IN (1, 2)),
  created timestamptz NOT NULL DEFAULT now());
CREATE TABLE vantix.serials (series text NOT NULL REFERENCES vantix.series (name),
  number bigint NOT NULL, run uuid NOT NULL UNIQUE, station text NOT NULL, board text,
  taken timestamptz NOT NULL DEFAULT now(), PRIMARY KEY (series, number));
CREATE TABLE vantix.runs (run uuid PRIMARY KEY, station text NOT NULL, host text NOT NULL,
  time timestamptz NOT NULL, command text NOT NULL, board text, serial bigint,
  exit_status integer NOT NULL, stored timestamptz NOT NULL DEFAULT now(),
  record jsonb NOT NULL);
CREATE INDEX runs_board ON vantix.runs (board);
CREATE INDEX runs_station_time ON vantix.runs (station, time);
CREATE INDEX runs_serial ON vantix.runs (serial);
INSERT INTO vantix.schema_version (version) VALUES (1);
SELECT nextval('vantix.series_ids');
CREATE SEQUENCE vantix.series_1 AS bigint MINVALUE 0 MAXVALUE 4294967295 NO CYCLE;
SELECT setval('vantix.series_1'::regclass, 1000, false);
INSERT INTO vantix.series (name, numbers, first_number, serial_words)
  VALUES ('line-7', 'vantix.series_1'::regclass, 1000, 2);
SELECT nextval('vantix.series_ids');
CREATE SEQUENCE vantix.series_2 AS bigint MINVALUE 0 MAXVALUE 65535 NO CYCLE;
SELECT setval('vantix.series_2'::regclass, 5, false);
INSERT INTO vantix.series (name, numbers, first_number, serial_words)
  VALUES ('line-9', 'vantix.series_2'::regclass, 5, 1);
INSERT INTO vantix.serials (series, number, run, station, board)
  SELECT s.name, nextval(s.numbers), (c->>'run')::uuid, c->>'station', c->>'board'
  FROM vantix.series AS s, (SELECT '{"run":"6f1c1d0e-3a52-4d8e-9a41-0c6a2e1d7b01","station":"S1","board":"B1"}'::jsonb AS c) AS claim
  WHERE s.name = 'line-7' ON CONFLICT (run) DO NOTHING RETURNING number;
INSERT INTO vantix.serials (series, number, run, station, board)
  SELECT s.name, nextval(s.numbers), (c->>'run')::uuid, c->>'station', c->>'board'
  FROM vantix.series AS s, (SELECT '{"run":"6f1c1d0e-3a52-4d8e-9a41-0c6a2e1d7b02","station":"S2","board":"B2"}'::jsonb AS c) AS claim
  WHERE s.name = 'line-7' ON CONFLICT (run) DO NOTHING RETURNING number;
INSERT INTO vantix.serials (series, number, run, station, board)
  SELECT s.name, nextval(s.numbers), (c->>'run')::uuid, c->>'station', c->>'board'
  FROM vantix.series AS s, (SELECT '{"run":"6f1c1d0e-3a52-4d8e-9a41-0c6a2e1d7b03","station":"S1","board":"B3"}'::jsonb AS c) AS claim
  WHERE s.name = 'line-7' ON CONFLICT (run) DO NOTHING RETURNING number;
INSERT INTO vantix.runs (run, station, host, time, command, board, serial, exit_status, record)
  SELECT (r->>'run')::uuid, r->>'station', r->>'host', (r->>'time')::timestamptz,
  r->>'command', r->>'board', (r->>'serial')::bigint, (r->>'exit')::integer, r
  FROM (SELECT '{"time":"2026-12-07T09:41:05.120Z","host":"h1","command":"write-verify","board":"B1","serial":1000,"serial_at":"PFLASH:0x7FF0","status":"Flash Write && Verify Completed - 7.79 sec","seconds":7.8,"exit":0,"station":"S1","run":"6f1c1d0e-3a52-4d8e-9a41-0c6a2e1d7b01"}'::jsonb AS r) AS given
  ON CONFLICT (run) DO NOTHING;
INSERT INTO vantix.runs (run, station, host, time, command, board, serial, exit_status, record)
  SELECT (r->>'run')::uuid, r->>'station', r->>'host', (r->>'time')::timestamptz,
  r->>'command', r->>'board', (r->>'serial')::bigint, (r->>'exit')::integer, r
  FROM (SELECT '{"time":"2026-12-07T09:41:15.500Z","host":"h2","command":"write-verify","board":"B2","serial":1001,"serial_at":"PFLASH:0x7FF0","status":"Verify Error","seconds":5.1,"exit":1,"station":"S2","run":"6f1c1d0e-3a52-4d8e-9a41-0c6a2e1d7b02"}'::jsonb AS r) AS given
  ON CONFLICT (run) DO NOTHING;
