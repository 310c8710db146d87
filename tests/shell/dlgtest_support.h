// Shared pieces of the command dialog tests: a private program folder, a session over a few
// files on disk, a front host that records what it is told, and a dialog runner that plays the
// user's part without a modal loop.
#pragma once

#include <QDialog>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <QtTest>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/codepage.h"
#include "model/host.h"
#include "model/item.h"
#include "session/session.h"
#include "shell/commands.h"

namespace dlgtest {

inline std::string Sj(const char* utf8) {
    return *dov::Utf8ToCp932(utf8);
}

class RecordingFront : public dov::IHost {
  public:
    dov::MsgAnswer Message(const std::string& text, dov::MsgKind kind, dov::MsgIcon,
                           const std::string&) override {
        messages.push_back(text);
        return kind == dov::MsgKind::YesNo ? dov::MsgAnswer::No : dov::MsgAnswer::Ok;
    }
    std::vector<std::string> messages;  // CP932
};

// A temporary folder that is also the program's own folder (DOVRETH_HOME), with files in
// "work" loaded into a session whose list shows them, all selected.
class Fixture {
  public:
    explicit Fixture(const std::vector<const char*>& files = {}) {
        QVERIFY(dir.isValid());
        qputenv("DOVRETH_HOME", dir.path().toUtf8());
        QDir(dir.path()).mkpath("work");
        for (const char* f : files) {
            QFile file(dir.path() + "/work/" + QString::fromUtf8(f));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        session = std::make_unique<dov::CSession>(front);
        if (files.empty()) return;
        session->LoadPaths({*dov::Utf8ToCp932((dir.path() + "/work").toStdString())});
        session->ShowFolder(session->FindFolder("work"));
        session->SelectAll();
    }
    std::vector<std::string> NewNames() const {
        std::vector<std::string> names;
        for (int r = 0; r < session->RowCount(); ++r)
            names.push_back(session->RowItem(r)->m_strNewName);
        return names;
    }

    QTemporaryDir dir;
    RecordingFront front;
    std::unique_ptr<dov::CSession> session;
};

// A dialog runner for dov::CommandUi: `play` fills in the dialog (cast to the type the
// command shows) and presses OK or Cancel; the runner reports what a modal run would return.
template <class Dlg>
std::function<int(QDialog&)> Play(std::function<void(Dlg&)> play, int* pShown = nullptr) {
    return [play, pShown](QDialog& d) {
        auto* dlg = qobject_cast<Dlg*>(&d);
        if (pShown) ++*pShown;
        if (!dlg) return int(QDialog::Rejected);
        dlg->show();
        play(*dlg);
        dlg->hide();
        return dlg->result();
    };
}

}  // namespace dlgtest
