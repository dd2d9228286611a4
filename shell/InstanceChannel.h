#pragma once

#include "shell/LaunchRequest.h"

#include <QObject>
#include <QString>

class QLocalServer;
class QLocalSocket;

// One Kestory window per user takes the files the desktop asks it to open: the first window
// listens on a local socket, and a later "kestory --open" hands its paths to it and ends instead
// of opening a second window.
//
// On the wire, one request per connection: a 32-bit big-endian byte count, then the LaunchRequest
// as QDataStream (Qt 6.4 format) writes it; the window answers one byte 'K' once it has queued it.
class InstanceChannel : public QObject {
    Q_OBJECT
public:
    // The socket in the user's runtime folder ($XDG_RUNTIME_DIR), which only the user can enter.
    static QString DefaultName();

    explicit InstanceChannel(QString name = DefaultName(), QObject* parent = nullptr);
    ~InstanceChannel() override;

    // Hands the request to the window listening on the name and waits for its answer, at most
    // timeoutMs for each step; false when no window listens (nobody there, a socket file left by a
    // program that ended without removing it, a window that does not answer).
    static bool HandOver(const QString& name, const LaunchRequest& request, int timeoutMs = 3000);

    // Starts listening; false when another window already answers on the name. A socket file
    // nobody answers on (left by a crash) is removed and taken over.
    bool Listen();
    bool IsListening() const;

signals:
    void requested(const LaunchRequest& request);

private:
    void takeConnection();
    void readFrom(QLocalSocket* socket);

    QString name;
    QLocalServer* server = nullptr;
};
