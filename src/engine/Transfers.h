#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace tren::platform {
class InputFile;
class OutputFile;
} // namespace tren::platform

namespace tren {

// A byte array indexed from 0, the size of every transfer through it.
class TransferBuffer {
  public:
    // n bytes, every one 0; what the buffer held is dropped.
    void Resize(std::size_t n);
    // n bytes for a transfer that fills every one of them. The storage is kept
    // between pieces, so the contents are whatever a previous transfer left until
    // the next one overwrites them all.
    void Prepare(std::size_t n);

    std::size_t size() const noexcept { return bytes_.size(); }
    std::uint8_t* data() noexcept { return bytes_.data(); }
    const std::uint8_t* data() const noexcept { return bytes_.data(); }
    std::uint8_t& operator[](std::size_t i) noexcept { return bytes_[i]; }
    std::uint8_t operator[](std::size_t i) const noexcept { return bytes_[i]; }
    std::span<std::uint8_t> Bytes() noexcept { return bytes_; }
    std::span<const std::uint8_t> Bytes() const noexcept { return bytes_; }

  private:
    std::vector<std::uint8_t> bytes_;
};

// How much of a buffer a read must fill.
enum class ReadExtent {
    // Up to the end of the file; bytes the file lacks are 0. For a header piece,
    // whose missing bytes count as 0.
    UpToEnd,
    // Every byte of the buffer; a file that ends sooner is a failure, so no stale
    // or zero byte can stand in for data the file was measured to hold.
    Whole,
};

// The two transfer buffers and the block transfers between them and open files.
// Positions are 1-based byte positions in the file; each transfer moves the whole
// buffer.
class TransferBuffers {
  public:
    TransferBuffer Buff;
    TransferBuffer MultiBuff;

    void CopyFileToBuff(platform::InputFile& file, std::int64_t fpos,
                        ReadExtent extent = ReadExtent::UpToEnd);
    void CopyFileToMultiBuff(platform::InputFile& file, std::int64_t fpos,
                             ReadExtent extent = ReadExtent::UpToEnd);
    void SaveMultiBuffToFile(platform::OutputFile& file, std::int64_t fpos);

    // Moves count bytes of one file into another: in the kernel where the system
    // can, otherwise through MultiBuff. The source must hold them all.
    void CopyFileToFile(platform::InputFile& file, std::int64_t fpos, platform::OutputFile& dest,
                        std::int64_t destPos, std::int64_t count);

  private:
    static void Read(TransferBuffer& into, platform::InputFile& file, std::int64_t fpos,
                     ReadExtent extent);
    static void Save(const TransferBuffer& from, platform::OutputFile& file, std::int64_t fpos);
};

} // namespace tren
