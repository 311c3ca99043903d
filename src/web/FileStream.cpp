#include "web/FileStream.h"

#include <QTcpSocket>

namespace web {

FileStream::FileStream(QTcpSocket* socket, const QString& path, qint64 bytes,
                       std::function<void()> progress)
    : QObject(socket), socket_(socket), file_(path), remaining_(bytes),
      progress_(std::move(progress)) {
    connect(socket, &QIODevice::bytesWritten, this, [this] {
        progress_();
        pump();
    });
}

void FileStream::Start(QTcpSocket* socket, const QString& path, qint64 bytes,
                       std::function<void()> progress) {
    auto* stream = new FileStream(socket, path, bytes, std::move(progress));
    if (!stream->file_.open(QIODevice::ReadOnly)) {
        socket->abort();
        return;
    }
    stream->pump();
}

bool FileStream::Sending(const QTcpSocket* socket) {
    return socket && socket->findChild<FileStream*>(QString(), Qt::FindDirectChildrenOnly);
}

void FileStream::pump() {
    while (remaining_ > 0 && socket_->bytesToWrite() < kQueuedBytes) {
        const QByteArray piece = file_.read(qMin(kPieceBytes, remaining_));
        if (piece.isEmpty()) {
            // The file was cut short: the length promised cannot be kept, and
            // a browser must not take what came for the whole file.
            socket_->abort();
            return;
        }
        socket_->write(piece);
        remaining_ -= piece.size();
    }
    if (remaining_ == 0 && socket_->state() == QAbstractSocket::ConnectedState) {
        remaining_ = -1; // once
        socket_->disconnectFromHost();
    }
}

} // namespace web
