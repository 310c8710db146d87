#include "shell/instance.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>
#include <cerrno>

#include "shell/app.h"

namespace dov {

namespace {
constexpr char kHeader[] = "DOVRETH-PATHS 1\n";

// A folder only this user can enter: made with mode 0700, or found as a real folder owned by
// the user, which is then closed to everyone else.
bool PrivateFolder(const std::string& dir) {
    if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) return false;
    struct stat st {};
    if (::lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid())
        return false;
    if ((st.st_mode & 0777) != 0700 && ::chmod(dir.c_str(), 0700) != 0) return false;
    return true;
}
}  // namespace

CInstanceDoor::CInstanceDoor(QObject* parent) : QObject(parent) {}

CInstanceDoor::~CInstanceDoor() {
    if (server_) server_->close();
}

std::string CInstanceDoor::SocketPath() {
    std::string lock = SingleInstanceLock::LockPath();
    const std::string dir =
        lock.substr(0, lock.rfind('/')) + "/dovreth-" + std::to_string(::getuid());
    if (!PrivateFolder(dir)) return {};
    return dir + "/window";
}

bool CInstanceDoor::Open() {
    const std::string path = SocketPath();
    if (path.empty()) return false;
    // The lock is ours: a socket left by a copy that was killed is stale.
    QLocalServer::removeServer(QString::fromStdString(path));
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(QString::fromStdString(path))) return false;
    connect(server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* s = server_->nextPendingConnection()) Take(s);
    });
    return true;
}

void CInstanceDoor::Take(QLocalSocket* socket) {
    // The message is read as it comes and taken when the sender closes.
    auto* data = new QByteArray;
    connect(socket, &QLocalSocket::readyRead, socket, [socket, data] {
        data->append(socket->read(kMaxBytes + 1 - data->size()));
        if (data->size() > kMaxBytes) socket->abort();
    });
    connect(socket, &QLocalSocket::disconnected, this, [this, socket, data] {
        data->append(socket->readAll());
        QStringList paths;
        if (data->size() <= kMaxBytes && Decode(*data, paths) && !paths.isEmpty())
            emit pathsHanded(paths);
        delete data;
        socket->deleteLater();
    });
}

QByteArray CInstanceDoor::Encode(const QStringList& absolutePaths) {
    QByteArray out(kHeader);
    for (const QString& p : absolutePaths) {
        out += QFile::encodeName(p);
        out += '\0';
    }
    return out;
}

bool CInstanceDoor::Decode(const QByteArray& data, QStringList& out) {
    out.clear();
    if (!data.startsWith(kHeader) ||
        (data.size() > int(sizeof kHeader) - 1 && !data.endsWith('\0')))
        return false;
    const QList<QByteArray> parts = data.mid(sizeof kHeader - 1).split('\0');
    // The last part is what follows the final NUL: nothing.
    for (qsizetype i = 0; i + 1 < parts.size(); ++i) {
        if (parts[i].isEmpty() || parts[i][0] != '/' || out.size() >= kMaxPaths) {
            out.clear();
            return false;
        }
        out << QFile::decodeName(parts[i]);
    }
    return true;
}

bool CInstanceDoor::HandOver(const QStringList& paths, int waitMs) {
    QStringList absolute;
    bool onlyPaths = false;
    for (const QString& p : paths) {
        if (!onlyPaths && p == QStringLiteral("--")) {
            onlyPaths = true;
            continue;
        }
        if (p.isEmpty()) continue;
        absolute << QDir::cleanPath(QDir::current().absoluteFilePath(p));
    }
    if (absolute.isEmpty()) return false;
    const std::string path = SocketPath();
    if (path.empty()) return false;
    const QByteArray message = Encode(absolute);
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        QLocalSocket socket;
        socket.connectToServer(QString::fromStdString(path));
        if (socket.waitForConnected(500)) {
            socket.write(message);
            while (socket.bytesToWrite() > 0 && socket.waitForBytesWritten(2000)) {
            }
            const bool sent = socket.bytesToWrite() == 0;
            socket.disconnectFromServer();
            if (socket.state() != QLocalSocket::UnconnectedState) socket.waitForDisconnected(2000);
            return sent;
        }
        // The running copy may hold the lock but not have opened its door yet.
        if (clock.elapsed() >= waitMs) return false;
        QThread::msleep(50);
    }
}

}  // namespace dov
