#include "shell/InstanceChannel.h"

#include <QDataStream>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QtEndian>

#include <utility>

namespace {

constexpr char kAnswer = 'K';
// A request names at most a few thousand paths; anything claiming more is not ours.
constexpr quint32 kMaxRequestBytes = 16u << 20;
constexpr QDataStream::Version kStreamVersion = QDataStream::Qt_6_4;

QByteArray Frame(const LaunchRequest& request) {
    QByteArray body;
    QDataStream out(&body, QIODevice::WriteOnly);
    out.setVersion(kStreamVersion);
    out << request;
    QByteArray frame(4, '\0');
    qToBigEndian(static_cast<quint32>(body.size()), frame.data());
    return frame + body;
}

}  // namespace

QString InstanceChannel::DefaultName() {
    return QDir(QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation))
        .filePath(QStringLiteral("kestory-window"));
}

InstanceChannel::InstanceChannel(QString socketName, QObject* parent) : QObject(parent), name(std::move(socketName)) {}

InstanceChannel::~InstanceChannel() = default;

bool InstanceChannel::HandOver(const QString& socketName, const LaunchRequest& request, int timeoutMs) {
    QLocalSocket socket;
    socket.connectToServer(socketName);
    if (!socket.waitForConnected(timeoutMs)) {
        return false;
    }
    socket.write(Frame(request));
    if (!socket.waitForBytesWritten(timeoutMs)) {
        return false;
    }
    while (socket.bytesAvailable() < 1) {
        if (!socket.waitForReadyRead(timeoutMs)) {
            return false;
        }
    }
    char answer = 0;
    return socket.getChar(&answer) && answer == kAnswer;
}

bool InstanceChannel::IsListening() const {
    return server != nullptr && server->isListening();
}

bool InstanceChannel::Listen() {
    if (IsListening()) {
        return true;
    }
    // Someone answering is a live window. Asked first: with access options Qt binds beside the
    // name and renames into place, which would take the name from a live window too.
    QLocalSocket probe;
    probe.connectToServer(name);
    if (probe.waitForConnected(500)) {
        probe.abort();
        return false;
    }
    // A file nobody answers on was left by a window that crashed.
    QLocalServer::removeServer(name);
    delete server;
    server = new QLocalServer(this);
    server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server->listen(name)) {
        return false;
    }
    connect(server, &QLocalServer::newConnection, this, &InstanceChannel::takeConnection);
    return true;
}

void InstanceChannel::takeConnection() {
    while (QLocalSocket* socket = server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readFrom(socket); });
        readFrom(socket);
    }
}

void InstanceChannel::readFrom(QLocalSocket* socket) {
    if (socket->bytesAvailable() < 4) {
        return;
    }
    char head[4];
    socket->peek(head, 4);
    const quint32 size = qFromBigEndian<quint32>(head);
    if (size > kMaxRequestBytes) {
        socket->abort();
        return;
    }
    if (socket->bytesAvailable() < 4 + static_cast<qint64>(size)) {
        return;
    }
    socket->skip(4);
    const QByteArray body = socket->read(size);
    QDataStream in(body);
    in.setVersion(kStreamVersion);
    LaunchRequest request;
    in >> request;
    if (in.status() != QDataStream::Ok) {
        socket->abort();
        return;
    }
    socket->putChar(kAnswer);
    socket->flush();
    emit requested(request);
}
