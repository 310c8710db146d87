// Replacement by regular expression (PCRE2), over CP932 names.
//
// The pattern, the replacement and each name go to UTF-8 through the bridge; PCRE2 runs in
// UTF mode over them and the result comes back through the bridge. The replacement may name
// captures as $1-$9 (or $n, ${n} for any group), ${name}, and $$ is a dollar sign; every other
// character is literal.
//
// A catastrophic pattern cannot hang a run: each match attempt has a match limit, a depth limit
// and a heap limit, and a name on which one is reached is left unchanged (Failed). Names are at
// most a few hundred bytes, so with these limits every name ends quickly; the caller polls STOP
// between names.
#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace dov {

class CRegexReplace {
  public:
    CRegexReplace();
    ~CRegexReplace();
    CRegexReplace(const CRegexReplace&) = delete;
    CRegexReplace& operator=(const CRegexReplace&) = delete;

    // Compiles the pattern and checks the replacement (CP932 texts). bAll replaces every hit
    // instead of the first; bIgnoreCase matches regardless of case. On a bad pattern or
    // replacement returns false and *pErr says what is wrong and at which character (counted
    // from 1), as CP932 text; nothing is kept from the previous pattern.
    bool Compile(std::string_view pattern, std::string_view replacement, bool bAll,
                 bool bIgnoreCase, std::string* pErr);
    bool IsCompiled() const;

    enum Result { Unchanged = 0, Changed = 1, Failed = -1 };
    // Replaces in the CP932 name. Failed (name untouched) when the name or the result cannot
    // pass the bridge, or a limit was reached; *pErr (optional) then says which.
    Result Replace(std::string& name, std::string* pErr = nullptr) const;
    // Whether the pattern matches somewhere in the name (false on failure).
    bool Matches(std::string_view name) const;

    // Limits of one match attempt (PCRE2's match, depth and heap limits; heap in KiB).
    static constexpr unsigned kMatchLimit = 1000000;
    static constexpr unsigned kDepthLimit = 10000;
    static constexpr unsigned kHeapLimitKiB = 16384;

  private:
    struct Impl;
    std::unique_ptr<Impl> m_p;
};

}  // namespace dov
