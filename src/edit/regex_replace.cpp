#define PCRE2_CODE_UNIT_WIDTH 8
#include "edit/regex_replace.h"

#include <pcre2.h>

#include <cstdio>

#include "common/codepage.h"

namespace dov {
namespace {

std::string ErrorText(int code) {
    PCRE2_UCHAR buf[256];
    if (pcre2_get_error_message(code, buf, sizeof buf) < 0) return "error " + std::to_string(code);
    return reinterpret_cast<const char*>(buf);
}

// Characters (not bytes) of UTF-8 text before a byte offset, plus one.
std::size_t CharNumber(std::string_view utf8, std::size_t offset) {
    std::size_t n = 1;
    for (std::size_t i = 0; i < offset && i < utf8.size(); ++i)
        if ((static_cast<unsigned char>(utf8[i]) & 0xC0) != 0x80) ++n;
    return n;
}

std::string At(std::size_t pos) {
    return std::to_string(pos) + "文字目";
}

}  // namespace

struct CRegexReplace::Impl {
    pcre2_code* code = nullptr;
    pcre2_match_context* mctx = nullptr;
    std::string replacement;  // UTF-8
    bool all = false;
    ~Impl() {
        pcre2_code_free(code);
        pcre2_match_context_free(mctx);
    }
};

CRegexReplace::CRegexReplace() = default;
CRegexReplace::~CRegexReplace() = default;

bool CRegexReplace::IsCompiled() const {
    return m_p && m_p->code;
}

bool CRegexReplace::Compile(std::string_view pattern, std::string_view replacement, bool bAll,
                            bool bIgnoreCase, std::string* pErr) {
    m_p.reset();
    auto fail = [&](std::string msg) {
        if (pErr) *pErr = Utf8ToCp932(msg).value_or(msg);
        return false;
    };
    auto pat = Cp932ToUtf8(pattern);
    if (!pat) return fail("検索する文字列を変換できません");
    auto rep = Cp932ToUtf8(replacement);
    if (!rep) return fail("置き換える文字列を変換できません");
    auto impl = std::make_unique<Impl>();
    int errCode = 0;
    PCRE2_SIZE errOffset = 0;
    impl->code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pat->data()), pat->size(),
                               PCRE2_UTF | PCRE2_UCP | (bIgnoreCase ? PCRE2_CASELESS : 0u),
                               &errCode, &errOffset, nullptr);
    if (!impl->code)
        return fail("正規表現が正しくありません（" + At(CharNumber(*pat, errOffset)) +
                    "）: " + ErrorText(errCode));
    impl->mctx = pcre2_match_context_create(nullptr);
    if (!impl->mctx) return fail("メモリが足りません");
    pcre2_set_match_limit(impl->mctx, kMatchLimit);
    pcre2_set_depth_limit(impl->mctx, kDepthLimit);
    pcre2_set_heap_limit(impl->mctx, kHeapLimitKiB);

    // Every capture the replacement names must exist, so no name fails over it later.
    std::uint32_t groups = 0;
    pcre2_pattern_info(impl->code, PCRE2_INFO_CAPTURECOUNT, &groups);
    const std::string& r = *rep;
    for (std::size_t i = 0; i < r.size(); ++i) {
        if (r[i] != '$') continue;
        const std::size_t at = i;
        auto bad = [&](const char* what) {
            return fail(std::string("置き換える文字列が正しくありません（") +
                        At(CharNumber(r, at)) + "）: " + what);
        };
        if (i + 1 >= r.size()) return bad("$ の後に何もありません");
        if (r[i + 1] == '$') {
            ++i;
            continue;
        }
        std::string ref;
        if (r[i + 1] == '{') {
            const std::size_t close = r.find('}', i + 2);
            if (close == std::string::npos) return bad("} がありません");
            ref = r.substr(i + 2, close - i - 2);
            i = close;
        } else {
            std::size_t j = i + 1;
            while (j < r.size() && r[j] >= '0' && r[j] <= '9') ++j;
            ref = r.substr(i + 1, j - i - 1);
            if (ref.empty()) return bad("$ の後には番号か {名前} か $ を書きます");
            i = j - 1;
        }
        if (ref.empty()) return bad("グループの名前がありません");
        if (ref.find_first_not_of("0123456789") == std::string::npos) {
            if (ref.size() > 5 || std::stoul(ref) > groups) return bad("そのグループはありません");
        } else if (pcre2_substring_number_from_name(
                       impl->code, reinterpret_cast<PCRE2_SPTR>(ref.c_str())) < 0) {
            return bad("その名前のグループはありません");
        }
    }
    impl->replacement = r;
    impl->all = bAll;
    m_p = std::move(impl);
    return true;
}

CRegexReplace::Result CRegexReplace::Replace(std::string& name, std::string* pErr) const {
    auto fail = [&](std::string msg) {
        if (pErr) *pErr = Utf8ToCp932(msg).value_or(msg);
        return Failed;
    };
    if (!IsCompiled()) return fail("正規表現がありません");
    auto subject = Cp932ToUtf8(name);
    if (!subject) return fail("名前を変換できません");
    std::string out(subject->size() * 2 + m_p->replacement.size() + 64, '\0');
    const std::uint32_t options = PCRE2_SUBSTITUTE_UNSET_EMPTY | PCRE2_SUBSTITUTE_OVERFLOW_LENGTH |
                                  (m_p->all ? PCRE2_SUBSTITUTE_GLOBAL : 0u);
    for (int attempt = 0; attempt < 2; ++attempt) {
        PCRE2_SIZE outLen = out.size();
        const int rc = pcre2_substitute(
            m_p->code, reinterpret_cast<PCRE2_SPTR>(subject->data()), subject->size(), 0, options,
            nullptr, m_p->mctx, reinterpret_cast<PCRE2_SPTR>(m_p->replacement.data()),
            m_p->replacement.size(), reinterpret_cast<PCRE2_UCHAR*>(out.data()), &outLen);
        if (rc == PCRE2_ERROR_NOMEMORY && attempt == 0) {
            out.assign(outLen + 1, '\0');
            continue;
        }
        if (rc < 0) return fail(ErrorText(rc));
        if (rc == 0) return Unchanged;
        out.resize(outLen);
        auto back = Utf8ToCp932(out);
        if (!back) return fail("置き換えた名前を変換できません");
        if (*back == name) return Unchanged;
        name = std::move(*back);
        return Changed;
    }
    return fail(ErrorText(PCRE2_ERROR_NOMEMORY));
}

bool CRegexReplace::Matches(std::string_view name) const {
    if (!IsCompiled()) return false;
    auto subject = Cp932ToUtf8(name);
    if (!subject) return false;
    pcre2_match_data* md = pcre2_match_data_create_from_pattern(m_p->code, nullptr);
    if (!md) return false;
    const int rc = pcre2_match(m_p->code, reinterpret_cast<PCRE2_SPTR>(subject->data()),
                               subject->size(), 0, 0, md, m_p->mctx);
    pcre2_match_data_free(md);
    return rc > 0;
}

}  // namespace dov
