// Feeds arbitrary bytes, as a recovery file found beside a set, to the PAR2
// packet scanner, and checks that what it reports lies within the file and
// hangs together.
#include "engine/Par2Format.h"
#include "platform/linux/PosixRunTime.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>

namespace {

using namespace tren;

void Check(bool holds) {
    if (!holds)
        __builtin_trap();
}

// The fuzzer's bytes as a file.
class BytesFile final : public platform::InputFile {
  public:
    explicit BytesFile(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
    const std::string& Path() const override { return path_; }
    platform::FileId Id() const override { return {}; }
    std::int64_t Length() override { return static_cast<std::int64_t>(bytes_.size()); }
    platform::FileStamp Stamp() override { return {Length(), 0, 0}; }
    std::size_t ReadAt(std::int64_t offset, std::span<std::uint8_t> into) override {
        Check(offset >= 0);
        if (static_cast<std::size_t>(offset) >= bytes_.size())
            return 0;
        const std::size_t count =
            std::min(into.size(), bytes_.size() - static_cast<std::size_t>(offset));
        std::memcpy(into.data(), bytes_.data() + offset, count);
        return count;
    }

  private:
    std::span<const std::uint8_t> bytes_;
    std::string path_ = "fuzz.par2";
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static platform::PosixRunTime runTime;
    BytesFile file({data, size});
    par2::ScanReport report;
    par2::Scan(runTime, file, report);
    for (const auto& [id, set] : report.Sets) {
        for (const auto& slice : set.Recovery)
            Check(slice.Offset >= 64 &&
                  static_cast<std::uint64_t>(slice.Offset) + slice.Length <= size);
        for (const auto& [fileId, file] : set.Files)
            Check(file.Id == fileId);
    }
    return 0;
}
