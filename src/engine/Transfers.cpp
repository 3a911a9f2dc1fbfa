#include "engine/Transfers.h"

#include "platform/RunTime.h"
#include "platform/RunTimeError.h"

#include <algorithm>
#include <new>
#include <stdexcept>

namespace tren {

namespace {

template <class Action> void Sizing(std::size_t n, Action action) {
    try {
        action();
    } catch (const std::exception&) {
        // bad_alloc, or length_error for a size the address space cannot hold.
        throw RunTimeError(ErrorCode::OutOfMemory,
                           "Cannot make a buffer of " + std::to_string(n) + " bytes", {});
    }
}

void CheckPosition(std::int64_t fpos, const std::string& fname) {
    if (fpos < 1)
        throw RunTimeError(ErrorCode::InvalidArgument, "Bad file position for", fname);
}

} // namespace

void TransferBuffer::Resize(std::size_t n) {
    Sizing(n, [&] {
        bytes_.clear();
        bytes_.resize(n);
    });
}

void TransferBuffer::Prepare(std::size_t n) {
    Sizing(n, [&] { bytes_.resize(n); });
}

namespace {

[[noreturn]] void ShortInput(const platform::InputFile& file, std::int64_t held,
                             std::int64_t needed) {
    throw RunTimeError(ErrorCode::InputPastEnd, "Cannot read", file.Path(),
                       "the file holds " + std::to_string(held) + " bytes, " +
                           std::to_string(needed) + " are needed");
}

} // namespace

void TransferBuffers::Read(TransferBuffer& into, platform::InputFile& file, std::int64_t fpos,
                           ReadExtent extent) {
    CheckPosition(fpos, file.Path());
    const std::size_t got = file.ReadAt(fpos - 1, into.Bytes());
    if (got < into.size()) {
        if (extent == ReadExtent::Whole)
            ShortInput(file, fpos - 1 + static_cast<std::int64_t>(got),
                       fpos - 1 + static_cast<std::int64_t>(into.size()));
        std::fill(into.data() + got, into.data() + into.size(), std::uint8_t{0});
    }
}

void TransferBuffers::Save(const TransferBuffer& from, platform::OutputFile& file,
                           std::int64_t fpos) {
    CheckPosition(fpos, file.Path());
    file.WriteAt(fpos - 1, from.Bytes());
}

void TransferBuffers::CopyFileToBuff(platform::InputFile& file, std::int64_t fpos,
                                     ReadExtent extent) {
    Read(Buff, file, fpos, extent);
}

void TransferBuffers::CopyFileToMultiBuff(platform::InputFile& file, std::int64_t fpos,
                                          ReadExtent extent) {
    Read(MultiBuff, file, fpos, extent);
}

void TransferBuffers::SaveMultiBuffToFile(platform::OutputFile& file, std::int64_t fpos) {
    Save(MultiBuff, file, fpos);
}

void TransferBuffers::CopyFileToFile(platform::InputFile& file, std::int64_t fpos,
                                     platform::OutputFile& dest, std::int64_t destPos,
                                     std::int64_t count) {
    CheckPosition(fpos, file.Path());
    CheckPosition(destPos, dest.Path());
    const std::int64_t copied = dest.CopyFrom(file, fpos - 1, destPos - 1, count);
    if (copied < 0) {
        MultiBuff.Prepare(static_cast<std::size_t>(count));
        CopyFileToMultiBuff(file, fpos, ReadExtent::Whole);
        SaveMultiBuffToFile(dest, destPos);
    } else if (copied < count) {
        ShortInput(file, fpos - 1 + copied, fpos - 1 + count);
    }
}

} // namespace tren
