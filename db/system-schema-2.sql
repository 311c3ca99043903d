-- Ombrixsys.mdb, schema version 2: the warning text of two outputs that share a description.
-- A site's file may already hold the row (it is a default row of a new file too).
INSERT OR IGNORE INTO ErrorCodes VALUES (603, 'CheckDuplicatePorts', 'Two outputs share a description: the first takes the stored packets of both');
