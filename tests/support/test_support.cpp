#include "support/test_support.h"

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "common/codepage.h"
#include "common/paths.h"
#include "common/trace.h"

namespace dovtest {

TempDir::TempDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "dovreth-test-XXXXXX").string();
    if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
    path_ = tmpl;
    std::filesystem::create_directories(home());
    setenv("DOVRETH_HOME", home().c_str(), 1);
    dov::ResetProgramFolderForTest();
}

TempDir::~TempDir() {
    std::error_code ec;
    // Give back write permission that a test may have taken away, then remove everything.
    for (auto it = std::filesystem::recursive_directory_iterator(
             path_, std::filesystem::directory_options::skip_permission_denied, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_directory(ec) && !it->is_symlink(ec)) chmod(it->path().c_str(), 0755);
    }
    chmod(path_.c_str(), 0755);
    std::filesystem::remove_all(path_, ec);
}

void TempDir::WriteFile(const std::string& rel, const std::string& content) const {
    std::filesystem::path p = std::filesystem::path(path_) / rel;
    std::filesystem::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << content;
}

void TempDir::MakeDir(const std::string& rel) const {
    std::filesystem::create_directories(std::filesystem::path(path_) / rel);
}

bool TempDir::Exists(const std::string& rel) const {
    struct stat st {};
    return lstat((path_ + "/" + rel).c_str(), &st) == 0;
}

std::string TempDir::ReadFile(const std::string& rel) const {
    return ReadNative(path_ + "/" + rel);
}

std::string ReadNative(const std::string& nativePath) {
    dov::TraceFlush();  // the trace is written in blocks
    std::ifstream in(nativePath, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::string Sj(const char* utf8) {
    return dov::Sj(utf8);
}

std::string CopyReport(int ok, int failed, int taken) {
    std::string text = Sj("【 実行結果 】\n\n完了ファイル数： ") + std::to_string(ok) + "\n" +
                       Sj("失敗ファイル数： ") + std::to_string(failed) + "\n";
    if (failed == 0) return text;
    if (taken > 0)
        text += Sj("\n同名のファイルが既にあるためコピーしなかったファイル： ") +
                std::to_string(taken) + "\n";
    return text + Sj("\n失敗の理由は DataTrace.txt の「×」と「※」の行に記されています。\n");
}

int Count(const std::string& hay, const std::string& needle) {
    int n = 0;
    for (std::size_t p = hay.find(needle); p != std::string::npos; p = hay.find(needle, p + 1)) ++n;
    return n;
}

std::string HomeFile(const std::string& name) {
    return ReadNative(dov::ProgramFolderNative() + "/" + name);
}

dov::MsgAnswer RecordingHost::Message(const std::string& text, dov::MsgKind kind, dov::MsgIcon,
                                      const std::string&) {
    messages.push_back({text, kind});
    if (kind != dov::MsgKind::YesNo) return dov::MsgAnswer::Ok;
    if (answers.empty()) return dov::MsgAnswer::Yes;
    dov::MsgAnswer a = answers.front();
    answers.pop_front();
    return a;
}

bool RecordingHost::StopRequested() {
    ++polls;
    if (stopAfterPolls >= 0 && polls > stopAfterPolls) stop = true;
    return stop;
}

}  // namespace dovtest
