#include "engine/Par2Format.h"

#include "platform/RunTime.h"
#include "support/SystemUnderTest.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

namespace tren::par2 {
namespace {

using Bytes = std::vector<std::uint8_t>;

Md5 FromHex(std::string_view hex) {
    Md5 md5{};
    for (std::size_t i = 0; i < md5.size(); ++i)
        md5[i] =
            static_cast<std::uint8_t>(std::stoi(std::string(hex.substr(2 * i, 2)), nullptr, 16));
    return md5;
}

// Makes the packet at start whole again after an edit.
void Rehash(platform::RunTime& runTime, Bytes& bytes, std::size_t start = 0) {
    const std::size_t length = bytes[start + 8] | std::size_t{bytes[start + 9]} << 8;
    const Md5 hash = Md5Of(runTime, std::span(bytes).subspan(start + 32, length - 32));
    std::copy(hash.begin(), hash.end(), bytes.begin() + static_cast<std::ptrdiff_t>(start) + 16);
}

Bytes RecoveryPacket(platform::RunTime& runTime, const Md5& setId, std::uint32_t exponent,
                     const Bytes& data) {
    auto hasher = RecoverySliceHasher(runTime, setId, exponent);
    hasher->Add(data);
    const auto head = RecoverySliceHead(setId, exponent, data.size(), hasher->Finish());
    Bytes packet(head.begin(), head.end());
    packet.insert(packet.end(), data.begin(), data.end());
    return packet;
}

// Keeps the longest read: one chunk at most, however long the packets.
class RecordingFile final : public platform::InputFile {
  public:
    explicit RecordingFile(std::unique_ptr<platform::InputFile> inner) : inner_(std::move(inner)) {}
    const std::string& Path() const override { return inner_->Path(); }
    platform::FileId Id() const override { return inner_->Id(); }
    std::int64_t Length() override { return inner_->Length(); }
    platform::FileStamp Stamp() override { return inner_->Stamp(); }
    std::size_t ReadAt(std::int64_t offset, std::span<std::uint8_t> into) override {
        Longest = std::max(Longest, into.size());
        return inner_->ReadAt(offset, into);
    }
    std::size_t Longest = 0;

