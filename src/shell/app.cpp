#include "shell/app.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QLibraryInfo>
#include <QLocale>
#include <QPointer>
#include <QTimer>
#include <QTranslator>
#include <QWidget>
#include <QWindow>
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <memory>

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

QIcon ProgramIcon() {
    QIcon icon;
    if (QImageReader::supportedImageFormats().contains("svg"))
        icon.addFile(QStringLiteral(":/icons/dovreth.svg"));
    icon.addFile(QStringLiteral(":/icons/dovreth-48.png"), QSize(48, 48));
    return icon;
}

void WhenShown(QWidget* window, std::function<void()> then) {
    constexpr int kStepMs = 20, kMaxSteps = 100;
    auto steps = std::make_shared<int>(0);
    auto* timer = new QTimer(window);
    timer->setInterval(kStepMs);
    QObject::connect(timer, &QTimer::timeout, window, [window, timer, steps, then] {
        QWindow* w = window->windowHandle();
        // Exposed, and one more step for the window manager's move to arrive.
        const bool exposed = w && w->isExposed();
        if (exposed) *steps = std::max(*steps, kMaxSteps - 2);
        if (++*steps < kMaxSteps) return;
        timer->stop();
        timer->deleteLater();
        then();
    });
    timer->start();
}

}  // namespace dov
