#include "shell/app.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <cerrno>
#include <cstdlib>

#include "common/codepage.h"

namespace dov {

SingleInstanceLock::~SingleInstanceLock() {
    if (fd_ >= 0) ::close(fd_);
}

std::string SingleInstanceLock::LockPath() {
    const char* dir = std::getenv("XDG_RUNTIME_DIR");
    std::string base = (dir && *dir == '/') ? dir : "";
    if (base.empty()) {
        const char* tmp = std::getenv("TMPDIR");
        base = (tmp && *tmp == '/') ? tmp : "/tmp";
    }
    return base + "/dovreth.lock";
}

bool SingleInstanceLock::Acquire() {
    if (fd_ >= 0) return true;
    int fd = ::open(LockPath().c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return true;
    int r;
    do {
        r = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (r != 0 && errno == EINTR);
    if (r != 0) {
        const bool held = errno == EWOULDBLOCK;
        ::close(fd);
        return !held;
    }
    fd_ = fd;
    return true;
}

bool IsServerStart(const QStringList& args) {
    for (qsizetype i = 1; i < args.size(); ++i) {
        QString a = args[i];
        while (a.startsWith(QLatin1Char('-')) || a.startsWith(QLatin1Char('/'))) a.remove(0, 1);
        if (a.compare(QLatin1String("Embedding"), Qt::CaseInsensitive) == 0 ||
            a.compare(QLatin1String("Automation"), Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

std::vector<std::string> StartPaths(const QStringList& given, std::string& problem) {
    problem.clear();
    std::vector<std::string> out;
    QStringList seen;
    auto refuse = [&](const QString& path, const char* why) {
        const QByteArray raw = QFile::encodeName(path);
        auto shown =
            Utf8ToCp932(std::string(raw.constData(), static_cast<std::size_t>(raw.size())));
        problem = Sj(why) + "\n" + (shown ? *shown : EscapeBytes(raw.toStdString())) + "\n" +
                  Sj("何も読み込みませんでした。");
        return std::vector<std::string>{};
    };
    bool onlyPaths = false;
    for (const QString& arg : given) {
        if (!onlyPaths && arg == QStringLiteral("--")) {
            onlyPaths = true;
            continue;
        }
        // ".", ".." and repeated separators are resolved by their text, as the shell shows them.
        const QString path = QDir::cleanPath(QDir::current().absoluteFilePath(arg));
        const QByteArray raw = QFile::encodeName(path);
        struct stat st {};
        if (arg.isEmpty() || ::lstat(raw.constData(), &st) != 0)
            return refuse(arg, "指定されたパスが見つかりません");
        if (path == QStringLiteral("/")) return refuse(arg, "ルートフォルダは読み込めません");
        auto cp = Utf8ToCp932(std::string(raw.constData(), static_cast<std::size_t>(raw.size())));
        if (!cp) return refuse(arg, "このパスの名前は扱えません");
        for (const QString& other : seen) {
            if (path == other || path.startsWith(other + QLatin1Char('/')) ||
                other.startsWith(path + QLatin1Char('/')))
                return refuse(arg, "重なるパスが指定されています");
        }
        seen << path;
        out.push_back(std::move(*cp));
    }
    return out;
}

}  // namespace dov
