// Every edit on random CP932 names with random keywords ends, keeps every double-byte
// character whole, and never makes a name longer than the input plus the texts it inserts.
#include <gtest/gtest.h>

#include <random>

#include "common/sjis.h"
#include "edit/name_edit.h"
#include "edit/name_limit.h"
#include "edit/serial.h"
#include "edit_fixture.h"

namespace {

using edittest::Host;
using edittest::Tree;

class Gen {
  public:
    explicit Gen(unsigned seed) : rng_(seed) {}
    int Int(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }

    // One whole character: mostly a small alphabet so that keywords hit often.
    std::string Char(bool wildChars) {
        switch (Int(0, 9)) {
            case 0:
                return std::string(1, static_cast<char>(Int(0xA1, 0xDF)));  // half-width kana
            case 1: {
                std::string s(1, static_cast<char>(Int(0x81, 0x9F)));
                const int t = Int(0x40, 0xFB);
                s += static_cast<char>(t == 0x7F ? 0x80 : t);
                return s;
            }
            case 2:
                return std::string(1, "0123456789"[Int(0, 9)]);
            case 3:
                return std::string(1, ".-_[]()"[Int(0, 6)]);
            case 4:
                if (wildChars) return std::string(1, "*?\\"[Int(0, 2)]);
                [[fallthrough]];
            default:
                return std::string(1, "abcAB"[Int(0, 4)]);
        }
    }
    std::string Text(int maxChars, bool wildChars) {
        std::string s;
        const int n = Int(0, maxChars);
        for (int i = 0; i < n; ++i) s += Char(wildChars);
        return s;
    }

  private:
    std::mt19937 rng_;
};

// No lead byte without its trail byte: the name is still made of whole characters.
bool WholeCharacters(const std::string& s) {
    for (std::size_t p = 0; p < s.size(); p += SjisCharLen(s, p)) {
        if (IsSjisLeadByte(static_cast<unsigned char>(s[p])) && SjisCharLen(s, p) != 2)
            return false;
    }
    return true;
}

TEST(RandomEdit, EveryOperationEndsAndStaysBounded) {
    Tree tree;
    // Thousands of refused searches would only fill the trace.
    struct TraceOff {
        TraceOff() { dov::SetTraceEnabled(false); }
        ~TraceOff() { dov::SetTraceEnabled(true); }
    } traceOff;
    Gen gen(20240601);
    CMyRegExp re;
    Host host;
    dov::KeyWordSettings keys;
    dov::CNameEdit edit(re, host, keys);
    dov::CSerialNumber serial(re, host);
    for (int round = 0; round < 4000; ++round) {
        const std::string name = gen.Text(14, false);
        keys.UseWildCard = gen.Int(0, 1);
        keys.EnableAllTarget = gen.Int(0, 3) != 0;
        keys.Key1 = gen.Text(3, keys.UseWildCard != 0);
        keys.Key2 = gen.Text(3, keys.UseWildCard != 0);
        CMyItem* it = tree.File(name);
        const std::size_t n = name.size();
        const std::size_t k1 = keys.Key1.size(), k2 = keys.Key2.size();
        struct Bound {
            int op;
            std::size_t max;
        } bounds[] = {
            {dov::EDIT_CUT_LEFT, n},
            {dov::EDIT_CUT_RIGHT, n},
            {dov::EDIT_CUT_KEY, n},
            {dov::EDIT_CUT_BOUND1, n},
            {dov::EDIT_CUT_BOUND2, n},
            {dov::EDIT_PASTE_LEFT, n + k1},
            {dov::EDIT_PASTE_RIGHT, n + k1},
            // At most one insertion per non-empty, non-overlapping hit.
            {dov::EDIT_PASTE_KEY_LEFT, n + n * k2},
            {dov::EDIT_PASTE_KEY_RIGHT, n + n * k2},
            {dov::EDIT_REPLACE, n + n * k2},
            {dov::EDIT_RESET_NAME, n},
        };
        for (const Bound& b : bounds) {
            it->m_strNewName = name;
            edit.RunEditCommand(b.op, {it});
            ASSERT_LE(it->m_strNewName.size(), b.max)
                << "op " << b.op << " name " << name << " keys " << keys.Key1 << " / " << keys.Key2;
            ASSERT_TRUE(WholeCharacters(it->m_strNewName)) << "op " << b.op << " " << name;
        }
        for (int fromRight = 0; fromRight < 2; ++fromRight) {
            it->m_strNewName = name;
            if (fromRight)
                edit.CutItemStrFromRight(it, keys.Key1, keys.UseWildCard, gen.Int(0, 1));
            else
                edit.CutItemStrFromLeft(it, keys.Key1, keys.UseWildCard);
            ASSERT_LE(it->m_strNewName.size(), n);
            ASSERT_TRUE(WholeCharacters(it->m_strNewName));
        }

        dov::SerialSettings s;
        s.InsertPosType = gen.Int(0, 6);
        s.InsertPosKey1 = keys.Key1;
        s.InsertPosKey2 = keys.Key2;
        s.UseWildCard = keys.UseWildCard;
        s.SeparateType = gen.Int(0, 3);
        s.DigitType = gen.Int(0, 1);
        s.DigitSize = gen.Int(1, 8);
        it->m_strNewName = name;
        serial.SerialNumberByDetail(s, {it});
        ASSERT_LE(it->m_strNewName.size(), n + 2 + 8 + 1);
        ASSERT_TRUE(WholeCharacters(it->m_strNewName));

        it->m_strNewName = name;
        const int limit = gen.Int(0, 12);
        dov::LimitNameLength(it, limit);
        ASSERT_LE(it->m_strNewName.size(), n);
        ASSERT_TRUE(WholeCharacters(it->m_strNewName));
        const int dot = it->GetExtPos(1);
        const std::size_t ext = dot >= 0 ? it->m_strNewName.size() - dot : 0;
        if (static_cast<int>(ext) <= limit) {
            ASSERT_LE(it->m_strWriteName.size(), static_cast<std::size_t>(limit)) << name;
        }
    }
}

}  // namespace
