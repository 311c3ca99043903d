// Steps of start-up, shutdown and the main timers whose subsystems are not built
// yet. Each does nothing on purpose; as a subsystem lands, its step here is
// replaced by the call into it, so the order of the sequences never changes.

#include "app/System.h"

void System::LoadTelstraClients() {}
void System::CheckDuplicatePorts() {}
void System::EnableTelstra() {}
void System::OpenRawTestFile() {}
void System::CloseRawTestFile() {}
void System::UpdateTelstraClients() {}
void System::StartSAT10mSTimer() {}
void System::PrintRawTestFile(const QByteArray&) {}
