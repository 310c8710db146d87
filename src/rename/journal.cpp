#include "rename/journal.h"

#include <unistd.h>
#include <zlib.h>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <memory>

#include "common/paths.h"

namespace dov {
namespace {

constexpr std::string_view kMagic = "DOVRETH-JOURNAL";
constexpr std::string_view kVersion = "3";

bool NeedsEscape(unsigned char c) {
    return c < 0x21 || c == '%' || c == 0x7F;
}

// NeedsEscape for every byte value, looked up.
const std::array<bool, 256>& EscapeTable() {
    static const std::array<bool, 256> table = [] {
        std::array<bool, 256> t{};
        for (int c = 0; c < 256; ++c)
            t[static_cast<std::size_t>(c)] = NeedsEscape(static_cast<unsigned char>(c));
        return t;
    }();
    return table;
}

#if defined(__SSE2__)
// Whether any of sixteen bytes needs escaping.
bool AnyToEscape16(__m128i v) {
    const __m128i low = _mm_cmpeq_epi8(_mm_min_epu8(v, _mm_set1_epi8(0x20)), v);
    const __m128i pct = _mm_cmpeq_epi8(v, _mm_set1_epi8('%'));
    const __m128i del = _mm_cmpeq_epi8(v, _mm_set1_epi8(0x7F));
    return _mm_movemask_epi8(_mm_or_si128(low, _mm_or_si128(pct, del))) != 0;
}
#endif

// Writes bytes at out as AppendEscaped has them; the end of what was written. out has room
// for three bytes per byte.
char* PutEscaped(char* out, std::string_view bytes) {
    const auto* b = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t n = bytes.size();
    // Nearly every path goes out as it is: looked at and copied 16 bytes at a time (the last
    // block overlapping the ones before); a byte to escape sends it the slow way from its start.
#if defined(__SSE2__)
    if (n >= 16) {
        bool plain = true;
        std::size_t i = 0;
        for (; i + 16 <= n; i += 16) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + i));
            if (AnyToEscape16(v)) {
                plain = false;
                break;
            }
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), v);
        }
        if (plain && i < n) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + n - 16));
            plain = !AnyToEscape16(v);
            if (plain) _mm_storeu_si128(reinterpret_cast<__m128i*>(out + n - 16), v);
        }
        if (plain) return out + n;
    } else
#endif
    {
        bool plain = true;
        for (std::size_t i = 0; i < n && plain; ++i) plain = !NeedsEscape(b[i]);
        if (plain) {
            std::memcpy(out, b, n);
            return out + n;
        }
    }
    static const char kHex[] = "0123456789ABCDEF";
    const std::array<bool, 256>& esc = EscapeTable();
    for (std::size_t i = 0; i < n; ++i) {
        if (!esc[b[i]]) {
            *out++ = static_cast<char>(b[i]);
            continue;
        }
        *out++ = '%';
        *out++ = kHex[b[i] >> 4];
        *out++ = kHex[b[i] & 15];
    }
    return out;
}

// The most PutEscaped writes for n bytes.
constexpr std::size_t EscapedMost(std::size_t n) {
    return 3 * n;
}

void AppendEscaped(std::string& out, std::string_view bytes) {
    const std::size_t at = out.size();
    out.resize(at + EscapedMost(bytes.size()));
    out.resize(static_cast<std::size_t>(PutEscaped(out.data() + at, bytes) - out.data()));
}

// A number in decimal at out (room for 20 digits and a sign); the end of it.
template <class T>
char* PutNumber(char* out, T v) {
    return std::to_chars(out, out + 21, v).ptr;
}

// What a line adds after its fields: TAB, 8 hex digits, LF.
constexpr std::size_t kSealBytes = 10;

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The reverse of AppendEscaped; false for anything AppendEscaped never writes.
bool Unescape(std::string_view in, std::string& out) {
    out.clear();
    for (std::size_t i = 0; i < in.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(in[i]);
        if (c != '%') {
            if (NeedsEscape(c)) return false;
            out += static_cast<char>(c);
            continue;
        }
        if (i + 2 >= in.size()) return false;
        const int hi = HexDigit(in[i + 1]), lo = HexDigit(in[i + 2]);
        if (hi < 0 || lo < 0) return false;
        const unsigned char v = static_cast<unsigned char>(hi * 16 + lo);
        if (!NeedsEscape(v)) return false;
        out += static_cast<char>(v);
        i += 2;
    }
    return true;
}

