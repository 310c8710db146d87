// The running window's door for a second start: a local socket in a folder of the user's own
// (mode 0700) beside the single-instance lock. A second `dovreth PATH...` hands its paths
// through it and ends; the running window raises itself and loads them.
//
// What goes through the socket: "DOVRETH-PATHS 1\n", then each absolute path in the file
// system's bytes, each ended by a NUL byte. At most kMaxBytes are read, at most kMaxPaths paths
// taken; anything else (a wrong first line, an empty or relative path) is dropped whole.
#pragma once

#include <QObject>
#include <QStringList>
#include <string>

class QLocalServer;
class QLocalSocket;

namespace dov {

class CInstanceDoor : public QObject {
    Q_OBJECT
  public:
    static constexpr qint64 kMaxBytes = 4 << 20;
    static constexpr int kMaxPaths = 100000;

    explicit CInstanceDoor(QObject* parent = nullptr);
    ~CInstanceDoor() override;
    // The socket's path, in a folder made (or checked) to be the user's own, mode 0700; empty
    // when no such folder can be had.
    static std::string SocketPath();
    // Opens the door (the holder of the single-instance lock only); false when it cannot.
    bool Open();

    // A second start: hands the paths (relative ones are taken from the current folder) to
    // the running copy, trying for up to waitMs while it may still be starting. False when
    // nothing took them.
    static bool HandOver(const QStringList& paths, int waitMs = 3000);
    // The message that carries these absolute paths, and its reading (false: dropped).
    static QByteArray Encode(const QStringList& absolutePaths);
    static bool Decode(const QByteArray& data, QStringList& out);

  signals:
    // Absolute paths a second start handed over.
    void pathsHanded(QStringList paths);

  private:
    void Take(QLocalSocket* socket);
    QLocalServer* server_ = nullptr;
};

}  // namespace dov
