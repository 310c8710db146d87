// libFuzzer target for the keyword matcher: keyword, name and start offset all come from the
// input. Every hit must lie inside the name, start at or after the start offset and never split
// a double-byte character; the hit must be the one an independent, plain backtracking matcher
// finds; a keyword without wildcards must hit where the plain search does; and a matcher object
// reused across searches (as the edit commands reuse theirs) must answer like a fresh one.
//
// Input layout: byte 0 = keyword length (taken modulo what is left), byte 1 = start offset,
// then the keyword, then the name.
//
// Run by hand:
//   ./regexp_fuzz -max_len=1024 corpus_dir
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "common/sjis.h"
#include "common/trace.h"
#include "edit/name_edit.h"
#include "edit/regexp.h"

namespace {

void Check(bool ok) {
    if (!ok) std::abort();
}

// ---- Reference matcher ---------------------------------------------------------------------
// Written from the rules of the keyword language, not from the matcher's code: the keyword is
// read character by character into tokens, and a match is a plain recursive search in which a
// '*' followed by more tokens tries the shortest run first and a trailing '*' takes the rest.

enum class Tok { Lit, Any, One, Digit, NonDigit, Alpha, NonAlpha, Alnum, NonAlnum };

struct Token {
    Tok type;
    std::string text;  // Lit: one character (1, 2 or 4 bytes)
};

std::vector<Token> Tokenize(std::string_view key) {
    std::vector<Token> out;
    std::size_t p = 0;
    while (p < key.size()) {
        const std::size_t len = SjisCharLen(key, p);
        const char c = key[p];
        if (len >= 2) {  // a double-byte character, or a pair of user-defined ones
            out.push_back({Tok::Lit, std::string(key.substr(p, len))});
            p += len;
        } else if (c == '*') {
            if (out.empty() || out.back().type != Tok::Any) out.push_back({Tok::Any, {}});
            ++p;
        } else if (c == '?') {
            out.push_back({Tok::One, {}});
            ++p;
        } else if (c == '\\') {
            if (p + 1 >= key.size()) break;  // a trailing backslash is dropped
            const char x = key[p + 1];
            Tok t = Tok::Lit;
            switch (x) {
                case 'd':
                    t = Tok::Digit;
                    break;
                case 'D':
                    t = Tok::NonDigit;
                    break;
                case 'a':
                    t = Tok::Alpha;
                    break;
                case 'A':
                    t = Tok::NonAlpha;
                    break;
                case 'n':
                    t = Tok::Alnum;
                    break;
                case 'N':
                    t = Tok::NonAlnum;
                    break;
                default:
                    break;
            }
            if (t != Tok::Lit) {
                out.push_back({t, {}});
                p += 2;
            } else {
                const std::size_t l = SjisCharLen(key, p + 1);
                out.push_back({Tok::Lit, std::string(key.substr(p + 1, l))});
                p += 1 + l;
            }
        } else {
            out.push_back({Tok::Lit, std::string(1, c)});
            ++p;
        }
    }
    return out;
}

bool IsDigit(unsigned char c) {
    return c >= '0' && c <= '9';
}
bool IsAlpha(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

class RefMatcher {
  public:
    RefMatcher(std::vector<Token> toks, std::string_view name)
        : toks_(std::move(toks)),
          name_(name),
          memo_((toks_.size() + 1) * (name.size() + 1), kUnknown),
          start_(name.size() + 1, 0) {
        for (std::size_t p = 0; p < name_.size(); p += SjisCharLen(name_, p)) start_[p] = 1;
        start_[name_.size()] = 1;
    }
    bool IsStart(std::size_t p) const { return start_[p] != 0; }
    // Leftmost hit at a character start >= from; -1 when none.
    int Find(std::size_t from, int& len) {
        len = 0;
        if (toks_.empty() || name_.empty()) return -1;
        for (std::size_t s = from; s <= name_.size(); ++s) {
            if (!IsStart(s)) continue;
            const int e = Match(0, s);
            if (e >= 0) {
                len = e - static_cast<int>(s);
                return static_cast<int>(s);
            }
        }
        return -1;
    }

  private:
    static constexpr int kUnknown = -2;
    int Match(std::size_t i, std::size_t pos) {
        int& m = memo_[i * (name_.size() + 1) + pos];
        if (m == kUnknown) m = Compute(i, pos);
        return m;
    }
    int Compute(std::size_t i, std::size_t pos) {
        if (i == toks_.size()) return static_cast<int>(pos);
        const Token& t = toks_[i];
        if (t.type == Tok::Any) {
            if (i + 1 == toks_.size()) return static_cast<int>(name_.size());
            for (std::size_t q = pos; q <= name_.size(); ++q) {
                if (!IsStart(q)) continue;
                const int e = Match(i + 1, q);
                if (e >= 0) return e;
            }
            return -1;
        }
        if (pos >= name_.size()) return -1;
        const std::size_t cl = SjisCharLen(name_, pos);
        const auto b = static_cast<unsigned char>(name_[pos]);
        bool ok = false;
        switch (t.type) {
            case Tok::Lit:
                ok = cl == t.text.size() && name_.substr(pos, cl) == t.text;
                break;
            case Tok::One:
                ok = true;
                break;
            case Tok::Digit:
                ok = cl == 1 && IsDigit(b);
                break;
            case Tok::NonDigit:
                ok = cl == 1 && !IsDigit(b);
                break;
            case Tok::Alpha:
                ok = cl == 1 && IsAlpha(b);
                break;
            case Tok::NonAlpha:
                ok = cl == 1 && !IsAlpha(b);
                break;
            case Tok::Alnum:
                ok = cl == 1 && (IsAlpha(b) || IsDigit(b));
                break;
            case Tok::NonAlnum:
                ok = cl == 1 && !IsAlpha(b) && !IsDigit(b);
                break;
            case Tok::Any:
                break;
        }
        return ok ? Match(i + 1, pos + cl) : -1;
    }

    std::vector<Token> toks_;
    std::string_view name_;
    std::vector<int> memo_;
    std::vector<unsigned char> start_;
};

bool HasWildcardByte(std::string_view key) {
    return key.find_first_of("*?\\") != std::string_view::npos;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The trace log would grow without end; the matcher's logic is what is fuzzed here.
    dov::SetTraceEnabled(false);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const std::size_t rest = size - 2;
    const std::size_t klen = rest == 0 ? 0 : data[0] % (rest + 1);
    const int iStart = data[1];
    const std::string key(reinterpret_cast<const char*>(data) + 2, klen);
    const std::string name(reinterpret_cast<const char*>(data) + 2 + klen, rest - klen);

    CMyRegExp fresh;
    int len = -1;
    const int pos = fresh.Find(name, key, iStart, len);
    Check(pos >= -1);
    if (pos < 0) {
        Check(len == 0);
    } else {
        Check(!key.empty() && !name.empty());
        Check(pos >= iStart && len >= 0);
        Check(static_cast<std::size_t>(pos) + static_cast<std::size_t>(len) <= name.size());
        // Both ends on character boundaries.
        std::size_t p = 0;
        while (p < static_cast<std::size_t>(pos)) p += SjisCharLen(name, p);
        Check(p == static_cast<std::size_t>(pos));
        while (p < static_cast<std::size_t>(pos + len)) p += SjisCharLen(name, p);
        Check(p == static_cast<std::size_t>(pos + len));
    }

    // The reference matcher, for sizes where it stays quick.
    if (key.size() <= 48 && name.size() <= 300) {
        RefMatcher ref(Tokenize(key), name);
        int refLen = 0;
        const int refPos =
            static_cast<std::size_t>(iStart) > name.size() ? -1 : ref.Find(iStart, refLen);
        Check(refPos == pos && refLen == len);
    }

    // Without wildcards the matcher and the plain search agree.
    if (!HasWildcardByte(key)) {
        int plainLen = 0;
        const int plainPos = dov::FindKeyHit(fresh, name, key, iStart, false, &plainLen);
        Check(plainPos == pos && plainLen == len);
    }

    // A reused object (it keeps the split keyword between searches) answers like a fresh one,
    // also when the target changes under the same keyword.
    static CMyRegExp reused;
    int reLen = -1;
    Check(reused.Find(name, key, iStart, reLen) == pos && reLen == len);
    const std::string other = name.substr(name.size() / 2);
    CMyRegExp fresh2;
    int l1 = -1, l2 = -1;
    const int p1 = reused.Find(other, key, 0, l1);
    const int p2 = fresh2.Find(other, key, 0, l2);
    Check(p1 == p2 && l1 == l2);
    return 0;
}