bool Number(std::string_view text, std::uint64_t& out) {
    if (text.empty() || (text.size() > 1 && text[0] == '0')) return false;
    auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return ec == std::errc() && ptr == text.data() + text.size();
}

// The CRC as the journal writes it: 8 lower-case hex digits into out, two at a time.
void HexCrc(std::uint32_t crc, char* out) {
    static const auto kPairs = [] {
        std::array<char, 512> t{};
        constexpr char kHex[] = "0123456789abcdef";
        for (std::size_t i = 0; i < 256; ++i) {
            t[2 * i] = kHex[i >> 4];
            t[2 * i + 1] = kHex[i & 15];
        }
        return t;
    }();
    for (int i = 3; i >= 0; --i, crc >>= 8) std::memcpy(out + 2 * i, &kPairs[2 * (crc & 0xFF)], 2);
}

// Splits a line (without its LF) into its fields after checking its CRC.
bool CheckedFields(std::string_view line, std::vector<std::string_view>& fields) {
    const std::size_t tab = line.rfind('\t');
    if (tab == std::string_view::npos || line.size() - tab - 1 != 8) return false;
    const std::string_view body = line.substr(0, tab);
    char crc[8];
    HexCrc(Crc32(body), crc);
    if (std::string_view(crc, sizeof crc) != line.substr(tab + 1)) return false;
    fields.clear();
    std::size_t p = 0;
    for (;;) {
        const std::size_t t = body.find('\t', p);
        fields.push_back(body.substr(p, t == std::string_view::npos ? t : t - p));
        if (t == std::string_view::npos) break;
        p = t + 1;
    }
    return true;
}

}  // namespace

// zlib's CRC-32 (the same polynomial and form as gzip's).
std::uint32_t Crc32(std::string_view bytes) {
    return static_cast<std::uint32_t>(
        crc32_z(0, reinterpret_cast<const Bytef*>(bytes.data()), bytes.size()));
}

bool ParseJournal(std::string_view data, Journal& out) {
    out = Journal{};
    std::vector<std::string_view> f;
    std::size_t p = 0;
    bool header = false;
    while (p < data.size()) {
        const std::size_t lf = data.find('\n', p);
        if (lf == std::string_view::npos) break;  // a line cut short
        const std::string_view line = data.substr(p, lf - p);
        p = lf + 1;
        if (!CheckedFields(line, f)) break;
        if (!header) {
            if (f.size() != 3 || f[0] != kMagic || f[1].size() != 1 || f[1][0] < '1' ||
                f[1][0] > kVersion[0] || (f[2] != "rename" && f[2] != "undo"))
                return false;
            out.kind = std::string(f[2]);
            out.version = f[1][0] - '0';
            header = true;
            out.wholeBytes = p;
            continue;
        }
        if (out.finished) break;
        if (f[0] == "S" && f.size() == 4 && out.version >= 2 && out.steps.empty()) {
            ScopeRoot root;
            if (!Unescape(f[1], root.path) || root.path.empty() || !Number(f[2], root.device) ||
                !Number(f[3], root.inode))
                break;
            out.scope.push_back(std::move(root));
            out.wholeBytes = p;
            continue;
        }
        if (f[0] == "E" && f.size() == 1) {
            out.finished = true;
            out.wholeBytes = p;
            continue;
        }
        if (f[0] == "X" && f.size() == 2) {
            int err = 0;
            const char* first = f[1].data();
            const char* last = first + f[1].size();
            auto [ptr, ec] = std::from_chars(first, last, err);
            if (ec != std::errc() || ptr != last || out.steps.empty() || out.steps.back().failed)
                break;
            out.steps.back().failed = true;
            out.steps.back().err = err;
            out.wholeBytes = p;
            continue;
        }
        if (f[0] == "F" && f.size() == 3 && out.version >= 3) {
            std::uint64_t step = 0;
            int err = 0;
            const char* first = f[2].data();
            const char* last = first + f[2].size();
            auto [ptr, ec] = std::from_chars(first, last, err);
            if (!Number(f[1], step) || ec != std::errc() || ptr != last ||
                step >= out.steps.size() || out.steps[step].failed)
                break;
            out.steps[step].failed = true;
            out.steps[step].err = err;
            out.wholeBytes = p;
            continue;
        }
        JournalStep step;
        if ((f[0] == "M" || f[0] == "D") && f.size() == 2) {
            step.kind = f[0] == "M" ? JournalStep::MakeDir : JournalStep::RemoveDir;
            if (!Unescape(f[1], step.from) || step.from.empty()) break;
        } else if (f[0] == "R" && f.size() == (out.version == 1 ? 3u : 6u)) {
            step.kind = JournalStep::Rename;
            if (!Unescape(f[1], step.from) || !Unescape(f[2], step.to) || step.from.empty() ||
                step.to.empty())
                break;
            if (out.version >= 2) {
                const std::string_view t = f[5];
                if (!Number(f[3], step.id.device) || !Number(f[4], step.id.inode) ||
                    t.size() != 1 || std::string_view("dlf-").find(t[0]) == std::string_view::npos)
                    break;
                step.id.type = t[0] == '-' ? 0 : t[0];
            }
        } else {
            break;
        }
        out.steps.push_back(std::move(step));
        out.wholeBytes = p;
    }
    return header;
}

