-- Rows added to a demo working folder: one carrier and two clients on loopback.
INSERT INTO StartUp VALUES ('TelstraLocalIP', '127.0.0.1', 'Address of the carrier servers');
INSERT INTO StartUp VALUES ('OutputsLocalIP', '127.0.0.1', 'Local address the output ports listen on');
INSERT INTO Telstra (Description, Port, Active) VALUES ('Demo carrier', '5001', 'Y');
INSERT INTO Outputs (Description, Port, Active, RawOutput, AllowFrom) VALUES ('Client A', '6001', 'Y', 'N', '127.0.0.1');
INSERT INTO Outputs (Description, Port, Active, RawOutput, AllowFrom) VALUES ('Client B', '6002', 'Y', 'N', '127.0.0.1');
INSERT INTO Publishers (Description, Host, Port, Topic, QoS, Active) VALUES ('Demo broker', '127.0.0.1', '1885', 'ombrix/pages', '1', 'Y');
