-- Ombrixsys.mdb, schema version 7: routes and the names of addresses.
-- Route says which pages an output's client or a publisher's broker gets. Empty (as every
-- existing row is after the upgrade) means every page, as before.
ALTER TABLE Outputs ADD COLUMN Route TEXT;
ALTER TABLE Publishers ADD COLUMN Route TEXT;
-- A name and agency for an address, on one function letter or (Function empty) on any.
-- Text columns like the other tables: a wrong entry is stored as typed and reported when read.
CREATE TABLE IF NOT EXISTS Aliases (
    Address  TEXT,
    Function TEXT,
    Name     TEXT,
    Agency   TEXT
);
