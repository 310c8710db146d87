// Name-editing benchmark: 100,000 file items under one folder, every edit command over all of
// them as selected rows. Prints the time of each command, with the trace log on and off.
//
//   edit_bench [items]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "common/trace.h"
#include "edit/name_edit.h"
#include "edit/name_limit.h"
#include "edit/serial.h"
#include "model/item.h"

namespace {

using Clock = std::chrono::steady_clock;

struct NullListHost : dov::IHost {
    dov::MsgAnswer Message(const std::string&, dov::MsgKind kind, dov::MsgIcon,
                           const std::string&) override {
        return kind == dov::MsgKind::YesNo ? dov::MsgAnswer::No : dov::MsgAnswer::Ok;
    }
    void ListRowChanged(int) override { ++rows; }
    long long rows = 0;
};

struct Bench {
    std::unique_ptr<CMyItem> root;
    CMyItem* folder = nullptr;
    std::vector<CMyItem*> rows;

    explicit Bench(int n) {
        root = MakeRootItem(dov::DefaultTracePath(), false);
        folder = root->MakeSubFold();
        folder->m_strNewName = folder->m_strOrgName = "bench";
        char buf[64];
        for (int i = 0; i < n; ++i) {
            CMyItem* it = folder->MakeSubFile();
            std::snprintf(buf, sizeof buf, "photo_%06d-[take%d]_2004.jpg", i, i % 7);
            it->m_strOrgName = it->m_strNewName = buf;
            it->m_strOrgExt = "jpg";
            it->UpdateWriteName();
            rows.push_back(it);
        }
    }
    void Reset() {
        for (CMyItem* it : rows) it->m_strNewName = it->m_strOrgName;
    }
};

template <class Fn>
double Time(Bench& b, Fn fn) {
    b.Reset();
    const auto t0 = Clock::now();
    fn();
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

void RunAll(Bench& b, bool trace) {
    dov::SetTraceEnabled(trace);
    CMyRegExp re;
    NullListHost host;
    dov::KeyWordSettings keys;
    dov::CNameEdit edit(re, host, keys);
    dov::CSerialNumber serial(re, host);
    std::printf("\n-- trace %s, %zu rows --\n", trace ? "on" : "off", b.rows.size());

    struct Op {
        const char* name;
        int code;
        const char* k1;
        const char* k2;
        int wild;
        int all;
    } ops[] = {
        {"2021 StrCutLeft", dov::EDIT_CUT_LEFT, "_", "", 0, 0},
        {"2022 StrCutRight", dov::EDIT_CUT_RIGHT, "_", "", 0, 0},
        {"2023 StrCutKey all", dov::EDIT_CUT_KEY, "_", "", 0, 1},
        {"2023 StrCutKey wild all", dov::EDIT_CUT_KEY, "\\d", "", 1, 1},
        {"2024 KeyBound1 all", dov::EDIT_CUT_BOUND1, "[", "]", 0, 1},
        {"2025 KeyBound2 wild all", dov::EDIT_CUT_BOUND2, "[*", "]", 1, 1},
        {"2031 PasteLeft", dov::EDIT_PASTE_LEFT, "x_", "", 0, 0},
        {"2032 PasteRight", dov::EDIT_PASTE_RIGHT, "_x", "", 0, 0},
        {"2033 PasteKeyLeft all", dov::EDIT_PASTE_KEY_LEFT, "_", "#", 0, 1},
        {"2034 PasteKeyRight wild all", dov::EDIT_PASTE_KEY_RIGHT, "?_", "#", 1, 1},
        {"2006 Replace all", dov::EDIT_REPLACE, "0", "zero", 0, 1},
        {"2006 Replace wild all", dov::EDIT_REPLACE, "t*e", "T", 1, 1},
        {"2008 ResetItemName", dov::EDIT_RESET_NAME, "", "", 0, 0},
    };
    for (const Op& op : ops) {
        keys.Key1 = op.k1;
        keys.Key2 = op.k2;
        keys.UseWildCard = op.wild;
        keys.EnableAllTarget = op.all;
        const double ms = Time(b, [&] { edit.RunEditCommand(op.code, b.rows); });
        std::printf("%-32s %9.1f ms\n", op.name, ms);
    }
    std::printf("%-32s %9.1f ms\n", "2011 cut extension",
                Time(b, [&] { edit.CutExtensionCommand(b.rows); }));
    std::printf("%-32s %9.1f ms\n", "2012 restore extension",
                Time(b, [&] { edit.RestoreExtensionCommand(b.rows); }));
    std::vector<bool> sel(b.rows.size(), false);
    std::printf("%-32s %9.1f ms\n", "2005 select by key (wild)",
                Time(b, [&] { edit.SelectItemsByKey(b.rows, sel, "take3", true); }));
    std::printf("%-32s %9.1f ms\n", "2041 serial quick",
                Time(b, [&] { serial.SerialNumberQuick(2041, b.rows); }));
    std::printf("%-32s %9.1f ms\n", "2045 serial simple",
                Time(b, [&] { serial.SerialNumberSimple(998, true, b.rows); }));
    dov::SerialSettings s;
    s.InsertPosType = dov::POS_KEYBOUND;
    s.InsertPosKey1 = "[";
    s.InsertPosKey2 = "]";
    s.DigitType = dov::DIGIT_MANUAL;
    s.DigitSize = 6;
    std::printf("%-32s %9.1f ms\n", "2047 serial detail (key bound)",
                Time(b, [&] { serial.SerialNumberByDetail(s, b.rows); }));
    std::printf("%-32s %9.1f ms\n", "2026 length limit 12",
                Time(b, [&] { dov::LimitNameLengthCommand(b.rows, 12, false, host); }));
    std::printf("%-32s %9.1f ms\n", "2026 into folders (folder row)",
                Time(b, [&] { dov::LimitNameLengthCommand({b.folder}, 16, true, host); }));
    keys.Key1 = "_";
    keys.EffectSubItem = 1;
    keys.EnableAllTarget = 1;
    keys.UseWildCard = 0;
    std::printf("%-32s %9.1f ms\n", "2023 into folders (folder row)",
                Time(b, [&] { edit.RunEditCommand(dov::EDIT_CUT_KEY, {b.folder}); }));
    dov::SetTraceEnabled(true);
}

}  // namespace

int main(int argc, char** argv) {
    const int n = argc > 1 ? std::atoi(argv[1]) : 100000;
    // The program's own folder for the trace: a fresh temporary one unless given.
    std::string home;
    if (!std::getenv("DOVRETH_HOME")) {
        home = (std::filesystem::temp_directory_path() / "dovreth_edit_bench").string();
        std::filesystem::create_directories(home);
        setenv("DOVRETH_HOME", home.c_str(), 1);
    }
    const auto t0 = Clock::now();
    Bench b(n);
    std::printf("built %d items in %.1f ms\n", n,
                std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
    RunAll(b, false);
    RunAll(b, true);
    if (!home.empty()) std::filesystem::remove_all(home);
    return 0;
}
