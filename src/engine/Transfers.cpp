#include "engine/Transfers.h"

#include "engine/RunTimeError.h"
#include "platform/RunTime.h"

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
        throw RunTimeError(ErrorCode::OutOfMemory, "Cannot make a buffer of",
                           std::to_string(n) + " bytes");
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

void TransferBuffers::Read(TransferBuffer& into, const std::string& fname, std::int64_t fpos,
                           ReadExtent extent) {
    CheckPosition(fpos, fname);
    const std::size_t got = runTime_.ReadAt(fname, fpos - 1, into.Bytes());
    if (got < into.size()) {
        if (extent == ReadExtent::Whole)
            throw RunTimeError(ErrorCode::InputPastEnd, "Cannot read", fname,
                               "the file holds " + std::to_string(fpos - 1 + got) +
                                   " bytes, " + std::to_string(fpos - 1 + into.size()) +
                                   " are needed");
        std::fill(into.data() + got, into.data() + into.size(), std::uint8_t{0});
    }
}

void TransferBuffers::Save(const TransferBuffer& from, const std::string& fname,
                           std::int64_t fpos) {
    CheckPosition(fpos, fname);
    runTime_.WriteAt(fname, fpos - 1, from.Bytes());
}

void TransferBuffers::CopyFileToBuff(const std::string& fname, std::int64_t fpos,
                                     ReadExtent extent) {
    Read(Buff, fname, fpos, extent);
}

void TransferBuffers::CopyFileToMultiBuff(const std::string& fname, std::int64_t fpos,
                                          ReadExtent extent) {
    Read(MultiBuff, fname, fpos, extent);
}

void TransferBuffers::SaveBuffToFile(const std::string& fname, std::int64_t fpos) {
    Save(Buff, fname, fpos);
}

void TransferBuffers::SaveMultiBuffToFile(const std::string& fname, std::int64_t fpos) {
    Save(MultiBuff, fname, fpos);
}

void TransferBuffers::CopyFileToFile(const std::string& fname, std::int64_t fpos,
                                     const std::string& destName, std::int64_t destPos,
                                     std::int64_t count) {
    CheckPosition(fpos, fname);
    CheckPosition(destPos, destName);
    const std::int64_t copied = runTime_.CopyRange(fname, fpos - 1, destName, destPos - 1, count);
    if (copied < 0) {
        MultiBuff.Prepare(static_cast<std::size_t>(count));
        CopyFileToMultiBuff(fname, fpos, ReadExtent::Whole);
        SaveMultiBuffToFile(destName, destPos);
    } else if (copied < count) {
        throw RunTimeError(ErrorCode::InputPastEnd, "Cannot read", fname,
                           "the file holds " + std::to_string(fpos - 1 + copied) + " bytes, " +
                               std::to_string(fpos - 1 + count) + " are needed");
    }
}

void TransferBuffers::memCopy(std::int32_t size, std::int32_t pos, std::int16_t typ) {
    if (size < 0 || (typ != 0 && typ != -1))
        return;
    // The bytes are checked against both buffers first and then moved in one go;
    // what a failure leaves copied is the same as a byte-by-byte copy would leave.
    const std::int64_t wanted = static_cast<std::int64_t>(size) + 1;
    const std::int64_t buffRoom = pos < 0 ? 0 : std::max<std::int64_t>(0, static_cast<std::int64_t>(Buff.size()) - pos);
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
