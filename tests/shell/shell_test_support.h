// Helpers shared by the window tests.
#pragma once

#include <QApplication>
#include <QString>
#include <QTest>
#include <string>
#include <vector>

#include "common/codepage.h"
#include "common/fs.h"
#include "shell/filesort.h"
#include "shell/qthost.h"

namespace shelltest {

inline std::string Cp(const std::string& utf8) {
    return *dov::Utf8ToCp932(utf8);
}

// The entries of a disk folder as the file dialog lists them, keeping those named.
inline std::vector<dov::EntryInfo> Pick(const std::string& folderUtf8,
                                        const std::vector<std::string>& namesUtf8) {
    std::vector<dov::EntryInfo> all, out;
    dov::ListFolderEntries(Cp(folderUtf8), all);
    for (const auto& n : namesUtf8)
        for (const auto& e : all)
            if (e.name == Cp(n)) out.push_back(e);
    return out;
}

// Answers every message box with the default and keeps the texts.
inline void AnswerDefaults(dov::QtHost* host) {
    host->SetAnswerer([](const QString&, dov::MsgKind kind) {
        return kind == dov::MsgKind::YesNo ? dov::MsgAnswer::No : dov::MsgAnswer::Ok;
    });
}

inline bool SawMessage(dov::QtHost* host, const QString& text) {
    for (const auto& m : host->Messages())
        if (m.contains(text)) return true;
    return false;
}

}  // namespace shelltest

#define DOV_QTEST_MAIN(Class)                    \
    int main(int argc, char** argv) {            \
        qputenv("QT_QPA_PLATFORM", "offscreen"); \
        QApplication app(argc, argv);            \
        Class t;                                 \
        return QTest::qExec(&t, argc, argv);     \
    }
