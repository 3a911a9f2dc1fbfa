#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tren::platform {
class InputFile;
class Md5Hasher;
class RunTime;
} // namespace tren::platform

// The packets of PAR 2.0 recovery files, as par2cmdline writes and reads them:
// each one a 64-byte header (magic, length, MD5 of the rest, recovery set id,
// type) and a body whose length is a multiple of 4, all numbers little-endian.
namespace tren::par2 {

using Md5 = std::array<std::uint8_t, 16>;

// CRC-32 as zlib computes it (reflected, polynomial 0xEDB88320), continued from
// crc: 0 to start, or what an earlier call over the bytes before returned.
std::uint32_t Crc32(std::span<const std::uint8_t> bytes, std::uint32_t crc = 0);

Md5 Md5Of(platform::RunTime& runTime, std::span<const std::uint8_t> bytes);

// The leading bytes of a file that Hash16k covers (all of a shorter file).
constexpr std::size_t Hash16kLength = 16384;

struct FileDescription {
    Md5 Id{};
    Md5 Hash{};
    Md5 Hash16k{};
    std::uint64_t Length = 0;
    std::string Name;
    bool operator==(const FileDescription&) const = default;
};

// A slice's MD5 and CRC are over a whole slice: a file's last one is padded with
// zero bytes to the slice size.
struct SliceCheck {
    Md5 Hash{};
    std::uint32_t Crc = 0;
    bool operator==(const SliceCheck&) const = default;
};

// MD5 of the 16 KiB hash, the length as eight bytes and the name's own bytes
// (without the zeros that pad it in the packet).
Md5 FileIdOf(platform::RunTime& runTime, const Md5& hash16k, std::uint64_t length,
             std::string_view name);

struct MainBody {
    // A multiple of 4.
    std::uint64_t SliceSize = 0;
    std::vector<Md5> Recoverable;
    std::vector<Md5> NonRecoverable;
    bool operator==(const MainBody&) const = default;
};

// The order of file ids in the main packet, which is also the order the
// recovery constants are given to the input slices: as 16-byte little-endian
// numbers, so the last byte weighs most.
bool IdBefore(const Md5& a, const Md5& b);

// The MD5 of the main packet's body, its ids put in order first.
Md5 RecoverySetIdOf(platform::RunTime& runTime, const MainBody& main);

// Whole packets, header and packet hash included. The main packet puts its ids in
// order whatever order they are given in.
std::vector<std::uint8_t> MainPacket(platform::RunTime& runTime, const MainBody& main);
std::vector<std::uint8_t> FileDescriptionPacket(platform::RunTime& runTime, const Md5& setId,
                                                const FileDescription& file);
std::vector<std::uint8_t> SliceChecksumPacket(platform::RunTime& runTime, const Md5& setId,
                                              const Md5& fileId,
                                              std::span<const SliceCheck> slices);
std::vector<std::uint8_t> CreatorPacket(platform::RunTime& runTime, const Md5& setId,
                                        std::string_view creator);

// A recovery slice packet is as long as a slice and its data are computed
// piecewise, so it is written in two parts: RecoverySliceHasher gives an MD5
// already fed with what precedes the data in the hashed part (set id, type,
// exponent); the caller adds the data in order, and its Finish is the packet
// hash that RecoverySliceHead then writes into the packet's first bytes.
constexpr std::size_t RecoverySliceHeadLength = 68;
std::unique_ptr<platform::Md5Hasher> RecoverySliceHasher(platform::RunTime& runTime,
                                                         const Md5& setId, std::uint32_t exponent);
// dataLength is a multiple of 4: the slice size.
std::array<std::uint8_t, RecoverySliceHeadLength> RecoverySliceHead(const Md5& setId,
                                                                    std::uint32_t exponent,
                                                                    std::uint64_t dataLength,
                                                                    const Md5& packetHash);

// Where one recovery slice's data lie, to be read when a repair needs them.
struct RecoverySliceAt {
    std::string Path;
    // Of the data in that file.
    std::int64_t Offset = 0;
    // The caller checks it against the main packet's slice size.
    std::uint64_t Length = 0;
    std::uint32_t Exponent = 0;
};

// Everything of one recovery set found in the files scanned. Where packets repeat
// (every recovery file carries the set's description), the first found is kept.
struct SetPackets {
    // Set only when the set id is the MD5 of this body.
    std::optional<MainBody> Main;
    // By file id.
    std::map<Md5, FileDescription> Files;
    // By file id, in the order of the file's slices.
    std::map<Md5, std::vector<SliceCheck>> Slices;
    // One per exponent, in the order found.
    std::vector<RecoverySliceAt> Recovery;
    std::string Creator;
};

struct ScanReport {
    // By recovery set id.
    std::map<Md5, SetPackets> Sets;
    // Packets whose hash does not match, whose length runs past the end of the file
    // or is not a multiple of 4, or whose body does not parse.
    int DamagedPackets = 0;
};

// Finds the packets of one file and merges them into report. A damaged file's
// packets are found wherever they start, past garbage and at any byte offset;
// packets of types not known here are passed over. The file is read in chunks of
// at most 1 MiB and recovery data are hashed, never kept, so memory stays small
// whatever the file's size: a packet that is kept and claims more than 4 MiB is
// counted damaged. Failures to read are thrown as the run-time throws
// them.
void Scan(platform::RunTime& runTime, platform::InputFile& file, ScanReport& report);

// The recovery files par2cmdline would write for count recovery slices of base:
// files holding 1, 2, 4, ... slices, the last holding what remains, named
// base.volFIRST+COUNT.par2 with each number padded with zeros to the width of its
// largest (FIRST to that of count itself), so that the names sort in order.
struct Volume {
    std::string Name;
    std::uint32_t FirstExponent = 0;
    std::uint32_t Count = 0;
    bool operator==(const Volume&) const = default;
};
std::vector<Volume> Volumes(std::string_view base, std::uint32_t count);

// The index file, holding no recovery slice: base.par2.
std::string IndexName(std::string_view base);

} // namespace tren::par2
