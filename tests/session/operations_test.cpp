// The table of operations: every row is well formed and reachable from a macro statement and
// from the session (the window's and dovreth-cli's reach is walked in their own tests).
#include "session/operations.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

#include "common/codepage.h"
#include "session/session.h"
#include "support/test_support.h"

namespace {

// The arguments each kind of macro argument handling reads, as a signature.
const std::map<dov::MacroArgs, std::string> kArgSignature = {
    {dov::MacroArgs::Key1, "S"},           {dov::MacroArgs::FlagKey1, "DS"},
    {dov::MacroArgs::FlagKey1Arg2, "DDS"}, {dov::MacroArgs::FlagKey12, "DDSS"},
    {dov::MacroArgs::SerialPos, "DSSS"},   {dov::MacroArgs::SerialSepPos, "SSS"},
    {dov::MacroArgs::SerialDigit, "SD"},   {dov::MacroArgs::SerialUpDown, "S"},
    {dov::MacroArgs::SerialPreset, "SD"},  {dov::MacroArgs::SerialDelta, "SD"},
};

TEST(Operations, RowsAreWellFormed) {
    std::set<int> ids;
    std::set<std::pair<dov::MenuPlace, int>> places;
    std::set<std::string> macros, clis;
    for (const dov::Operation& op : dov::Operations()) {
        SCOPED_TRACE(op.id);
        EXPECT_TRUE(ids.insert(op.id).second);
        EXPECT_EQ(dov::FindOperation(op.id), &op);
        EXPECT_EQ(op.menuText != nullptr, op.place != dov::MenuPlace::None);
        if (op.menuText) {
            EXPECT_TRUE(places.insert({op.place, op.menuOrder}).second);
        }
        EXPECT_EQ(op.asks == dov::Asks::KeyWords, op.keyWords != nullptr);
        if (op.cli) {
            EXPECT_TRUE(clis.insert(op.cli).second);
        }
        // A row is offered somewhere, and does something or takes settings from a macro.
        EXPECT_TRUE(op.menuText || op.cli || !op.macros.empty());
        for (const dov::MacroSpelling& m : op.macros) {
            EXPECT_TRUE(macros.insert(std::string(m.name) + "_" + m.signature).second) << m.name;
            // The arguments read by position are those the signature promises.
            if (auto it = kArgSignature.find(m.args); it != kArgSignature.end()) {
                EXPECT_EQ(m.signature, it->second) << m.name;
            }
        }
    }
    EXPECT_EQ(dov::FindOperation(1234), nullptr);
}

class OperationsReach : public ::testing::Test {
  protected:
    dovtest::TempDir tmp;
    dovtest::RecordingHost host;
    dov::CSession s{host};

    void SetUp() override {
        tmp.WriteFile("d/a.txt");
        tmp.WriteFile("d/b.txt");
        ASSERT_EQ(s.LoadPaths({*dov::Utf8ToCp932(tmp / "d")}), 1);
        s.ShowFolder(s.FindFolder("d"));
        s.SelectAll();
    }
};

TEST_F(OperationsReach, EveryMacroFunctionRunsItsRow) {
    const auto functions = dov::MacroFunctions();
    for (std::size_t i = 0; i < functions.size(); ++i) {
        const dov::MacroSpelling& m = *functions[i].spelling;
        std::string statement = std::string(m.name) + "(";
        for (const char* c = m.signature; *c; ++c)
            statement += std::string(c == m.signature ? "" : ", ") + (*c == 'D' ? "1" : "\"x\"");
        statement += ")";
        const dov::StatementResult r = s.RunStatement(statement);
        EXPECT_EQ(r.problem, dov::StatementResult::Problem::None) << statement;
        EXPECT_FALSE(s.flags.quitReq.load()) << statement;
    }
}

TEST_F(OperationsReach, TheSessionRunsEveryRowWithARun) {
    s.settings.infoTemplates = {"{parent}"};  // 情報を貼り付け refuses to run without one
    for (const dov::Operation& op : dov::Operations()) {
        s.SelectAll();
        const int changed = s.RunListCommand(op.id);
        if (op.run) {
            EXPECT_GE(changed, 0) << op.id;
        } else {
            EXPECT_EQ(changed, -1) << op.id;
        }
    }
    EXPECT_EQ(s.RunListCommand(1234), -1);
}

}  // namespace
