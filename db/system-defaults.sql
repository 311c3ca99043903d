-- Default rows of a new Ombrixsys.mdb. :now is the creation date-time text, :hostAddress this
-- host's address as the relay would take it for a missing address row.
INSERT INTO StartUp VALUES ('ServerID', 'Ombrix', 'Identifier of this server: window caption and dummy messages');
INSERT INTO StartUp VALUES ('MessID', '1000000', 'Identifier of the next packet stored for later sending');
INSERT INTO StartUp VALUES ('IncomingPktType', 'Normal', 'Enhanced selects the six-line dummy message; anything else the short one');
INSERT INTO StartUp VALUES ('LogName', 'Quorlan', 'File name of the System log');
INSERT INTO StartUp VALUES ('LogsDIR', '.', 'Base folder of the logs; they are kept in its LOGS folder');
INSERT INTO StartUp VALUES ('RawLogEnabled', 'False', 'True writes every received block to RAW_DEC.log');
INSERT INTO StartUp VALUES ('BackUpPeriod', '24', 'Hours between back-ups of the log files');
INSERT INTO StartUp VALUES ('LastBackUp', :now, 'Date and time of the last back-up of the System log');
INSERT INTO StartUp VALUES ('BackUpTime', '3:01:00 AM', 'Time of day at which the back-up is due');
-- The addresses the relay takes when their rows are missing (this host's first address that is
-- not loopback, :hostAddress), written out so that the Config grid or sqlite3 can change them.
INSERT INTO StartUp VALUES ('OutputsLocalIP', :hostAddress, 'Local address the output ports listen on');
INSERT INTO StartUp VALUES ('TelstraLocalIP', :hostAddress, 'Address of the carrier servers');
-- The web console's rows, as system-schema-4.sql adds them to an older file.
INSERT INTO StartUp VALUES ('WebConsoleAddress', '127.0.0.1', 'Address the web console listens on');
INSERT INTO StartUp VALUES ('WebConsolePort', '8088', 'Port of the web console; empty or 0 turns it off');
INSERT INTO StartUp VALUES ('WebConsoleCertificate', '', 'PEM certificate file of the web console; with WebConsoleKey it speaks HTTPS only');
INSERT INTO StartUp VALUES ('WebConsoleKey', '', 'PEM private key file of the web console certificate');
INSERT INTO StartUp VALUES ('WebConsoleHosts', '', 'Further host names the web console answers to, separated by commas (a reverse proxy''s name)');
-- Monitoring's rows, as system-schema-5.sql adds them to an older file.
INSERT INTO StartUp VALUES ('MonitorAddress', '127.0.0.1', 'Address the metrics and health listener binds to');
INSERT INTO StartUp VALUES ('MonitorPort', '9188', 'Port of /metrics and /healthz; empty or 0 turns it off');
INSERT INTO StartUp VALUES ('FeedSilenceSeconds', '120', 'Seconds a connected carrier may send no frames before warning 112');

INSERT INTO ErrorCodes VALUES (100, 'SendDataOutputs', 'Sending a packet to an output client');
INSERT INTO ErrorCodes VALUES (101, 'wskOutputs_DataArrival', 'Reading data that an output client sent');
INSERT INTO ErrorCodes VALUES (102, 'wskOutputs_ConnectionRequest', 'Accepting an output client on its port');
INSERT INTO ErrorCodes VALUES (103, 'wskOutputs_Close', 'Closing an output connection after its client left');
INSERT OR IGNORE INTO ErrorCodes VALUES (104, 'CloseStalledClient', 'An output client stopped reading; it was closed and its packets stored');
INSERT INTO ErrorCodes VALUES (108, 'UpdateOutputClients', 'An output port stopped listening and did not recover within a minute');
INSERT INTO ErrorCodes VALUES (109, 'ListenOnPort / RelayToOutputs', 'Opening an output port for listening, or handing a packet to the outputs');
INSERT INTO ErrorCodes VALUES (200, 'SendDataTelstra', 'Sending data to a carrier server');
INSERT INTO ErrorCodes VALUES (201, 'wskDecoder_DataArrival', 'Reading the carrier stream');
INSERT INTO ErrorCodes VALUES (202, 'wskDecoder_ConnectionRequest', 'Answering a connection request on a carrier socket');
INSERT INTO ErrorCodes VALUES (203, 'wskDecoder_Close', 'Closing a carrier connection after the server left');
INSERT INTO ErrorCodes VALUES (205, 'ConnectTelstraPort', 'Connecting to a carrier server');
INSERT INTO ErrorCodes VALUES (300, 'OpenErrorCode', 'Looking up the text of a warning');
INSERT INTO ErrorCodes VALUES (301, 'OpenErrorCodes', 'Reading the table of warning texts');
INSERT INTO ErrorCodes VALUES (302, 'OpenStartUp', 'Reading the StartUp table');
INSERT INTO ErrorCodes VALUES (303, 'OpenTelstra', 'Reading the Telstra table');
INSERT INTO ErrorCodes VALUES (304, 'OpenOutputs', 'Reading the Outputs table');
INSERT INTO ErrorCodes VALUES (305, 'CommitOutputs', 'Saving edits of the Outputs table');
INSERT INTO ErrorCodes VALUES (306, 'OpenSysDatabase', 'Opening the system database Ombrixsys.mdb');
INSERT INTO ErrorCodes VALUES (307, 'CloseSysDatabase', 'Closing the system database');
INSERT INTO ErrorCodes VALUES (308, 'CommitTelstra', 'Saving edits of the Telstra table');
INSERT INTO ErrorCodes VALUES (309, 'GetStartUpKey', 'Reading a setting from the StartUp table');
INSERT INTO ErrorCodes VALUES (310, 'SetStartUpKey', 'Writing a setting to the StartUp table');
INSERT INTO ErrorCodes VALUES (400, 'OpenDelayedDb', 'Opening the delayed store delayed.mdb');
INSERT INTO ErrorCodes VALUES (401, 'CloseDelayedDb', 'Closing the delayed store');
INSERT INTO ErrorCodes VALUES (402, 'AddDelayed', 'Storing a packet for later sending');
INSERT INTO ErrorCodes VALUES (403, 'CheckDelayedCompaction', 'Replacing the empty delayed store with its template');
INSERT INTO ErrorCodes VALUES (404, 'ClearDelayed / DeleteDelayed / OpenDelayedList', 'Deleting or listing stored packets');
INSERT INTO ErrorCodes VALUES (600, 'CheckDuplicatePorts', 'Two outputs share a port');
INSERT INTO ErrorCodes VALUES (601, 'CheckDuplicatePorts', 'Two carrier connections share a port');
INSERT INTO ErrorCodes VALUES (602, 'CheckDuplicatePorts', 'An output and a carrier connection share a port');
-- Already there in a new file: the upgrade to schema version 2 inserts it before these rows.
INSERT OR IGNORE INTO ErrorCodes VALUES (603, 'CheckDuplicatePorts', 'Two outputs share a description: the first takes the stored packets of both');
INSERT INTO ErrorCodes VALUES (900, 'tmrSockets_Timer', 'Five-second upkeep of the store, the logs and the connections');
INSERT INTO ErrorCodes VALUES (902, 'tmrSystem_Timer', 'One-second resend of stored packets');
