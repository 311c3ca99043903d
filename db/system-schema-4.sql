-- Ombrixsys.mdb, schema version 4: the web console's operator accounts and settings.
-- Passwords are kept only as salted PBKDF2 hashes; a new folder's account is made by
-- `ombrix init`, any other by `ombrix passwd`.
CREATE TABLE IF NOT EXISTS Operators (
    Name         TEXT PRIMARY KEY,
    PasswordHash TEXT NOT NULL,
    Created      TEXT
);
-- The settings join a site's existing rows, after them and each once (StartUp has no unique
-- key, so each row checks for its own). A new file's StartUp is still empty here: it gets
-- the same rows from system-defaults.sql, after the other defaults.
INSERT INTO StartUp SELECT 'WebConsoleAddress', '127.0.0.1', 'Address the web console listens on' WHERE EXISTS (SELECT 1 FROM StartUp) AND NOT EXISTS (SELECT 1 FROM StartUp WHERE Key_Description = 'WebConsoleAddress');
INSERT INTO StartUp SELECT 'WebConsolePort', '8088', 'Port of the web console; empty or 0 turns it off' WHERE EXISTS (SELECT 1 FROM StartUp) AND NOT EXISTS (SELECT 1 FROM StartUp WHERE Key_Description = 'WebConsolePort');
INSERT INTO StartUp SELECT 'WebConsoleCertificate', '', 'PEM certificate file of the web console; with WebConsoleKey it speaks HTTPS only' WHERE EXISTS (SELECT 1 FROM StartUp) AND NOT EXISTS (SELECT 1 FROM StartUp WHERE Key_Description = 'WebConsoleCertificate');
INSERT INTO StartUp SELECT 'WebConsoleKey', '', 'PEM private key file of the web console certificate' WHERE EXISTS (SELECT 1 FROM StartUp) AND NOT EXISTS (SELECT 1 FROM StartUp WHERE Key_Description = 'WebConsoleKey');
INSERT INTO StartUp SELECT 'WebConsoleHosts', '', 'Further host names the web console answers to, separated by commas (a reverse proxy''s name)' WHERE EXISTS (SELECT 1 FROM StartUp) AND NOT EXISTS (SELECT 1 FROM StartUp WHERE Key_Description = 'WebConsoleHosts');
