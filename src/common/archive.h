// The archive stream of the save data file: a plain binary stream written and read in one
// pass, in the same order, with no tags, no index and no offsets.
//
// Byte layout (what Store writes and Load expects):
//   - integers are little-endian with no padding or alignment: 1 byte (U8), 4 bytes (U32, I32);
//   - a string is CP932 bytes without a terminator, preceded by its length in one of three forms:
//       length 0 to 254        : one length byte, then the bytes
//       length 255 to 65533    : the byte 0xFF, a 16-bit length, then the bytes
//       length 65534 and more  : the byte 0xFF, the 16-bit value 0xFFFF, a 32-bit length, then
//                                the bytes
//     The 16-bit value 0xFFFE is never written; a stream that holds it (it would announce a
//     wide-character string) is refused as damaged. Longer forms than needed are accepted.
//
// Buffering: 4096 bytes are collected before each write call on the file, and each read call
// on the file asks for 4096 bytes.
//
// Errors never throw. The first failure (the stream ends early, a damaged length, a read or
// write error of the file) makes the archive failed for good: every later read gives 0 or an
// empty string and every later write is dropped, so a caller may read a whole record and look
// at Failed() once. Loading never allocates for a string more than the stream has delivered,
// and when the size of the source is known, a length beyond what is left fails at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace dov {

class IFile;

class CArchive {
  public:
    static constexpr std::size_t kBufferSize = 4096;

    enum class Error {
        None,
        EndOfStream,  // the stream ended inside a value
        Damaged,      // a length form that is never written
        ReadFailed,   // the file gave a read error
        WriteFailed,  // the file took fewer bytes than given, or gave an error
    };

    // Storing into a file opened for writing (the caller closes it after Flush()).
    static CArchive StoreTo(IFile& file);
    // Storing into memory (appends to out).
    static CArchive StoreTo(std::string& out);
    // Loading from a file opened for reading; size: the bytes it holds, when known.
    static CArchive LoadFrom(IFile& file, std::optional<std::uint64_t> size = std::nullopt);
    // Loading from memory; the view must outlive the archive.
    static CArchive LoadFrom(std::string_view data);
    static CArchive LoadFrom(std::string&& data) = delete;  // would dangle

    CArchive(CArchive&&) noexcept;
    CArchive& operator=(CArchive&&) = delete;
    CArchive(const CArchive&) = delete;
    CArchive& operator=(const CArchive&) = delete;
    ~CArchive();

    bool IsStoring() const { return storing_; }
    bool IsLoading() const { return !storing_; }

    // Storing.
    void WriteU8(std::uint8_t v);
    void WriteU32(std::uint32_t v);
    void WriteI32(std::int32_t v) { WriteU32(static_cast<std::uint32_t>(v)); }
    void WriteString(std::string_view s);
    // Hands the buffered bytes to the file; false when the archive has failed.
    bool Flush();

    // Loading.
    std::uint8_t ReadU8();
    std::uint32_t ReadU32();
    std::int32_t ReadI32() { return static_cast<std::int32_t>(ReadU32()); }
    std::string ReadString();
    // Bytes left in the source when its size is known.
    std::optional<std::uint64_t> Remaining() const;
    // Bytes read or written so far.
    std::uint64_t Position() const { return pos_; }

    bool Failed() const { return error_ != Error::None; }
    Error GetError() const { return error_; }
    // The errno of a file error, else 0.
    int SysError() const { return sysError_; }
    // Marks the archive failed (for a caller that finds the data it read unusable).
    void Fail(Error e) {
        if (error_ == Error::None) error_ = e;
    }

  private:
    CArchive(bool storing, IFile* file, std::string* memOut, std::string_view memIn,
             std::optional<std::uint64_t> size);
    bool ReadBytes(void* dst, std::size_t n);
    bool Refill();
    void WriteBytes(const void* src, std::size_t n);

    bool storing_;
    IFile* file_;
    std::string* memOut_;
    std::string_view memIn_;
    std::optional<std::uint64_t> size_;
    std::uint64_t pos_ = 0;
    Error error_ = Error::None;
    int sysError_ = 0;
    // File buffer: storing collects bytes in buf_[0, fill_); loading reads from
    // buf_[head_, fill_).
    char* buf_ = nullptr;
    std::size_t head_ = 0;
    std::size_t fill_ = 0;
};

}  // namespace dov
