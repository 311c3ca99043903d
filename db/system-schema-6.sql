-- Ombrixsys.mdb, schema version 6: the operator console. Every warning the relay raises is an
-- alarm: repeats of one code for one entry are one row with a count, kept until an operator
-- acknowledges it or its condition ends, and deleted 90 days after it was last seen. Each
-- account is an operator (every command) or a viewer (sees everything, no command); the
-- accounts that exist stay operators.
CREATE TABLE IF NOT EXISTS Alarms (
    ID             INTEGER PRIMARY KEY,
    Code           INTEGER NOT NULL,
    Entry          INTEGER NOT NULL,
    Text           TEXT NOT NULL,
    Count          INTEGER NOT NULL,
    FirstSeen      TEXT NOT NULL,
    LastSeen       TEXT NOT NULL,
    AcknowledgedBy TEXT,
    AcknowledgedAt TEXT,
    ClearedAt      TEXT
);
CREATE INDEX IF NOT EXISTS AlarmsByLastSeen ON Alarms (LastSeen);
ALTER TABLE Operators ADD COLUMN Role TEXT NOT NULL DEFAULT 'operator';
