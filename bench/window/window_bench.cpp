// The window's direct rename of N files (default 100,000) in one folder, on the offscreen
// platform, against dovreth-cli doing the same on a folder made the same way, in one run:
// the window is timed from the rename command to the end of its worker (the rows refreshed),
// dovreth-cli as a whole process (load, edit, rename with its log). Making the files, the load
// and the edit of the window are not timed.
//
//   window_bench [path/to/dovreth-cli] [N]
#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "common/codepage.h"
#include "common/fs.h"
#include "session/session.h"
#include "shell/filesort.h"
#include "shell/listpane.h"
#include "shell/mainframe.h"
#include "shell/qthost.h"
#include "shell/treepane.h"
#include "shell/view.h"

namespace fs = std::filesystem;

namespace {

void MakeFiles(const fs::path& folder, int n) {
    fs::remove_all(folder);
    fs::create_directories(folder);
    char name[32];
    for (int i = 1; i <= n; ++i) {
        std::snprintf(name, sizeof name, "file_%06d.txt", i);
        std::ofstream(folder / name);
    }
}

double Seconds(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    const std::string cli = fs::absolute(argc > 1 ? argv[1] : "build/src/cli/dovreth-cli").string();
    const int n = argc > 2 ? std::atoi(argv[2]) : 100000;
    char tmpl[] = "/tmp/dovreth-window-bench-XXXXXX";
    if (!mkdtemp(tmpl)) return 2;
    const fs::path work = tmpl;
    fs::create_directories(work / "home");
    setenv("DOVRETH_HOME", (work / "home").c_str(), 1);
    std::ofstream(work / "paste.txt") << "SelectListAll()\nPasteLeftListString(\"p_\")\n";

    // dovreth-cli first, as a whole process.
    MakeFiles(work / "files", n);
    const std::string cmd = "cd '" + work.string() + "' && '" + cli +
                            "' files --folder files --select-all --exec "
                            "'PasteLeftListString(\"p_\")' --rename >/dev/null 2>&1";
    auto t0 = std::chrono::steady_clock::now();
    if (std::system(cmd.c_str()) != 0) std::fprintf(stderr, "window_bench: dovreth-cli failed\n");
    const double cliSecs = Seconds(t0);

    QApplication app(argc, argv);
    MakeFiles(work / "files", n);
    dov::CMainFrame frame;
    dov::CKestrelView* view = frame.View();
    view->Host()->SetAnswerer([](const QString&, dov::MsgKind kind) {
        return kind == dov::MsgKind::YesNo ? dov::MsgAnswer::Yes : dov::MsgAnswer::Ok;
    });
    frame.resize(1000, 700);
    frame.show();
    auto waitIdle = [&] {
        while (view->WorkerRunning()) QTest::qWait(5);
    };
    std::vector<dov::EntryInfo> all, picked;
    const std::string folder = *dov::Utf8ToCp932(work.string());
    dov::ListFolderEntries(folder, all);
    for (const auto& e : all)
        if (e.name == "files") picked.push_back(e);
    view->LoadEntries(folder, picked);
    waitIdle();
    view->Pane().ShowFolderNode(
        view->Pane().TreePane().NodeOf(view->Session().FindFolder("files")));
    view->Session().RunMacroFile(*dov::Utf8ToCp932((work / "paste.txt").string()));
    waitIdle();

    t0 = std::chrono::steady_clock::now();
    view->OnRename();
    waitIdle();
    const double windowSecs = Seconds(t0);
    std::size_t renamed = 0;
    for (const auto& e : fs::directory_iterator(work / "files"))
        renamed += e.path().filename().string().rfind("p_", 0) == 0;

    std::printf("%d files, prefix \"p_\"\n", n);
    std::printf("  dovreth-cli   %8.3f s\n", cliSecs);
    std::printf("  window        %8.3f s   %5.2f x dovreth-cli   (%zu renamed)\n", windowSecs,
                windowSecs / cliSecs, renamed);
    fs::remove_all(work);
    return renamed == static_cast<std::size_t>(n) ? 0 : 1;
}
