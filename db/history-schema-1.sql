-- history.mdb, schema version 1: every relayed page, what became of it at
-- each destination, and what operators did.
-- Times are milliseconds since 1970-01-01 UTC (UTC is what orders and ranges
-- them); each row keeps the UTC offset in minutes it was written with, so the
-- local time shown is the one the relay's logs show.

-- One row per relayed page: frame notices, idle and dummy messages are not pages.
CREATE TABLE IF NOT EXISTS Pages (
    ID        INTEGER PRIMARY KEY,  -- grows with time: newest first is ID DESC
    Time      INTEGER NOT NULL,
    Offset    INTEGER NOT NULL,
    Carrier   TEXT,                 -- Description of the carrier row it came from
    Rate      TEXT,
    Frequency TEXT,
    Function  TEXT,
    Address   INTEGER,              -- the pager address; NULL when not a number
    Type      TEXT,
    Text      TEXT,                 -- the page text, one character per byte
    Packet    BLOB NOT NULL         -- the exact packet bytes
);
CREATE INDEX IF NOT EXISTS Pages_Time ON Pages (Time);
CREATE INDEX IF NOT EXISTS Pages_Address ON Pages (Address, ID);

-- The full-text index of Pages.Text (external content: the text is stored once).
CREATE VIRTUAL TABLE IF NOT EXISTS PageText USING fts5 (Text, content = 'Pages', content_rowid = 'ID');

-- A stored copy of a page (for an output or a broker) by its MessID, so that
-- later events of the copy, which know only the MessID, find their page.
CREATE TABLE IF NOT EXISTS Copies (
    MessID      INTEGER PRIMARY KEY,
    PageID      INTEGER NOT NULL,
    Destination TEXT NOT NULL
);
CREATE INDEX IF NOT EXISTS Copies_Page ON Copies (PageID);

-- What became of a page at one destination (an output's or a publisher's Description).
-- Event: sent, taken, stored, resent, published, acknowledged, pruned, deleted.
CREATE TABLE IF NOT EXISTS Trail (
    PageID      INTEGER NOT NULL,
    Destination TEXT NOT NULL,
    Event       TEXT NOT NULL,
    Time        INTEGER NOT NULL,
    Offset      INTEGER NOT NULL,
    MessID      INTEGER             -- the stored copy the event concerns, if any
);
CREATE INDEX IF NOT EXISTS Trail_Page ON Trail (PageID, Time);

-- Logins (success, failure, ban), logouts, and console or window commands.
CREATE TABLE IF NOT EXISTS Audit (
    ID       INTEGER PRIMARY KEY,
    Time     INTEGER NOT NULL,
    Offset   INTEGER NOT NULL,
    Operator TEXT,                  -- the account name; the window's operator is 'window'
    Address  TEXT,                  -- the browser's address; empty for the window
    Action   TEXT NOT NULL,         -- login, login-failed, banned, logout, command
    Detail   TEXT                   -- what the command was, with its values; never a password
);
CREATE INDEX IF NOT EXISTS Audit_Time ON Audit (Time);