std::string JournalPath() {
    return ProgramFile("RenameJournal.txt");
}

std::string UndoJournalPath() {
    return ProgramFile("RenameJournal.undo.txt");
}

int ReadJournal(const std::string& path, Journal& out) {
    out = Journal{};
    EntryInfo info;
    if (int e = Fs().Stat(path, info)) return e;
    if (info.isLink || info.uid != ::geteuid() || (info.mode & 022)) return EPERM;
    std::string data;
    if (int e = ReadWholeFile(path, data)) return e;
    return ParseJournal(data, out) ? 0 : EINVAL;
}

JournalState ReadJournalState() {
    JournalState st;
    EntryInfo info;
    st.undoCutShort = Fs().Stat(UndoJournalPath(), info) == 0;
    Journal j;
    const int e = ReadJournal(JournalPath(), j);
    st.refused = e == EPERM;
    if (e != 0) return st;
    st.exists = true;
    st.finished = j.finished;
    st.kind = j.kind;
    for (const JournalStep& s : j.steps)
        if (!s.failed) ++st.changes;
    return st;
}

CJournalWriter::CJournalWriter(std::string path, std::string kind)
    : path_(std::move(path)), kind_(std::move(kind)) {}

CJournalWriter::~CJournalWriter() {
    if (file_) file_->Close();
}

int CJournalWriter::Begin(const DiskScope& scope) {
    failed_ = false;
    file_.reset();
    len_ = 0;
    steps_ = 0;
    int e = Fs().CreateTruncate(path_, file_);
    // Only the user may write it (an older one may have been made under a wider umask).
    if (e == 0) e = file_->SetMode(0600);
    if (e == 0) {
        std::string line(kMagic);
        line += '\t';
        line += kVersion;
        line += '\t';
        line += kind_;
        if (!WriteLine(line)) e = EIO;
        for (const ScopeRoot& root : scope.Roots()) {
            if (e != 0) break;
            line = "S\t";
            AppendEscaped(line, root.path);
            line += '\t' + std::to_string(root.device) + '\t' + std::to_string(root.inode);
            if (!WriteLine(line)) e = EIO;
        }
    }
    if (e == 0) e = file_->Sync();
    if (e != 0) {
        failed_ = true;
        file_.reset();
    }
    return e;
}

int CJournalWriter::Continue(std::size_t whole, std::size_t steps) {
    failed_ = false;
    file_.reset();
    len_ = 0;
    steps_ = steps;
    int e = Fs().OpenContinue(path_, whole, file_);
    if (e == 0) e = file_->SetMode(0600);
    if (e == 0) e = file_->Sync();
    if (e != 0) {
        failed_ = true;
        file_.reset();
    }
    return e;
}

