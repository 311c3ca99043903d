-- Ombrixsys.mdb, schema version 5: monitoring. The metrics and health listener's address and
-- port, how long a connected carrier may send no frames, the test pages a site watches for,
-- and the warnings for a quiet feed and a missed test page.
-- Text columns like the other tables: a wrong entry is stored as typed and reported when read.
CREATE TABLE IF NOT EXISTS Watches (
    Description  TEXT,
    Address      TEXT,
    Function     TEXT,
    EveryMinutes TEXT,
    Active       TEXT
);
INSERT OR IGNORE INTO ErrorCodes VALUES (112, 'FeedSilence', 'The carrier is connected but sends no frames');
INSERT OR IGNORE INTO ErrorCodes VALUES (113, 'WatchTestPages', 'A watched test page was not relayed in time');
-- As in system-schema-4.sql: after a site's existing rows, each once; a new file gets them from
-- system-defaults.sql.
INSERT INTO StartUp SELECT 'MonitorAddress', '127.0.0.1', 'Address the metrics and health listener binds to' WHERE EXISTS (SELECT 1 FROM StartUp) AND NOT EXISTS (SELECT 1 FROM StartUp WHERE Key_Description = 'MonitorAddress');
INSERT INTO StartUp SELECT 'MonitorPort', '9188', 'Port of /metrics and /healthz; empty or 0 turns it off' WHERE EXISTS (SELECT 1 FROM StartUp) AND NOT EXISTS (SELECT 1 FROM StartUp WHERE Key_Description = 'MonitorPort');
INSERT INTO StartUp SELECT 'FeedSilenceSeconds', '120', 'Seconds a connected carrier may send no frames before warning 112' WHERE EXISTS (SELECT 1 FROM StartUp) AND NOT EXISTS (SELECT 1 FROM StartUp WHERE Key_Description = 'FeedSilenceSeconds');
