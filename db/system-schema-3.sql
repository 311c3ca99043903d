-- Ombrixsys.mdb, schema version 3: the addresses an output's client may connect from.
-- Empty (as every existing row is after the upgrade) lets anyone connect, as before.
ALTER TABLE Outputs ADD COLUMN AllowFrom TEXT;
