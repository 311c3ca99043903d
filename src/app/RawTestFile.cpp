// The raw test file: a copy of the decoder's verbose trace for the developer.

#include "app/System.h"
#include "platform/LocalPath.h"

void System::OpenRawTestFile() {
    rawTestFile_.setFileName(platform::LocalPath(workDir, QStringLiteral(".\\raw output.txt")));
    if (rawTestFile_.open(QIODevice::Append))
        logs.LogDecoder(QStringLiteral("Open test file successfull"));
    else
        logs.LogDecoder(QStringLiteral("test file un successfull") + rawTestFile_.errorString());
}

void System::CloseRawTestFile() {
    rawTestFile_.close();
}

void System::PrintRawTestFile(const QByteArray& line) {
    // Not open (raw logging was off at start): the copy is skipped.
    if (!rawTestFile_.isOpen())
        return;
    rawTestFile_.write(line + "\r\n");
    rawTestFile_.flush();
}
