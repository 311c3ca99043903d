-- delayed.mdb and empty_delayed.mdb, schema version 1: packets waiting for their client.
-- Created is ISO 8601 with milliseconds, so text order is time order.
CREATE TABLE IF NOT EXISTS Delayed (
    MessID      INTEGER NOT NULL UNIQUE,
    Created     TEXT NOT NULL,
    Destination TEXT,
    Packet      BLOB
);
CREATE INDEX IF NOT EXISTS Delayed_Newest ON Delayed (Created DESC, MessID DESC);
CREATE INDEX IF NOT EXISTS Delayed_Destination ON Delayed (Destination, Created, MessID);
