// ostr with its address space limited: an entry whose dictionary cannot fit
// is reported as wanting memory, apart from damaged ones, and an entry that
// claims far more bytes than its data gives is refused as damaged having
// taken little memory.

#include "archive/FileEntry.h"
#include "tests/ArchiveBuilder.h"
#include "tests/OstrRunner.h"
#include "transfer/EntryPacking.h"

#include <gtest/gtest.h>

#include <climits>
#include <random>

namespace {

// The sanitizers reserve terabytes of address space for their shadow memory:
// there a limit on it stops the program before it starts.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define OSTREVANE_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define OSTREVANE_SANITIZED 1
#endif
#endif

// Far more than ostr needs to start and read these archives (about 10 MiB),
// far less than unpacking 8 MiB of noise takes (over 100 MiB).
constexpr std::uint64_t ADDRESS_SPACE = std::uint64_t{64} << 20;

Result OstrLimited(const std::vector<std::string>& args) {
    return OstrWithinLimit(args, ADDRESS_SPACE);
}

class OstrMemory : public testing::Test {
protected:
    void SetUp() override {
#if defined(OSTREVANE_SANITIZED)
        GTEST_SKIP() << "a limit on the address space cannot be set under the sanitizers";
#endif
    }
    std::string Write(const Bytes& archive) {
        WriteBytes(dir.File("archive.dat"), archive);
        return dir.File("archive.dat");
    }

    TempDir dir;
};

Bytes Noise(std::size_t size) {
    std::mt19937 rng(5);
    Bytes bytes(size);
    for (auto& b : bytes)
        b = static_cast<std::uint8_t>(rng() >> 24);
    return bytes;
}

} // namespace

// Packed noise takes some 13 bytes of dictionary per three bytes unpacked.
TEST_F(OstrMemory, AnEntryWhoseDictionaryCannotFitWantsMemoryAndIsNotDamaged) {
    const std::string path =
        Write(ArchiveBuilder().Packed(ENTRY_PORTRAIT, 1, "noise", Noise(8 << 20)).Build());

    const Result check = OstrLimited({"check", path});
    EXPECT_EQ(check.status, 1);
    EXPECT_EQ(check.err, "ostr: Entry portrait:1 \"noise\": there is not enough memory to "
                         "unpack it.\n");
    EXPECT_EQ(check.out, "1 of 1 entries could not be unpacked for lack of memory\n");

    const Result extract = OstrLimited({"extract", path, "1:1", "-o", dir.File("out.bin")});
    EXPECT_EQ(extract.status, 1);
    EXPECT_EQ(extract.err, "error: There is not enough memory to unpack that entry\n");
    EXPECT_EQ(dir.Listing(), std::vector<std::string>{"archive.dat"});
    const std::vector<std::string> reading[] = {{"info", path, "1:1"},
                                                {"waveform", path, "1:1", "--columns", "9"}};
    for (const std::vector<std::string>& args : reading) {
        SCOPED_TRACE(args[0]);
        const Result info = OstrLimited(args);
        EXPECT_EQ(info.status, 1);
        EXPECT_EQ(info.err, extract.err);
        EXPECT_EQ(info.out, "");
    }

    const Result unlimited = Ostr({"check", path});
    EXPECT_EQ(unlimited.status, 0) << unlimited.err;
    EXPECT_EQ(unlimited.out, "1 entry, none damaged\n");
}

// 120 KB of packed data could hold 2 GiB, so the claim passes the first
// check; but the output grows as it is decoded, and the data gives out
// 100 KB in.
TEST_F(OstrMemory, AClaimFarBeyondTheDataIsDamagedWithinLittleMemory) {
    PackedData packed;
    const Bytes noise = Noise(100000);
    ASSERT_TRUE(PackBuffer(noise.data(), noise.size(), packed));
    ASSERT_GT(MaxUnpackedSize(packed.size()), std::uint64_t{INT_MAX});
    const std::string path =
        Write(ArchiveBuilder()
                  .Entry(ENTRY_PORTRAIT, 1, "claims", Bytes(packed.begin(), packed.end()), INT_MAX)
                  .Build());

    const Result check = OstrLimited({"check", path});
    EXPECT_EQ(check.status, 1);
    EXPECT_EQ(check.err, "ostr: Entry portrait:1 \"claims\": its data is damaged.\n");
    EXPECT_EQ(check.out, "1 of 1 entries damaged\n");

    const Result extract = OstrLimited({"extract", path, "1:1", "-o", dir.File("out.bin")});
    EXPECT_EQ(extract.status, 1);
    EXPECT_EQ(extract.err, "error: That entry's data is damaged\n");
    EXPECT_EQ(dir.Listing(), std::vector<std::string>{"archive.dat"});
}
