-- Rows added to a demo working folder: one carrier and two clients on loopback.
-- The default rows hold the host's address; the demo's peers are on loopback.
UPDATE StartUp SET Key_Data = '127.0.0.1' WHERE Key_Description IN ('TelstraLocalIP', 'OutputsLocalIP');
INSERT INTO Telstra (Description, Port, Active) VALUES ('Demo carrier', '5001', 'Y');
INSERT INTO Outputs (Description, Port, Active, RawOutput, AllowFrom) VALUES ('Client A', '6001', 'Y', 'N', '127.0.0.1');
INSERT INTO Outputs (Description, Port, Active, RawOutput, AllowFrom) VALUES ('Client B', '6002', 'Y', 'N', '127.0.0.1');
INSERT INTO Publishers (Description, Host, Port, Topic, QoS, Active) VALUES ('Demo broker', '127.0.0.1', '1885', 'ombrix/pages', '1', 'Y');
