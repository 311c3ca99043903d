-- Ombrixsys.mdb, schema version 2: the warning texts of a client that stopped reading and of
-- two outputs that share a description.
-- A site's file may already hold the rows (they are default rows of a new file too).
INSERT OR IGNORE INTO ErrorCodes VALUES (104, 'CloseStalledClient', 'An output client stopped reading; it was closed and its packets stored');
INSERT OR IGNORE INTO ErrorCodes VALUES (603, 'CheckDuplicatePorts', 'Two outputs share a description: the first takes the stored packets of both');
