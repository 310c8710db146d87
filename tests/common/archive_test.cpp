#include "common/archive.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <string>

#include "common/fs.h"

namespace {

using dov::CArchive;

std::string Stored(std::string_view s) {
    std::string out;
    CArchive ar = CArchive::StoreTo(out);
    ar.WriteString(s);
    return out;
}

// A file in memory that hands out at most `chunk` bytes per read and can fail writes.
class MemFile : public dov::IFile {
  public:
    std::string data;
    std::size_t readPos = 0;
    std::size_t chunk = 1 << 20;
    long long writeLimit = -1;  // bytes accepted before the disk is "full"
    int readErrorAt = -1;       // the read call that fails with EIO
    int reads = 0, writes = 0;
    long long Read(void* buf, std::size_t n) override {
        if (reads++ == readErrorAt) return -EIO;
        std::size_t k = std::min({n, chunk, data.size() - readPos});
        std::memcpy(buf, data.data() + readPos, k);
        readPos += k;
        return static_cast<long long>(k);
    }
    long long Write(const void* buf, std::size_t n) override {
        ++writes;
        std::size_t k = n;
        if (writeLimit >= 0) {
            k = std::min<std::size_t>(n, static_cast<std::size_t>(writeLimit));
            writeLimit -= static_cast<long long>(k);
        }
        data.append(static_cast<const char*>(buf), k);
        return static_cast<long long>(k);
    }
    int Close() override { return 0; }
};

TEST(Archive, StringFormsAtTheirBoundaries) {
    struct Case {
        std::size_t len;
        std::string prefix;
    };
    const Case cases[] = {
        {0, std::string("\x00", 1)},
        {254, "\xFE"},
        {255, std::string("\xFF\xFF\x00", 3)},
        {256, std::string("\xFF\x00\x01", 3)},
        {65533, "\xFF\xFD\xFF"},
        {65534, std::string("\xFF\xFF\xFF\xFE\xFF\x00\x00", 7)},
        {70000, std::string("\xFF\xFF\xFF\x70\x11\x01\x00", 7)},
    };
    for (const Case& c : cases) {
        std::string s(c.len, 'x');
        if (c.len) s[c.len - 1] = '\x82';
        std::string out = Stored(s);
        SCOPED_TRACE(c.len);
        ASSERT_EQ(out.size(), c.prefix.size() + c.len);
        EXPECT_EQ(out.substr(0, c.prefix.size()), c.prefix);
        CArchive in = CArchive::LoadFrom(out);
        EXPECT_EQ(in.ReadString(), s);
        EXPECT_FALSE(in.Failed());
        EXPECT_EQ(in.Remaining(), 0u);
    }
}

TEST(Archive, IntegersAreLittleEndianWithoutPadding) {
    std::string out;
    {
        CArchive ar = CArchive::StoreTo(out);
        ar.WriteU8(0xAB);
        ar.WriteU32(0x01020304);
        ar.WriteI32(-2);
    }
    EXPECT_EQ(out, std::string("\xAB\x04\x03\x02\x01\xFE\xFF\xFF\xFF", 9));
    CArchive in = CArchive::LoadFrom(out);
    EXPECT_EQ(in.ReadU8(), 0xAB);
    EXPECT_EQ(in.ReadU32(), 0x01020304u);
    EXPECT_EQ(in.ReadI32(), -2);
    EXPECT_FALSE(in.Failed());
    EXPECT_EQ(in.ReadU8(), 0);
    EXPECT_EQ(in.GetError(), CArchive::Error::EndOfStream);
}

TEST(Archive, LongerLengthFormsAreReadAndWideMarkerIsRefused) {
    // The archive reads memory in place: the data must outlive it.
    const std::string sixteen(
        "\xFF\x03\x00"
        "abc",
        6);
    const std::string thirtyTwo(
        "\xFF\xFF\xFF\x02\x00\x00\x00"
        "ab",
        9);
    const std::string wide(
        "\xFF\xFE\xFF\x01"
        "a",
        5);
    CArchive a = CArchive::LoadFrom(sixteen);
    EXPECT_EQ(a.ReadString(), "abc");
    CArchive b = CArchive::LoadFrom(thirtyTwo);
    EXPECT_EQ(b.ReadString(), "ab");
    EXPECT_FALSE(a.Failed() || b.Failed());
    CArchive c = CArchive::LoadFrom(wide);
    EXPECT_EQ(c.ReadString(), "");
    EXPECT_EQ(c.GetError(), CArchive::Error::Damaged);
}

TEST(Archive, FailureIsStickyAndHugeLengthsAllocateNothing) {
    // A 32-bit length of 4 GB with three bytes behind it.
    const std::string data(
        "\xFF\xFF\xFF\xFF\xFF\xFF\xFF"
        "abc",
        10);
    CArchive mem = CArchive::LoadFrom(data);
    EXPECT_EQ(mem.ReadString(), "");
    EXPECT_EQ(mem.GetError(), CArchive::Error::EndOfStream);
    EXPECT_EQ(mem.ReadU32(), 0u);  // nothing more is read after a failure

    // The same from a file whose size is unknown: the string grows only with what arrives.
    MemFile f;
    f.data = data;
    f.chunk = 2;
    CArchive file = CArchive::LoadFrom(f);
    EXPECT_EQ(file.ReadString(), "");
    EXPECT_EQ(file.GetError(), CArchive::Error::EndOfStream);
}

TEST(Archive, FileStreamMatchesMemoryAcrossBufferEdges) {
    std::string mem;
    {
        CArchive ar = CArchive::StoreTo(mem);
        for (int i = 0; i < 300; ++i) {
            ar.WriteU32(static_cast<std::uint32_t>(i * 7919));
            ar.WriteString(std::string(static_cast<std::size_t>(i * 13 % 400), 'a' + i % 26));
            ar.WriteU8(static_cast<std::uint8_t>(i));
        }
    }
    MemFile f;
    {
        CArchive ar = CArchive::StoreTo(f);
        for (int i = 0; i < 300; ++i) {
            ar.WriteU32(static_cast<std::uint32_t>(i * 7919));
            ar.WriteString(std::string(static_cast<std::size_t>(i * 13 % 400), 'a' + i % 26));
            ar.WriteU8(static_cast<std::uint8_t>(i));
        }
        ASSERT_TRUE(ar.Flush());
    }
    EXPECT_EQ(f.data, mem);
    EXPECT_GT(f.writes, 1);  // written in 4096-byte pieces
    f.chunk = 1000;          // and read back in uneven pieces
    CArchive in = CArchive::LoadFrom(f, f.data.size());
    for (int i = 0; i < 300; ++i) {
        ASSERT_EQ(in.ReadU32(), static_cast<std::uint32_t>(i * 7919));
        ASSERT_EQ(in.ReadString().size(), static_cast<std::size_t>(i * 13 % 400));
        ASSERT_EQ(in.ReadU8(), static_cast<std::uint8_t>(i));
    }
    EXPECT_FALSE(in.Failed());
    EXPECT_EQ(in.Remaining(), 0u);
}

TEST(Archive, FileErrorsAreReported) {
    MemFile full;
    full.writeLimit = 5000;
    {
        CArchive ar = CArchive::StoreTo(full);
        ar.WriteString(std::string(10000, 'z'));
        EXPECT_FALSE(ar.Flush());
        EXPECT_EQ(ar.GetError(), CArchive::Error::WriteFailed);
        EXPECT_EQ(ar.SysError(), ENOSPC);
    }
    MemFile bad;
    bad.data = std::string(10000, '\0');
    bad.readErrorAt = 1;
    CArchive in = CArchive::LoadFrom(bad);
    for (int i = 0; i < 2000 && !in.Failed(); ++i) in.ReadU32();
    EXPECT_EQ(in.GetError(), CArchive::Error::ReadFailed);
    EXPECT_EQ(in.SysError(), EIO);
    EXPECT_EQ(in.Position(), 4096u);
}

}  // namespace
