// Start-up pieces of the application that need no window.
#pragma once

#include <QStringList>
#include <string>

class QCoreApplication;

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

}  // namespace dov
