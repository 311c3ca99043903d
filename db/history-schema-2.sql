-- history.mdb, schema version 2: the trail's events of stored copies by their MessID.
-- An operator's "Delete ALL" marks every copy still in the store as deleted; the copies
-- still there are those without an event that ended them, found through this index
-- rather than by reading the whole trail. Only the events of copies are in it.
CREATE INDEX IF NOT EXISTS Trail_Copy ON Trail (MessID) WHERE MessID IS NOT NULL;
