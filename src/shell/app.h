// Start-up pieces of the application that need no window.
#pragma once

#include <QIcon>
#include <QStringList>
#include <functional>
#include <string>
#include <vector>

class QCoreApplication;
class QWidget;

namespace dov {

// One running copy per user: an exclusive lock on dovreth.lock in $XDG_RUNTIME_DIR (else the
// temporary folder), held for the life of the object.
class SingleInstanceLock {
  public:
    SingleInstanceLock() = default;
    ~SingleInstanceLock();
    SingleInstanceLock(const SingleInstanceLock&) = delete;
    SingleInstanceLock& operator=(const SingleInstanceLock&) = delete;

    // False when another copy holds the lock. A lock file that cannot be opened at all does
    // not keep the program from starting.
    bool Acquire();
    static std::string LockPath();

  private:
    int fd_ = -1;
};

// Whether the command line asks to start as an embedded or automation server (-Embedding,
// /Automation ...). There is no component registry here: such a start shows nothing and ends.
bool IsServerStart(const QStringList& args);

// Qt's own texts (standard buttons, file and colour choosers) in Japanese, whatever the
// system locale: the rest of the program speaks Japanese too. False when Qt's Japanese
// catalogue is not installed; the standard texts then stay English.
bool InstallJapaneseQtTexts(QCoreApplication& app);

// The paths on the window's command line (what a desktop entry passes), as absolute CP932
// paths to load under the root like picked entries. When one of them cannot be loaded (it does
// not exist, CP932 cannot hold it, it is the file-system root, or it repeats or lies inside
// another) the result is empty and `problem` (CP932) says which: nothing is loaded then.
std::vector<std::string> StartPaths(const QStringList& given, std::string& problem);

// The program's icon (data/icons, built in): the drawing where Qt can read it, the 48-pixel
// picture of it in any case.
QIcon ProgramIcon();

// Runs `then` once the window is on the screen where the window manager put it (at most two
// seconds later), so that a box it shows is centred on the window.
void WhenShown(QWidget* window, std::function<void()> then);

}  // namespace dov
