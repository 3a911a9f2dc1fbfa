#include "engine/Par2Format.h"

#include "platform/RunTime.h"

#include <algorithm>
#include <cstring>

namespace tren::par2 {

namespace {

// Each table k gives the CRC of a byte followed by k zero bytes, so sixteen bytes
// are folded in with sixteen independent look-ups instead of a chain of sixteen.
using CrcTables = std::array<std::array<std::uint32_t, 256>, 16>;

constexpr CrcTables MakeCrcTables() {
    CrcTables tables{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t crc = i;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        tables[0][i] = crc;
    }
    for (std::size_t k = 1; k < tables.size(); ++k)
        for (std::size_t i = 0; i < 256; ++i)
            tables[k][i] = (tables[k - 1][i] >> 8) ^ tables[0][tables[k - 1][i] & 0xFF];
    return tables;
}

constexpr CrcTables crcTables = MakeCrcTables();

// Composed byte by byte, which the compiler turns into one load on a
// little-endian machine and which stays right on any other.
std::uint32_t GetU32(const std::uint8_t* at) {
    return std::uint32_t{at[0]} | std::uint32_t{at[1]} << 8 | std::uint32_t{at[2]} << 16 |
           std::uint32_t{at[3]} << 24;
}

std::uint64_t GetU64(const std::uint8_t* at) {
    return std::uint64_t{GetU32(at)} | std::uint64_t{GetU32(at + 4)} << 32;
}

void PutLittleEndian(std::uint8_t* at, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        at[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

using PacketType = std::array<std::uint8_t, 16>;

template <std::size_t N> constexpr PacketType TypeOf(const char (&text)[N]) {
    static_assert(N == 17, "a packet type is sixteen bytes");
    PacketType type{};
    for (std::size_t i = 0; i < type.size(); ++i)
        type[i] = static_cast<std::uint8_t>(text[i]);
    return type;
}

constexpr std::array<std::uint8_t, 8> magic = {'P', 'A', 'R', '2', 0, 'P', 'K', 'T'};
constexpr PacketType mainType = TypeOf("PAR 2.0\0Main\0\0\0\0");
constexpr PacketType fileDescriptionType = TypeOf("PAR 2.0\0FileDesc");
constexpr PacketType sliceChecksumType = TypeOf("PAR 2.0\0IFSC\0\0\0\0");
constexpr PacketType recoverySliceType = TypeOf("PAR 2.0\0RecvSlic");
constexpr PacketType creatorType = TypeOf("PAR 2.0\0Creator\0");

constexpr std::size_t headerLength = 64;
constexpr std::size_t hashedFrom = 32;

// A packet built whole: the header's set id and type first, then the body, then
// the length and the hash once the body is complete.
class PacketWriter {
  public:
    PacketWriter(const Md5& setId, const PacketType& type) : bytes_(headerLength) {
        std::copy(setId.begin(), setId.end(), bytes_.begin() + 32);
        std::copy(type.begin(), type.end(), bytes_.begin() + 48);
    }
    void Add(std::span<const std::uint8_t> bytes) {
        bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
    }
    void AddNumber(std::uint64_t value, int bytes) {
        bytes_.resize(bytes_.size() + static_cast<std::size_t>(bytes));
        PutLittleEndian(bytes_.data() + bytes_.size() - static_cast<std::size_t>(bytes), value,
                        bytes);
    }
    // Text is not terminated: zero bytes only pad it to the next multiple of 4.
    void AddText(std::string_view text) {
        bytes_.insert(bytes_.end(), text.begin(), text.end());
        bytes_.resize((bytes_.size() + 3) / 4 * 4);
    }
    std::vector<std::uint8_t> Finish(platform::RunTime& runTime) {
        std::copy(magic.begin(), magic.end(), bytes_.begin());
        PutLittleEndian(bytes_.data() + 8, bytes_.size(), 8);
        const Md5 hash = Md5Of(runTime, std::span(bytes_).subspan(hashedFrom));
        std::copy(hash.begin(), hash.end(), bytes_.begin() + 16);
        return std::move(bytes_);
    }

  private:
    std::vector<std::uint8_t> bytes_;
};

std::vector<std::uint8_t> MainBodyBytes(const MainBody& main) {
    std::vector<std::uint8_t> body(12);
    PutLittleEndian(body.data(), main.SliceSize, 8);
    PutLittleEndian(body.data() + 8, main.Recoverable.size(), 4);
    for (const auto* ids : {&main.Recoverable, &main.NonRecoverable}) {
        std::vector<Md5> sorted = *ids;
        std::sort(sorted.begin(), sorted.end(), IdBefore);
        for (const Md5& id : sorted)
            body.insert(body.end(), id.begin(), id.end());
    }
    return body;
}

Md5 Md5At(const std::uint8_t* at) {
    Md5 md5;
    std::copy(at, at + md5.size(), md5.begin());
    return md5;
}

// Text padded with zero bytes, without them.
std::string TextOf(std::span<const std::uint8_t> bytes) {
    std::size_t length = bytes.size();
    while (length > 0 && bytes[length - 1] == 0)
        --length;
    return {bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(length)};
}

constexpr std::size_t chunkLength = std::size_t{1} << 20;
// Far above the largest body par2cmdline writes for the types that are kept (the
// slice checks of 32768 slices take 640 KiB), yet no file can make a scan hold
// more.
constexpr std::uint64_t keptBodyLimit = std::uint64_t{4} << 20;

// One chunk of a file at a time, read again only when what is asked for runs past it.
class Window {
  public:
    explicit Window(platform::InputFile& file)
        : file_(file), end_(file.Length()), buffer_(chunkLength) {}

    std::int64_t End() const { return end_; }

    // The bytes at hand from offset on: at least want of them (at most chunkLength),
    // fewer only where the file ends.
    std::span<const std::uint8_t> From(std::int64_t offset, std::size_t want) {
        const std::int64_t held = start_ + static_cast<std::int64_t>(filled_);
        if (offset < start_ || offset > held ||
            (held - offset < static_cast<std::int64_t>(want) && held < end_)) {
            start_ = offset;
            const auto count =
                static_cast<std::size_t>(std::min<std::int64_t>(chunkLength, end_ - offset));
            filled_ = file_.ReadAt(offset, std::span(buffer_.data(), count));
            // A file cut short while it is read ends where the reading did.
            if (filled_ < count)
                end_ = offset + static_cast<std::int64_t>(filled_);
        }
        return std::span(buffer_).subspan(
            static_cast<std::size_t>(offset - start_),
            static_cast<std::size_t>(start_ + static_cast<std::int64_t>(filled_) - offset));
    }

    // Feeds the bytes from..to to hasher, and to kept where given; false where the
    // file ends first.
    bool Feed(std::int64_t from, std::int64_t to, platform::Md5Hasher& hasher,
              std::vector<std::uint8_t>* kept) {
        while (from < to) {
            auto bytes = From(from, 1);
            if (bytes.empty())
                return false;
            bytes = bytes.first(
                static_cast<std::size_t>(std::min<std::int64_t>(to - from, bytes.size())));
            hasher.Add(bytes);
            if (kept)
                kept->insert(kept->end(), bytes.begin(), bytes.end());
            from += static_cast<std::int64_t>(bytes.size());
        }
        return true;
    }

    // Where the next magic sequence starts, from offset on; -1 where none does.
    std::int64_t FindMagic(std::int64_t offset) {
        while (end_ - offset >= static_cast<std::int64_t>(magic.size())) {
            const auto bytes = From(offset, magic.size());
            if (bytes.size() < magic.size())
                break;
            const std::uint8_t* const first = bytes.data();
            const std::uint8_t* const last = first + bytes.size() - magic.size() + 1;
            for (const std::uint8_t* at = first; at < last; ++at) {
                at = static_cast<const std::uint8_t*>(
                    std::memchr(at, magic[0], static_cast<std::size_t>(last - at)));
                if (!at)
                    break;
                if (std::equal(magic.begin(), magic.end(), at))
                    return offset + (at - first);
            }
            offset += static_cast<std::int64_t>(bytes.size() - magic.size() + 1);
        }
        return -1;
    }

  private:
    platform::InputFile& file_;
    std::int64_t end_;
    std::vector<std::uint8_t> buffer_;
    std::int64_t start_ = 0;
    std::size_t filled_ = 0;
};

// Takes a packet whose hash matched into its set; false where its body does not parse.
bool Take(platform::RunTime& runTime, const PacketType& type, const Md5& setId,
          std::span<const std::uint8_t> body, ScanReport& report) {
    if (type == mainType) {
        if (body.size() < 12 || (body.size() - 12) % 16 != 0)
            return false;
        MainBody main;
        main.SliceSize = GetU64(body.data());
        const std::size_t recoverable = GetU32(body.data() + 8);
        const std::size_t ids = (body.size() - 12) / 16;
        if (main.SliceSize == 0 || main.SliceSize % 4 != 0 || recoverable > ids ||
            Md5Of(runTime, body) != setId)
            return false;
        for (std::size_t i = 0; i < ids; ++i)
            (i < recoverable ? main.Recoverable : main.NonRecoverable)
                .push_back(Md5At(body.data() + 12 + 16 * i));
        auto& set = report.Sets[setId];
        if (!set.Main)
            set.Main = std::move(main);
    } else if (type == fileDescriptionType) {
        if (body.size() < 56)
            return false;
        FileDescription file{Md5At(body.data()), Md5At(body.data() + 16), Md5At(body.data() + 32),
                             GetU64(body.data() + 48), TextOf(body.subspan(56))};
        report.Sets[setId].Files.try_emplace(file.Id, std::move(file));
    } else if (type == sliceChecksumType) {
        if (body.size() < 16 || (body.size() - 16) % 20 != 0)
            return false;
        std::vector<SliceCheck> slices;
        for (std::size_t at = 16; at < body.size(); at += 20)
            slices.push_back({Md5At(body.data() + at), GetU32(body.data() + at + 16)});
        report.Sets[setId].Slices.try_emplace(Md5At(body.data()), std::move(slices));
    } else if (type == creatorType) {
        auto& set = report.Sets[setId];
        if (set.Creator.empty())
            set.Creator = TextOf(body);
    }
    return true;
}

bool IsKept(const PacketType& type) {
    return type == mainType || type == fileDescriptionType || type == sliceChecksumType ||
           type == creatorType;
}

std::string Padded(std::uint32_t number, std::size_t width) {
    std::string digits = std::to_string(number);
    return std::string(width - std::min(width, digits.size()), '0') + digits;
}

} // namespace

std::uint32_t Crc32(std::span<const std::uint8_t> bytes, std::uint32_t crc) {
    const auto& t = crcTables;
    const std::uint8_t* at = bytes.data();
    std::size_t left = bytes.size();
    crc = ~crc;
    for (; left >= 16; at += 16, left -= 16) {
        const std::uint32_t a = GetU32(at) ^ crc;
        const std::uint32_t b = GetU32(at + 4);
        const std::uint32_t c = GetU32(at + 8);
        const std::uint32_t d = GetU32(at + 12);
        crc = t[15][a & 0xFF] ^ t[14][(a >> 8) & 0xFF] ^ t[13][(a >> 16) & 0xFF] ^ t[12][a >> 24] ^
              t[11][b & 0xFF] ^ t[10][(b >> 8) & 0xFF] ^ t[9][(b >> 16) & 0xFF] ^ t[8][b >> 24] ^
              t[7][c & 0xFF] ^ t[6][(c >> 8) & 0xFF] ^ t[5][(c >> 16) & 0xFF] ^ t[4][c >> 24] ^
              t[3][d & 0xFF] ^ t[2][(d >> 8) & 0xFF] ^ t[1][(d >> 16) & 0xFF] ^ t[0][d >> 24];
    }
    for (; left > 0; ++at, --left)
        crc = (crc >> 8) ^ t[0][(crc ^ *at) & 0xFF];
    return ~crc;
}

Md5 Md5Of(platform::RunTime& runTime, std::span<const std::uint8_t> bytes) {
    auto hasher = runTime.NewMd5();
    hasher->Add(bytes);
    return hasher->Finish();
}

Md5 FileIdOf(platform::RunTime& runTime, const Md5& hash16k, std::uint64_t length,
             std::string_view name) {
    std::array<std::uint8_t, 8> lengthBytes;
    PutLittleEndian(lengthBytes.data(), length, 8);
    auto hasher = runTime.NewMd5();
    hasher->Add(hash16k);
    hasher->Add(lengthBytes);
    hasher->Add(std::span(reinterpret_cast<const std::uint8_t*>(name.data()), name.size()));
    return hasher->Finish();
}

bool IdBefore(const Md5& a, const Md5& b) {
    return std::lexicographical_compare(a.rbegin(), a.rend(), b.rbegin(), b.rend());
}

Md5 RecoverySetIdOf(platform::RunTime& runTime, const MainBody& main) {
    return Md5Of(runTime, MainBodyBytes(main));
}

std::vector<std::uint8_t> MainPacket(platform::RunTime& runTime, const MainBody& main) {
    const auto body = MainBodyBytes(main);
    PacketWriter packet(Md5Of(runTime, body), mainType);
    packet.Add(body);
    return packet.Finish(runTime);
}

std::vector<std::uint8_t> FileDescriptionPacket(platform::RunTime& runTime, const Md5& setId,
                                                const FileDescription& file) {
    PacketWriter packet(setId, fileDescriptionType);
    packet.Add(file.Id);
    packet.Add(file.Hash);
    packet.Add(file.Hash16k);
    packet.AddNumber(file.Length, 8);
    packet.AddText(file.Name);
    return packet.Finish(runTime);
}

std::vector<std::uint8_t> SliceChecksumPacket(platform::RunTime& runTime, const Md5& setId,
                                              const Md5& fileId,
                                              std::span<const SliceCheck> slices) {
    PacketWriter packet(setId, sliceChecksumType);
    packet.Add(fileId);
    for (const SliceCheck& slice : slices) {
        packet.Add(slice.Hash);
        packet.AddNumber(slice.Crc, 4);
    }
    return packet.Finish(runTime);
}

std::vector<std::uint8_t> CreatorPacket(platform::RunTime& runTime, const Md5& setId,
                                        std::string_view creator) {
    PacketWriter packet(setId, creatorType);
    packet.AddText(creator);
    return packet.Finish(runTime);
}

std::unique_ptr<platform::Md5Hasher> RecoverySliceHasher(platform::RunTime& runTime,
                                                         const Md5& setId, std::uint32_t exponent) {
    std::array<std::uint8_t, 4> exponentBytes;
    PutLittleEndian(exponentBytes.data(), exponent, 4);
    auto hasher = runTime.NewMd5();
    hasher->Add(setId);
    hasher->Add(recoverySliceType);
    hasher->Add(exponentBytes);
    return hasher;
}

std::array<std::uint8_t, RecoverySliceHeadLength> RecoverySliceHead(const Md5& setId,
                                                                    std::uint32_t exponent,
                                                                    std::uint64_t dataLength,
                                                                    const Md5& packetHash) {
    std::array<std::uint8_t, RecoverySliceHeadLength> head{};
    std::copy(magic.begin(), magic.end(), head.begin());
    PutLittleEndian(head.data() + 8, RecoverySliceHeadLength + dataLength, 8);
    std::copy(packetHash.begin(), packetHash.end(), head.begin() + 16);
    std::copy(setId.begin(), setId.end(), head.begin() + 32);
    std::copy(recoverySliceType.begin(), recoverySliceType.end(), head.begin() + 48);
    PutLittleEndian(head.data() + headerLength, exponent, 4);
    return head;
}

void Scan(platform::RunTime& runTime, platform::InputFile& file, ScanReport& report) {
    Window window(file);
    std::vector<std::uint8_t> body;
    for (std::int64_t offset = 0;;) {
        const std::int64_t at = window.FindMagic(offset);
        if (at < 0)
            return;
        // A packet whose header is cut off can only be the file's last.
        const auto headerBytes = window.From(at, headerLength);
        if (headerBytes.size() < headerLength) {
            ++report.DamagedPackets;
            return;
        }
        std::array<std::uint8_t, headerLength> header;
        std::copy_n(headerBytes.begin(), headerLength, header.begin());
        const std::uint64_t length = GetU64(header.data() + 8);
        const Md5 hash = Md5At(header.data() + 16);
        const Md5 setId = Md5At(header.data() + 32);
        PacketType type;
        std::copy_n(header.begin() + 48, type.size(), type.begin());

        const bool kept = IsKept(type);
        const std::uint64_t minimum =
            type == recoverySliceType ? RecoverySliceHeadLength : headerLength;
        // A damaged length, or a magic sequence inside other bytes: the search goes
        // on from the next byte, where a packet's own magic may still be found.
        if (length < minimum || length % 4 != 0 ||
            length > static_cast<std::uint64_t>(window.End() - at) ||
            (kept && length - headerLength > keptBodyLimit)) {
            ++report.DamagedPackets;
            offset = at + 1;
            continue;
        }
        const std::int64_t end = at + static_cast<std::int64_t>(length);
        // Only a recovery slice's exponent is kept of its body: its data are looked
        // at only when a repair needs them.
        const std::int64_t keptEnd = kept                        ? end
                                     : type == recoverySliceType ? at + RecoverySliceHeadLength
                                                                 : at + headerLength;
        auto hasher = runTime.NewMd5();
        body.clear();
        const bool whole = window.Feed(at + hashedFrom, at + headerLength, *hasher, nullptr) &&
                           window.Feed(at + headerLength, keptEnd, *hasher, &body) &&
                           window.Feed(keptEnd, end, *hasher, nullptr);
        if (!whole || hasher->Finish() != hash) {
            ++report.DamagedPackets;
            offset = at + 1;
            continue;
        }
        if (type == recoverySliceType) {
            auto& recovery = report.Sets[setId].Recovery;
            const std::uint32_t exponent = GetU32(body.data());
            if (std::none_of(recovery.begin(), recovery.end(),
                             [&](const auto& slice) { return slice.Exponent == exponent; }))
                recovery.push_back({file.Path(),
                                    at + static_cast<std::int64_t>(RecoverySliceHeadLength),
                                    length - RecoverySliceHeadLength, exponent});
        } else if (kept && !Take(runTime, type, setId, body, report)) {
            ++report.DamagedPackets;
        }
        offset = end;
    }
}

std::vector<Volume> Volumes(std::string_view base, std::uint32_t count) {
    std::vector<Volume> volumes;
    std::uint32_t largest = 0;
    std::uint64_t size = 1;
    for (std::uint32_t first = 0; first < count; size *= 2) {
        const auto slices =
            static_cast<std::uint32_t>(std::min<std::uint64_t>(size, count - first));
        volumes.push_back({{}, first, slices});
        largest = std::max(largest, slices);
        first += slices;
    }
    const std::size_t firstWidth = std::to_string(count).size();
    const std::size_t countWidth = std::to_string(largest).size();
    for (Volume& volume : volumes)
        volume.Name = std::string(base) + ".vol" + Padded(volume.FirstExponent, firstWidth) + "+" +
                      Padded(volume.Count, countWidth) + ".par2";
    return volumes;
}

std::string IndexName(std::string_view base) {
    return std::string(base) + ".par2";
}

} // namespace tren::par2
