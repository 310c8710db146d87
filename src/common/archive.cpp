#include "common/archive.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "common/fs.h"

namespace dov {

CArchive::CArchive(bool storing, IFile* file, std::string* memOut, std::string_view memIn,
                   std::optional<std::uint64_t> size)
    : storing_(storing), file_(file), memOut_(memOut), memIn_(memIn), size_(size) {
    if (file_) buf_ = new char[kBufferSize];
}

CArchive::CArchive(CArchive&& o) noexcept
    : storing_(o.storing_),
      file_(o.file_),
      memOut_(o.memOut_),
      memIn_(o.memIn_),
      size_(o.size_),
      pos_(o.pos_),
      error_(o.error_),
      sysError_(o.sysError_),
      buf_(o.buf_),
      head_(o.head_),
      fill_(o.fill_) {
    o.buf_ = nullptr;
    o.file_ = nullptr;
    o.memOut_ = nullptr;
}

CArchive::~CArchive() {
    delete[] buf_;
}

CArchive CArchive::StoreTo(IFile& file) {
    return CArchive(true, &file, nullptr, {}, std::nullopt);
}

CArchive CArchive::StoreTo(std::string& out) {
    return CArchive(true, nullptr, &out, {}, std::nullopt);
}

CArchive CArchive::LoadFrom(IFile& file, std::optional<std::uint64_t> size) {
    return CArchive(false, &file, nullptr, {}, size);
}

CArchive CArchive::LoadFrom(std::string_view data) {
    return CArchive(false, nullptr, nullptr, data, data.size());
}

// ---- storing --------------------------------------------------------------------------------

void CArchive::WriteBytes(const void* src, std::size_t n) {
    if (!storing_ || Failed()) return;
    const char* p = static_cast<const char*>(src);
    if (memOut_) {
        memOut_->append(p, n);
        pos_ += n;
        return;
    }
    while (n > 0) {
        if (fill_ == kBufferSize && !Flush()) return;
        std::size_t k = std::min(n, kBufferSize - fill_);
        std::memcpy(buf_ + fill_, p, k);
        fill_ += k;
        p += k;
        n -= k;
        pos_ += k;
    }
}

bool CArchive::Flush() {
    if (Failed()) return false;
    if (!storing_ || !file_ || fill_ == 0) return true;
    long long w = file_->Write(buf_, fill_);
    if (w < 0 || static_cast<std::size_t>(w) != fill_) {
        error_ = Error::WriteFailed;
        sysError_ = w < 0 ? static_cast<int>(-w) : ENOSPC;
        return false;
    }
    fill_ = 0;
    return true;
}

void CArchive::WriteU8(std::uint8_t v) {
    WriteBytes(&v, 1);
}

void CArchive::WriteU32(std::uint32_t v) {
    const unsigned char b[4] = {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8),
                                static_cast<unsigned char>(v >> 16),
                                static_cast<unsigned char>(v >> 24)};
    WriteBytes(b, 4);
}

void CArchive::WriteString(std::string_view s) {
    const std::size_t n = s.size();
    if (n < 0xFF) {
        WriteU8(static_cast<std::uint8_t>(n));
    } else if (n < 0xFFFE) {
        const unsigned char b[3] = {0xFF, static_cast<unsigned char>(n),
                                    static_cast<unsigned char>(n >> 8)};
        WriteBytes(b, 3);
    } else {
        const unsigned char b[3] = {0xFF, 0xFF, 0xFF};
        WriteBytes(b, 3);
        WriteU32(static_cast<std::uint32_t>(std::min<std::size_t>(n, 0xFFFFFFFFu)));
        s = s.substr(0, std::min<std::size_t>(n, 0xFFFFFFFFu));
    }
    WriteBytes(s.data(), s.size());
}

// ---- loading --------------------------------------------------------------------------------

std::optional<std::uint64_t> CArchive::Remaining() const {
    if (!size_) return std::nullopt;
    return *size_ > pos_ ? *size_ - pos_ : 0;
}

bool CArchive::Refill() {
    head_ = 0;
    fill_ = 0;
    long long r = file_->Read(buf_, kBufferSize);
    if (r < 0) {
        error_ = Error::ReadFailed;
        sysError_ = static_cast<int>(-r);
        return false;
    }
    if (r == 0) {
        error_ = Error::EndOfStream;
        return false;
    }
    fill_ = static_cast<std::size_t>(r);
    return true;
}

bool CArchive::ReadBytes(void* dst, std::size_t n) {
    if (storing_ || Failed()) return false;
    char* out = static_cast<char*>(dst);
    if (!file_) {
        if (memIn_.size() - pos_ < n) {
            error_ = Error::EndOfStream;
            return false;
        }
        std::memcpy(out, memIn_.data() + pos_, n);
        pos_ += n;
        return true;
    }
    while (n > 0) {
        if (head_ == fill_ && !Refill()) return false;
        std::size_t k = std::min(n, fill_ - head_);
        std::memcpy(out, buf_ + head_, k);
        head_ += k;
        out += k;
        n -= k;
        pos_ += k;
    }
    return true;
}

std::uint8_t CArchive::ReadU8() {
    std::uint8_t v = 0;
    return ReadBytes(&v, 1) ? v : 0;
}

std::uint32_t CArchive::ReadU32() {
    unsigned char b[4];
    if (!ReadBytes(b, 4)) return 0;
    return static_cast<std::uint32_t>(b[0]) | static_cast<std::uint32_t>(b[1]) << 8 |
           static_cast<std::uint32_t>(b[2]) << 16 | static_cast<std::uint32_t>(b[3]) << 24;
}

std::string CArchive::ReadString() {
    std::uint64_t len = ReadU8();
    if (len == 0xFF) {
        unsigned char b[2];
        if (!ReadBytes(b, 2)) return {};
        len = static_cast<std::uint64_t>(b[0]) | static_cast<std::uint64_t>(b[1]) << 8;
        if (len == 0xFFFE) {
            Fail(Error::Damaged);
            return {};
        }
        if (len == 0xFFFF) len = ReadU32();
    }
    if (Failed()) return {};
    if (auto rest = Remaining(); rest && len > *rest) {
        error_ = Error::EndOfStream;
        return {};
    }
    // Grow with what actually arrives, never by the stored length alone.
    std::string s;
    constexpr std::size_t kChunk = 64 * 1024;
    while (len > 0) {
        const std::size_t k = static_cast<std::size_t>(std::min<std::uint64_t>(len, kChunk));
        const std::size_t at = s.size();
        s.resize(at + k);
        if (!ReadBytes(s.data() + at, k)) return {};
        len -= k;
    }
    return s;
}

}  // namespace dov
