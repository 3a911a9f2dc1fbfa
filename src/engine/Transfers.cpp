#include "engine/Transfers.h"

#include "platform/RunTime.h"
#include "platform/RunTimeError.h"

#include <algorithm>
#include <cstring>
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

void TransferBuffers::SaveBuffToFile(platform::OutputFile& file, std::int64_t fpos) {
    Save(Buff, file, fpos);
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

void TransferBuffers::memCopy(std::int32_t size, std::int32_t pos, std::int16_t typ) {
    if (size < 0 || (typ != 0 && typ != -1))
        return;
    // The bytes are checked against both buffers first and then moved in one go;
    // what a failure leaves copied is the same as a byte-by-byte copy would leave.
    const std::int64_t wanted = static_cast<std::int64_t>(size) + 1;
    const std::int64_t buffRoom =
        pos < 0 ? 0 : std::max<std::int64_t>(0, static_cast<std::int64_t>(Buff.size()) - pos);
    const std::int64_t room =
        std::min({wanted, buffRoom, static_cast<std::int64_t>(MultiBuff.size())});
    if (room > 0) {
        std::uint8_t* buffAt = Buff.data() + pos;
        if (typ == 0)
            std::memmove(MultiBuff.data(), buffAt, static_cast<std::size_t>(room));
        else
            std::memmove(buffAt, MultiBuff.data(), static_cast<std::size_t>(room));
    }
    if (room < wanted)
        throw RunTimeError(ErrorCode::IndexOutOfRange, "Cannot copy between the buffers", {},
                           "index " + std::to_string(room) + " is outside a buffer");
}

} // namespace tren
