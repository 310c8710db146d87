#include "shell/app.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <cerrno>
#include <cstdlib>

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

bool InstallJapaneseQtTexts(QCoreApplication& app) {
    const QString dir = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    const QLocale japanese(QLocale::Japanese, QLocale::Japan);
    auto* qt = new QTranslator(&app);
    // qtbase holds the dialogs and buttons; qt_ja is the umbrella catalogue that loads it.
    if (!qt->load(japanese, QStringLiteral("qtbase"), QStringLiteral("_"), dir) &&
        !qt->load(japanese, QStringLiteral("qt"), QStringLiteral("_"), dir)) {
        delete qt;
        return false;
    }
    // Dates and numbers in the standard dialogs as a Japanese user reads them; the program's
    // own texts do not depend on the locale.
    QLocale::setDefault(japanese);
    return QCoreApplication::installTranslator(qt);
}

}  // namespace dov
