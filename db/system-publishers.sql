-- Ombrixsys.mdb: the MQTT brokers every page is published to. Ensured at every opening
-- (CREATE ... IF NOT EXISTS), so a file of any version gets the table without losing a row.
-- Text columns like the other connection tables: a wrong entry is stored as typed and
-- reported, with its row, when the publishers are loaded.
CREATE TABLE IF NOT EXISTS Publishers (
    Description TEXT,
    Host        TEXT,
    Port        TEXT DEFAULT '1883',
    Topic       TEXT DEFAULT 'ombrix/pages',
    QoS         TEXT DEFAULT '1',
    Active      TEXT DEFAULT 'Y',
    Username    TEXT,
    Password    TEXT,
    CAFile      TEXT,
    Route       TEXT
);
