#include "rename/journal.h"

#include <unistd.h>

#include <array>
#include <cerrno>
#include <charconv>

#include "common/paths.h"

namespace dov {
namespace {

constexpr std::string_view kMagic = "DOVRETH-JOURNAL";
constexpr std::string_view kVersion = "3";

// Eight tables for the CRC, so that eight bytes are folded in at a time.
std::array<std::array<std::uint32_t, 256>, 8> MakeCrcTables() {
    std::array<std::array<std::uint32_t, 256>, 8> t{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t c = i;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        t[0][i] = c;
    }
    for (std::uint32_t i = 0; i < 256; ++i)
        for (std::size_t k = 1; k < 8; ++k) t[k][i] = (t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFF];
    return t;
}

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

void AppendEscaped(std::string& out, std::string_view bytes) {
    static const char kHex[] = "0123456789ABCDEF";
    const std::array<bool, 256>& esc = EscapeTable();
    const auto* b = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t n = bytes.size();
    std::size_t plain = 0;  // start of the run of bytes that go out as they are
    for (std::size_t i = 0; i < n; ++i) {
        if (!esc[b[i]]) continue;
        out.append(bytes.data() + plain, i - plain);
        const char e[3] = {'%', kHex[b[i] >> 4], kHex[b[i] & 15]};
        out.append(e, 3);
        plain = i + 1;
    }
    out.append(bytes.data() + plain, n - plain);
}

// A number in decimal, appended.
void AppendNumber(std::string& out, std::uint64_t v) {
    char buf[24];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, static_cast<std::size_t>(r.ptr - buf));
}

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

// The CRC as the journal writes it: 8 lower-case hex digits into out.
void HexCrc(std::uint32_t crc, char (&out)[8]) {
    static const char kHex[] = "0123456789abcdef";
    for (int i = 7; i >= 0; --i, crc >>= 4) out[i] = kHex[crc & 15];
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

std::uint32_t Crc32(std::string_view bytes) {
    static const auto t = MakeCrcTables();
    std::uint32_t c = 0xFFFFFFFFu;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    std::size_t n = bytes.size();
    for (; n >= 8; n -= 8, p += 8) {
        const std::uint32_t lo = c ^ (std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 |
                                      std::uint32_t{p[2]} << 16 | std::uint32_t{p[3]} << 24);
        c = t[7][lo & 0xFF] ^ t[6][(lo >> 8) & 0xFF] ^ t[5][(lo >> 16) & 0xFF] ^ t[4][lo >> 24] ^
            t[3][p[4]] ^ t[2][p[5]] ^ t[1][p[6]] ^ t[0][p[7]];
    }
    for (; n > 0; --n, ++p) c = t[0][(c ^ *p) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
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
    pending_.clear();
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
        if (!WriteLine(std::move(line))) e = EIO;
        for (const ScopeRoot& root : scope.Roots()) {
            if (e != 0) break;
            line = "S\t";
            AppendEscaped(line, root.path);
            line += '\t' + std::to_string(root.device) + '\t' + std::to_string(root.inode);
            if (!WriteLine(std::move(line))) e = EIO;
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
    pending_.clear();
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

bool CJournalWriter::WriteLine(std::string line) {
    if (!Flush()) return false;
    char crc[8];
    HexCrc(Crc32(line), crc);
    line += '\t';
    line.append(crc, sizeof crc);
    line += '\n';
    const long long w = file_->Write(line.data(), line.size());
    if (w < 0 || static_cast<std::size_t>(w) != line.size()) failed_ = true;
    return !failed_;
}

void CJournalWriter::SealPending(std::size_t start) {
    char crc[8];
    HexCrc(Crc32(std::string_view(pending_).substr(start)), crc);
    pending_ += '\t';
    pending_.append(crc, sizeof crc);
    pending_ += '\n';
}

bool CJournalWriter::Flush() {
    if (!file_ || failed_) return false;
    if (pending_.empty()) return true;
    const long long w = file_->Write(pending_.data(), pending_.size());
    if (w < 0 || static_cast<std::size_t>(w) != pending_.size()) failed_ = true;
    pending_.clear();
    return !failed_;
}

bool CJournalWriter::QueueMakeDir(const std::string& path) {
    if (!file_ || failed_) return false;
    const std::size_t start = pending_.size();
    pending_ += "M\t";
    AppendEscaped(pending_, path);
    SealPending(start);
    ++steps_;
    return true;
}

bool CJournalWriter::QueueRename(const std::string& from, const std::string& to,
                                 const EntryId& id) {
    if (!file_ || failed_) return false;
    const std::size_t start = pending_.size();
    pending_ += "R\t";
    AppendEscaped(pending_, from);
    pending_ += '\t';
    AppendEscaped(pending_, to);
    pending_ += '\t';
    AppendNumber(pending_, id.device);
    pending_ += '\t';
    AppendNumber(pending_, id.inode);
    pending_ += '\t';
    pending_ += id.type ? id.type : '-';
    SealPending(start);
    ++steps_;
    return true;
}

void CJournalWriter::QueueFailure(std::size_t step, int err) {
    if (!file_ || failed_) return;
    const std::size_t start = pending_.size();
    pending_ += "F\t";
    AppendNumber(pending_, step);
    pending_ += '\t';
    pending_ += std::to_string(err);
    SealPending(start);
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
    if (!WriteLine(std::move(line))) return false;
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