char* CJournalWriter::Room(std::size_t most) {
    if (cap_ - len_ < most) {
        // A block's lines fit in one buffer, kept from block to block.
        const std::size_t cap = std::max({2 * cap_, len_ + most, std::size_t{64 * 1024}});
        auto bigger = std::make_unique_for_overwrite<char[]>(cap);
        if (len_ > 0) std::memcpy(bigger.get(), buf_.get(), len_);
        buf_ = std::move(bigger);
        cap_ = cap;
    }
    return buf_.get() + len_;
}

void CJournalWriter::Seal(char* line, char* end) {
    const std::uint32_t crc = Crc32(std::string_view(line, static_cast<std::size_t>(end - line)));
    *end = '\t';
    HexCrc(crc, end + 1);
    end[9] = '\n';
    len_ = static_cast<std::size_t>(end + kSealBytes - buf_.get());
}

bool CJournalWriter::WriteLine(std::string_view body) {
    if (!Flush()) return false;
    char* line = Room(body.size() + kSealBytes);
    std::memcpy(line, body.data(), body.size());
    Seal(line, line + body.size());
    return Flush();
}

bool CJournalWriter::Flush() {
    if (!file_ || failed_) return false;
    if (len_ == 0) return true;
    const long long w = file_->Write(buf_.get(), len_);
    if (w < 0 || static_cast<std::size_t>(w) != len_) failed_ = true;
    len_ = 0;
    return !failed_;
}

bool CJournalWriter::QueueMakeDir(const std::string& path) {
    if (!file_ || failed_) return false;
    char* const line = Room(2 + EscapedMost(path.size()) + kSealBytes);
    char* p = line;
    *p++ = 'M';
    *p++ = '\t';
    p = PutEscaped(p, path);
    Seal(line, p);
    ++steps_;
    return true;
}

bool CJournalWriter::QueueRename(const std::string& from, const std::string& to,
                                 const EntryId& id) {
    if (!file_ || failed_) return false;
    // "R", the paths, the numbers, the type and the TABs between them.
    char* const line =
        Room(EscapedMost(from.size()) + EscapedMost(to.size()) + 2 * 21 + 7 + kSealBytes);
    char* p = line;
    *p++ = 'R';
    *p++ = '\t';
    p = PutEscaped(p, from);
    *p++ = '\t';
    p = PutEscaped(p, to);
    *p++ = '\t';
    p = PutNumber(p, id.device);
    *p++ = '\t';
    p = PutNumber(p, id.inode);
    *p++ = '\t';
    *p++ = id.type ? id.type : '-';
    Seal(line, p);
    ++steps_;
    return true;
}

void CJournalWriter::QueueFailure(std::size_t step, int err) {
    if (!file_ || failed_) return;
    char* const line = Room(2 + 21 + 1 + 21 + kSealBytes);
    char* p = line;
    *p++ = 'F';
    *p++ = '\t';
    p = PutNumber(p, step);
    *p++ = '\t';
    p = PutNumber(p, err);
    Seal(line, p);
}

bool CJournalWriter::AddMakeDir(const std::string& path) {
    return QueueMakeDir(path) && Flush();
}

bool CJournalWriter::AddRename(const std::string& from, const std::string& to, const EntryId& id) {
    return QueueRename(from, to, id) && Flush();
}

bool CJournalWriter::AddRemoveDir(const std::string& path) {
    std::string line = "D\t";
    AppendEscaped(line, path);
    if (!WriteLine(line)) return false;
    ++steps_;
    return true;
}

void CJournalWriter::AddFailure(int err) {
    WriteLine("X\t" + std::to_string(err));
}

int CJournalWriter::Finish() {
    if (!file_) return failed_ ? EIO : 0;
    const bool ok = WriteLine("E");
    int e = file_->Sync();
    const int c = file_->Close();
    file_.reset();
    if (!ok) return EIO;
    return e ? e : c;
}

}  // namespace dov