  private:
    std::unique_ptr<platform::InputFile> inner_;
};

struct Par2Format : testing::Test {
    test::FaultyCalls calls;
    test::SystemRunTime runTime{calls};
    test::TempFolder folder;
};

// par2cmdline 0.8.1's packets for one file "k.bin" holding "hello", in 8-byte
// slices with one recovery slice: whatever differs in a byte differs in its hash.
TEST_F(Par2Format, PacketsAreThoseOfPar2cmdline) {
    const Bytes slice = {'h', 'e', 'l', 'l', 'o', 0, 0, 0};
    const Md5 setId = FromHex("108407464d394ba5151ea5432e7cd2b1");
    const Md5 fileId = FromHex("45ead6888bab9c71114001ca6acbcbc1");
    const Md5 hash = Md5Of(runTime, std::span(slice).first(5));
    EXPECT_EQ(FileIdOf(runTime, hash, 5, "k.bin"), fileId);
    EXPECT_EQ(RecoverySetIdOf(runTime, {8, {fileId}, {}}), setId);
    // Two files, whose ids are ordered by their last bytes.
    EXPECT_EQ(RecoverySetIdOf(runTime, {2348,
                                        {FromHex("9f2d57ebe27125562bcfd86474b62f9c"),
                                         FromHex("a76923b12bb5ea10f1277758192ef91c")},
                                        {}}),
              FromHex("c9c96ce4fd19ef6dfce4ae950726d5d7"));
    const SliceCheck check{Md5Of(runTime, slice), Crc32(slice)};
    const std::tuple<const char*, Bytes, std::size_t, const char*> packets[] = {
        {"main", MainPacket(runTime, {8, {fileId}, {}}), 92, "c9ff4a4fb348e4e1014979e14abbbd5c"},
        {"file", FileDescriptionPacket(runTime, setId, {fileId, hash, hash, 5, "k.bin"}), 128,
         "a9755f6c9ede568708aee427a4ebcc9e"},
        {"slices", SliceChecksumPacket(runTime, setId, fileId, std::span(&check, 1)), 100,
         "0d0f79ce352b15a5bb944871d1b2a9cc"},
        {"creator", CreatorPacket(runTime, setId, "Created by par2cmdline version 0.8.1."), 104,
         "7d6aae81b1ffc75dfda05f8ac7b0f8b7"},
        // A name or creator whose length is a multiple of 4 takes no padding.
        {"creator, unpadded", CreatorPacket(runTime, setId, "tren"), 68,
         "c5bebe3d0a86e546fe623dd40f0ea797"},
        // The slice times the exponent 0's factor, 1.
        {"recovery", RecoveryPacket(runTime, setId, 0, slice), 76,
         "899c0b4aa18100cec01d2f59835223e6"},
    };
    for (const auto& [name, packet, length, packetHash] : packets) {
        EXPECT_EQ(packet.size(), length) << name;
        EXPECT_TRUE(
            std::equal(packet.begin() + 16, packet.begin() + 32, FromHex(packetHash).begin()))
            << name;
    }
}

// Every kind of packet, among damage: what is whole is found as it was written.
TEST_F(Par2Format, ScanFindsEveryWholePacketPastDamage) {
    const MainBody main{
        1024,
        {FromHex("00000000000000000000000000000002"), FromHex("ff000000000000000000000000000001")},
        {FromHex("0a000000000000000000000000000000")}};
    const Md5 setId = RecoverySetIdOf(runTime, main);
    const FileDescription files[] = {
        {main.Recoverable[0], Md5Of(runTime, Bytes{1}), Md5Of(runTime, Bytes{2}), 1500,
         "report.doc.tr1"},
        {main.Recoverable[1], Md5Of(runTime, Bytes{3}), Md5Of(runTime, Bytes{4}), 1u << 31,
         "a/b.c"},
    };
    const std::vector<SliceCheck> slices[] = {
        {{Md5Of(runTime, Bytes{5}), 0x01020304u}, {Md5Of(runTime, Bytes{6}), 0xFFFFFFFFu}}, {}};
    const Bytes small(1024, 7), large = test::RandomBytes(5u << 19, 1);
    Bytes unknown = CreatorPacket(runTime, setId, "not a creator");
    std::copy_n("PAR 2.0\0Comment", 16, unknown.begin() + 48);
    Rehash(runTime, unknown);

    // Main, two files, their slices, creator, an unknown type, then the recovery slices.
    const std::vector<Bytes> packets = {MainPacket(runTime, main),
                                        FileDescriptionPacket(runTime, setId, files[0]),
                                        FileDescriptionPacket(runTime, setId, files[1]),
                                        SliceChecksumPacket(runTime, setId, files[0].Id, slices[0]),
                                        SliceChecksumPacket(runTime, setId, files[1].Id, slices[1]),
                                        CreatorPacket(runTime, setId, "tren"),
                                        unknown,
                                        RecoveryPacket(runTime, setId, 0, small),
                                        RecoveryPacket(runTime, setId, 7, large)};
    const auto joined = [&](std::function<Bytes(std::size_t)> between) {
        Bytes bytes;
        for (std::size_t i = 0; i < packets.size(); ++i) {
            const Bytes gap = between(i);
            bytes.insert(bytes.end(), gap.begin(), gap.end());
            bytes.insert(bytes.end(), packets[i].begin(), packets[i].end());
        }
        return bytes;
    };
    const Bytes whole = joined([](std::size_t) { return Bytes{}; });
    const auto damaged = [&](std::size_t packet, std::size_t at, std::uint8_t value) {
        Bytes bytes = whole;
        std::size_t start = 0;
        for (std::size_t i = 0; i < packet; ++i)
            start += packets[i].size();
        bytes[start + at] = value;
        return bytes;
    };
    Bytes twice = whole;
    twice.insert(twice.end(), whole.begin(), whole.end());
    Bytes headerCut = whole;
    headerCut.insert(headerCut.end(), packets[5].begin(), packets[5].begin() + 40);
    Bytes foreignMain = whole;
    std::fill_n(foreignMain.begin() + 32, 16, 0x55);
    Rehash(runTime, foreignMain);

    const struct {
        const char* name;
        Bytes bytes;
        int damaged;
        std::vector<std::size_t> lost;
    } rows[] = {
        {"back to back", whole, 0, {}},
        {"garbage at odd offsets, with a stray magic",
         joined([](std::size_t i) {
             Bytes gap = test::RandomBytes(i * 37 + 3, static_cast<unsigned>(i));
             if (i == 4)
                 gap.insert(gap.end(),
                            {'P', 'A', 'R', '2', 0, 'P', 'K', 'T', 9, 9, 9, 9, 9, 9, 9, 9});
             return gap;
         }),
         1,
         {}},
        {"magic across a chunk boundary",
         joined([](std::size_t i) { return Bytes(i == 0 ? (1u << 20) - 3 : 0, 'P'); }),
         0,
         {}},
        {"a byte of a file description flipped", damaged(2, 100, 0xEE), 1, {2}},
        {"a length past the end", damaged(1, 13, 0x40), 1, {1}},
        {"a length not a multiple of 4", damaged(3, 8, 101), 1, {3}},
        {"cut in the last packet", Bytes(whole.begin(), whole.end() - 1000), 1, {8}},
        {"cut in a header", headerCut, 1, {}},
        {"every packet twice", twice, 0, {}},
        {"a main packet under another set's id", foreignMain, 1, {0}},
    };
    for (const auto& row : rows) {
        test::WriteFile(folder / "set.par2", row.bytes);
        ScanReport report;
        RecordingFile file(runTime.OpenInput(folder / "set.par2"));
        Scan(runTime, file, report);
        EXPECT_EQ(report.DamagedPackets, row.damaged) << row.name;
        EXPECT_LE(file.Longest, 1u << 20) << row.name;
        ASSERT_EQ(report.Sets.size(), 1u) << row.name;
        const SetPackets& set = report.Sets.begin()->second;
        const auto recovered = [&](std::uint32_t exponent, const Bytes& data) {
            return std::any_of(set.Recovery.begin(), set.Recovery.end(), [&](const auto& slice) {
                return slice.Exponent == exponent && slice.Length == data.size() &&
                       std::equal(data.begin(), data.end(), row.bytes.begin() + slice.Offset);
            });
        };
        MainBody sorted = main;
        std::swap(sorted.Recoverable[0], sorted.Recoverable[1]);
        const auto fileFound = [&](int i) {
            return set.Files.count(files[i].Id) && set.Files.at(files[i].Id) == files[i];
        };
        const auto slicesFound = [&](int i) {
            return set.Slices.count(files[i].Id) && set.Slices.at(files[i].Id) == slices[i];
        };
        const std::vector<bool> found = {
            set.Main == sorted, fileFound(0),          fileFound(1), slicesFound(0),
            slicesFound(1),     set.Creator == "tren", true,         recovered(0, small),
            recovered(7, large)};
        for (std::size_t i = 0; i < found.size(); ++i)
            EXPECT_EQ(found[i], std::find(row.lost.begin(), row.lost.end(), i) == row.lost.end())
                << row.name << ", packet " << i;
        EXPECT_EQ(set.Recovery.size() + std::count(row.lost.begin(), row.lost.end(), 8), 2u)
            << row.name;
    }
}

TEST(Par2Crc32, KnownValuesWholeAndInTwoCalls) {
    const std::pair<std::string, std::uint32_t> vectors[] = {
        {"", 0},
        {"123456789", 0xCBF43926},
        {std::string("hello\0\0\0", 8), 0xFF13B51D},
        {"The quick brown fox jumps over the lazy dog", 0x414FA339}};
    for (const auto& [text, crc] : vectors) {
        const std::span bytes(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
        EXPECT_EQ(Crc32(bytes), crc) << text;
        for (std::size_t cut = 0; cut <= bytes.size(); ++cut)
            EXPECT_EQ(Crc32(bytes.subspan(cut), Crc32(bytes.first(cut))), crc)
                << text << " cut at " << cut;
    }
}

// As par2cmdline names them: 1, 2, 4, ... slices, each number as wide as its largest.
TEST(Par2Volumes, NamedAsPar2cmdlineNamesThem) {
    const std::pair<std::uint32_t, std::string> rows[] = {
        {0, ""},
        {1, "0+1"},
        {4, "0+1 1+2 3+1"},
        {10, "00+1 01+2 03+4 07+3"},
        {25, "00+01 01+02 03+04 07+08 15+10"},
        {100, "000+01 001+02 003+04 007+08 015+16 031+32 063+37"},
    };
    for (const auto& [count, names] : rows) {
        std::string made;
        std::uint32_t next = 0;
        for (const Volume& volume : Volumes("r.tr", count)) {
            EXPECT_EQ(volume.FirstExponent, next) << volume.Name;
            next += volume.Count;
            made += (made.empty() ? "" : " ") + volume.Name.substr(8, volume.Name.size() - 13);
        }
        EXPECT_EQ(made, names);
        EXPECT_EQ(next, count);
    }
    EXPECT_EQ(Volumes("r.tr", 1).at(0).Name, "r.tr.vol0+1.par2");
    EXPECT_EQ(IndexName("r.tr"), "r.tr.par2");
}

} // namespace
} // namespace tren::par2
