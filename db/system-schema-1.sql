-- Ombrixsys.mdb, schema version 1: settings, warning texts and the two connection tables.
-- Every column the operator edits in a grid is text, so a wrong entry is stored as typed
-- and reported by the routine that reads it.
CREATE TABLE IF NOT EXISTS StartUp (
    Key_Description TEXT NOT NULL,
    Key_Data        TEXT,
    Key_Comment     TEXT
);
CREATE INDEX IF NOT EXISTS StartUp_Key ON StartUp (Key_Description);

CREATE TABLE IF NOT EXISTS ErrorCodes (
    ErrorNumber INTEGER NOT NULL UNIQUE,
    Function    TEXT,
    Description TEXT
);

CREATE TABLE IF NOT EXISTS Telstra (
    Description TEXT,
    Port        TEXT,
    Active      TEXT,
    Match       TEXT,
    PSAP        TEXT,
    Agency      TEXT,
    ServiceID   TEXT,
    Paired      TEXT,
    TServer     TEXT
);

CREATE TABLE IF NOT EXISTS Outputs (
    Description TEXT,
    Port        TEXT,
    Active      TEXT,
    Match       TEXT,
    RawOutput   TEXT
);
