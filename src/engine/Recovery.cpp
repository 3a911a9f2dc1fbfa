#include "engine/Recovery.h"

#include "engine/Galois16.h"
#include "engine/PieceSet.h"
#include "engine/Sums.h"
#include "platform/RunTime.h"
#include "platform/RunTimeError.h"

#include <algorithm>
#include <memory>
#include <set>

namespace tren::engine::recovery {

namespace {

constexpr std::string_view Creator = "tren, File Trenning";
constexpr std::int64_t HashedHead = 16 * 1024;

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}

bool StartsWithCaseless(std::string_view text, std::string_view start) {
    return text.size() >= start.size() &&
           std::equal(start.begin(), start.end(), text.begin(),
                      [](char a, char b) { return Lower(a) == Lower(b); });
}

bool EndsWithCaseless(std::string_view text, std::string_view end) {
    return text.size() >= end.size() &&
           StartsWithCaseless(text.substr(text.size() - end.size()), end);
}

// The number a piece's name ends in, as the checksum file matches it, and 0 for
// the header's ".tr0"; -1 for a name that ends in neither.
int NumberOf(std::string_view name) {
    if (EndsWithCaseless(name, ".tr0"))
        return 0;
    const int number = sums::PieceNumberOf(name);
    return number > 0 ? number : -1;
}

std::int64_t Padded(std::int64_t length) {
    return (length + 3) / 4 * 4;
}

std::int64_t SlicesOf(std::int64_t length, std::int64_t sliceSize) {
    return (length + sliceSize - 1) / sliceSize;
}

std::int64_t CriticalLength(const std::vector<Input>& inputs, std::int64_t sliceSize) {
    std::int64_t length = 64 + 12 + 16 * static_cast<std::int64_t>(inputs.size());
    for (const auto& input : inputs)
        length += (64 + 56 + Padded(static_cast<std::int64_t>(input.Name.size()))) +
                  (64 + 16 + 20 * SlicesOf(input.Length, sliceSize));
    return length + 64 + Padded(static_cast<std::int64_t>(Creator.size()));
}

// The window every slice is worked through in, so that count slices of the
// window's length and one more fit the budget.
std::size_t WindowFor(std::int64_t sliceBytes, std::size_t count) {
    const std::size_t fits = std::max<std::size_t>(WorkBudget / (count + 1) / 64 * 64, 64);
    return static_cast<std::size_t>(
        std::min<std::int64_t>(sliceBytes, static_cast<std::int64_t>(fits)));
}

// Reads bytes [offset, offset + into.size()) of a file of length bytes, the part
// past its end as zeros, as the format pads a last slice.
void ReadPadded(platform::InputFile& file, std::int64_t length, std::int64_t offset,
                std::span<std::uint8_t> into) {
    std::size_t got = 0;
    if (offset < length) {
        const auto wanted = static_cast<std::size_t>(
            std::min<std::int64_t>(length - offset, static_cast<std::int64_t>(into.size())));
        got = file.ReadAt(offset, into.first(wanted));
        if (got < wanted)
            throw RunTimeError(ErrorCode::InputPastEnd, "Cannot read", file.Path(),
                               "the file is shorter than the set needs");
    }
    std::fill(into.begin() + static_cast<std::ptrdiff_t>(got), into.end(), std::uint8_t{0});
}

// An input file's bytes, from its file or from memory.
class InputReader {
  public:
    InputReader(platform::RunTime& runTime, const Input& input) : input_(input) {
        if (input_.Bytes.empty())
            file_ = runTime.OpenInput(input_.Path);
    }
    void Read(std::int64_t offset, std::span<std::uint8_t> into) {
        if (file_) {
            ReadPadded(*file_, input_.Length, offset, into);
            return;
        }
        std::fill(into.begin(), into.end(), std::uint8_t{0});
        for (std::size_t k = 0;
             k < into.size() && offset + static_cast<std::int64_t>(k) < input_.Length; ++k)
            into[k] = input_.Bytes[static_cast<std::size_t>(offset) + k];
    }

  private:
    const Input& input_;
    std::unique_ptr<platform::InputFile> file_;
};

// Where slices come from: each source's bytes at an offset within its slice, and
// what it adds, times its factor, to each output.
struct Source {
    std::function<void(std::int64_t offset, std::span<std::uint8_t> into)> Read;
    std::vector<gf16::Symbol> Factors;
};

// Works through the first sliceBytes of every slice, a window at a time so that
// memory stays within the budget however many outputs there are: each source
// adds its window into every output's, and each output's window is then handed
// to done, in order of offset.
void Combine(std::int64_t sliceBytes, const std::vector<Source>& sources, std::size_t outputs,
             const std::function<void(std::size_t output, std::int64_t offset,
                                      std::span<const std::uint8_t> bytes)>& done) {
    const std::size_t window = WindowFor(sliceBytes, outputs);
    std::vector<std::uint8_t> in(window);
    std::vector<std::vector<std::uint8_t>> out(outputs, std::vector<std::uint8_t>(window));
    std::vector<std::uint8_t*> into;
    for (auto& buffer : out)
        into.push_back(buffer.data());
    for (std::int64_t at = 0; at < sliceBytes; at += static_cast<std::int64_t>(window)) {
        const auto length =
            static_cast<std::size_t>(std::min<std::int64_t>(window, sliceBytes - at));
        const auto bytes = std::span(in).first(length);
        for (auto& buffer : out)
            std::fill_n(buffer.begin(), length, std::uint8_t{0});
        for (const auto& source : sources) {
            source.Read(at, bytes);
            gf16::MultiplyAddEach(source.Factors, bytes, std::span<std::uint8_t* const>(into));
        }
        for (std::size_t k = 0; k < outputs; ++k)
            done(k, at, std::span<const std::uint8_t>(out[k]).first(length));
    }
}

} // namespace

std::string StemOf(std::string_view headerTitle) {
    return std::string(headerTitle.substr(0, headerTitle.empty() ? 0 : headerTitle.size() - 1));
}

bool IsRecoveryName(std::string_view stem, std::string_view name) {
    if (!StartsWithCaseless(name, stem) || !EndsWithCaseless(name, ".par2"))
        return false;
    const std::string_view rest = name.substr(stem.size());
    return rest.size() == 5 || StartsWithCaseless(rest, ".vol");
}

std::vector<PlannedFile> Plan(std::string_view stem, const std::vector<Input>& inputs,
                              std::int64_t sliceSize, int count) {
    const std::int64_t critical = CriticalLength(inputs, sliceSize);
    std::vector<PlannedFile> files{{par2::IndexName(stem), critical}};
    for (const auto& volume : par2::Volumes(stem, static_cast<std::uint32_t>(count)))
        files.push_back({volume.Name, volume.Count * (68 + sliceSize) + critical});
    return files;
}

void Write(platform::RunTime& runTime, const std::string& folder, std::string_view stem,
           const std::vector<Input>& inputs, std::int64_t sliceSize, int count,
           const std::function<void(const std::string&, std::int64_t)>& written) {
    // The set's order is its files' ids, which hang on their first 16 KiB alone.
    struct Entry {
        const Input* Source;
        par2::FileDescription File;
        std::unique_ptr<platform::Md5Hasher> Whole, Slice;
        std::uint32_t Crc = 0;
    };
    std::vector<Entry> entries;
    std::vector<std::uint8_t> head(HashedHead);
    for (const auto& input : inputs) {
        Entry entry{&input, {}, runTime.NewMd5(), nullptr, 0};
        const auto first = static_cast<std::size_t>(std::min(input.Length, HashedHead));
        InputReader(runTime, input).Read(0, std::span(head).first(first));
        entry.File.Hash16k = par2::Md5Of(runTime, std::span(head).first(first));
        entry.File.Length = static_cast<std::uint64_t>(input.Length);
        entry.File.Name = input.Name;
        entry.File.Id = par2::FileIdOf(runTime, entry.File.Hash16k, entry.File.Length, input.Name);
        // A piece of a whole slice hashes as its slice does; a shorter one is
        // hashed again with its padding.
        if (input.Length != sliceSize)
            entry.Slice = runTime.NewMd5();
        entries.push_back(std::move(entry));
    }
    std::sort(entries.begin(), entries.end(),
              [](const Entry& a, const Entry& b) { return par2::IdBefore(a.File.Id, b.File.Id); });
    par2::MainBody main{static_cast<std::uint64_t>(sliceSize), {}, {}};
    for (const auto& entry : entries)
        main.Recoverable.push_back(entry.File.Id);
    const par2::Md5 setId = par2::RecoverySetIdOf(runTime, main);

    const auto planned = Plan(stem, inputs, sliceSize, count);
    const auto volumes = par2::Volumes(stem, static_cast<std::uint32_t>(count));
    std::vector<std::unique_ptr<platform::OutputFile>> outputs;
    for (const auto& file : planned)
        outputs.push_back(runTime.CreateOutput(folder + file.Name, platform::Naming::ReplaceName));
    // Slice j of the recovery set: its file and where its data start there.
    struct Made {
        platform::OutputFile* File;
        std::int64_t Packet;
        std::uint32_t Exponent;
        std::unique_ptr<platform::Md5Hasher> Hash;
    };
    std::vector<Made> made;
    for (std::size_t v = 0; v < volumes.size(); ++v)
        for (std::uint32_t k = 0; k < volumes[v].Count; ++k) {
            const std::uint32_t exponent = volumes[v].FirstExponent + k;
            made.push_back({outputs[v + 1].get(), k * (68 + sliceSize), exponent,
                            par2::RecoverySliceHasher(runTime, setId, exponent)});
        }

    std::vector<Source> sources;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        Entry& entry = entries[i];
        Source source;
        for (const auto& slice : made)
            source.Factors.push_back(gf16::Coefficient(static_cast<int>(i), slice.Exponent));
        // Each file's description is gathered from the very bytes the slices take in.
        source.Read = [&runTime, &entry](std::int64_t at, std::span<std::uint8_t> bytes) {
            InputReader(runTime, *entry.Source).Read(at, bytes);
            const std::int64_t inFile = std::clamp<std::int64_t>(
                entry.Source->Length - at, 0, static_cast<std::int64_t>(bytes.size()));
            entry.Whole->Add(bytes.first(static_cast<std::size_t>(inFile)));
            if (entry.Slice)
                entry.Slice->Add(bytes);
            entry.Crc = par2::Crc32(bytes, entry.Crc);
        };
        sources.push_back(std::move(source));
    }
    Combine(sliceSize, sources, made.size(),
            [&](std::size_t j, std::int64_t at, std::span<const std::uint8_t> data) {
                made[j].File->WriteAt(made[j].Packet + 68 + at, data);
                made[j].Hash->Add(data);
            });

    std::vector<std::uint8_t> critical = par2::MainPacket(runTime, main);
    const auto append = [&](const std::vector<std::uint8_t>& packet) {
        critical.insert(critical.end(), packet.begin(), packet.end());
    };
    for (auto& entry : entries) {
        entry.File.Hash = entry.Whole->Finish();
        const par2::SliceCheck check{entry.Slice ? entry.Slice->Finish() : entry.File.Hash,
                                     entry.Crc};
        append(par2::FileDescriptionPacket(runTime, setId, entry.File));
        append(par2::SliceChecksumPacket(runTime, setId, entry.File.Id, std::span(&check, 1)));
    }
    append(par2::CreatorPacket(runTime, setId, Creator));
    for (auto& slice : made) {
        const auto start = par2::RecoverySliceHead(
            setId, slice.Exponent, static_cast<std::uint64_t>(sliceSize), slice.Hash->Finish());
        slice.File->WriteAt(slice.Packet, start);
    }
    for (std::size_t f = 0; f < outputs.size(); ++f) {
        const std::int64_t at = f == 0 ? 0 : volumes[f - 1].Count * (68 + sliceSize);
        outputs[f]->WriteAt(at, critical);
        outputs[f]->StartFlush();
        outputs[f]->Publish();
        outputs[f]->Release();
        written(folder + planned[f].Name, planned[f].Length);
    }
}

Recovery::Recovery(platform::RunTime& runTime, std::string folder, std::string stem)
    : runTime_(runTime), folder_(std::move(folder)), stem_(std::move(stem)) {
    const std::string where = folder_.empty() ? runTime_.CurrentDirectory() : folder_;
    std::vector<std::string> names = runTime_.NamesStartingWith(where, stem_);
    std::sort(names.begin(), names.end());
    for (const auto& name : names) {
        if (!IsRecoveryName(stem_, name))
            continue;
        ++fileCount_;
        try {
            const auto file = runTime_.OpenInput(folder_ + name);
            par2::Scan(runTime_, *file, report_);
        } catch (const RunTimeError&) {
            // A recovery file that cannot be read holds nothing for the set.
        }
    }
}

bool Recovery::Choose() {
    chosen_.reset();
    files_.clear();
    if (fileCount_ == 0)
        return false;
    std::size_t best = 0;
    bool described = false;
    for (const auto& [id, set] : report_.Sets) {
        if (!set.Main || set.Main->SliceSize == 0 || set.Main->SliceSize % 4 != 0)
            continue;
        std::set<int> numbers;
        bool fits = true;
        for (const auto& file : set.Main->Recoverable) {
            const auto found = set.Files.find(file);
            const int number = found == set.Files.end() ? -1 : NumberOf(found->second.Name);
            fits = fits && number >= 0 && numbers.insert(number).second &&
                   (number > 0 || found->second.Length == pieces::HeaderLength);
        }
        described = described || !numbers.empty();
        // The header piece and every data piece up to the last, each once.
        fits = fits && !numbers.empty() && *numbers.begin() == 0 &&
               *numbers.rbegin() == static_cast<int>(numbers.size()) - 1;
        if (fits && (!chosen_ || set.Recovery.size() > best)) {
            chosen_ = id;
            best = set.Recovery.size();
        }
    }
    if (!chosen_) {
        ignored_ = described ? "the recovery files describe another set"
                             : "the recovery files hold no description of a set";
        return false;
    }
    const par2::SetPackets& set = report_.Sets.at(*chosen_);
    sliceSize_ = static_cast<std::int64_t>(set.Main->SliceSize);
    // A slice of another length belongs to no set of this slice size.
    slices_.clear();
    for (const auto& slice : set.Recovery)
        if (slice.Length == set.Main->SliceSize)
            slices_.push_back(slice);
    std::sort(slices_.begin(), slices_.end(),
              [](const auto& a, const auto& b) { return a.Exponent < b.Exponent; });
    int first = 0;
    for (const auto& id : set.Main->Recoverable) {
        Described file;
        file.File = set.Files.at(id);
        file.Number = NumberOf(file.File.Name);
        file.FirstSlice = first;
        file.SliceCount =
            static_cast<int>(SlicesOf(static_cast<std::int64_t>(file.File.Length), sliceSize_));
        if (const auto checks = set.Slices.find(id);
            checks != set.Slices.end() &&
            checks->second.size() == static_cast<std::size_t>(file.SliceCount))
            file.Checks = checks->second;
        first += file.SliceCount;
        files_.push_back(std::move(file));
    }
    return true;
}

int Recovery::PieceCount() const {
    int highest = 0;
    for (const auto& file : files_)
        highest = std::max(highest, file.Number);
    return highest;
}

std::int64_t Recovery::LengthOf(int number) const {
    return static_cast<std::int64_t>(Find(number).File.Length);
}

int Recovery::SliceCount() const {
    return chosen_ ? static_cast<int>(slices_.size()) : 0;
}

const Described& Recovery::Find(int number) const {
    for (const auto& file : files_)
        if (file.Number == number)
            return file;
    throw RunTimeError(ErrorCode::IndexOutOfRange, "Cannot repair", stem_,
                       "the recovery files do not describe piece " + std::to_string(number));
}

bool Recovery::Verify(const Opener& open) {
    open_ = open;
    bool anyWhole = false, anyThere = false;
    std::vector<std::uint8_t> buffer(std::size_t{1} << 20);
    for (auto& file : files_) {
        file.Whole.assign(static_cast<std::size_t>(file.SliceCount), false);
        std::unique_ptr<platform::InputFile> input;
        try {
            input = open_(file.Number);
        } catch (const RunTimeError&) {
            continue;
        }
        // The header of another cut of the same length is the same 10 bytes: only
        // the data pieces tell cuts apart.
        anyThere = anyThere || file.Number != 0;
        const std::int64_t length = static_cast<std::int64_t>(file.File.Length);
        const std::int64_t present = std::min(input->Length(), length);
        // Without slice checksums only the whole file's digest can vouch for it.
        const auto whole = runTime_.NewMd5();
        for (int s = 0; s < file.SliceCount; ++s) {
            const std::int64_t start = s * sliceSize_;
            const std::int64_t end = std::min(start + sliceSize_, length);
            if (end > present)
                break;
            const auto hash = runTime_.NewMd5();
            std::uint32_t crc = 0;
            for (std::int64_t at = start; at < start + sliceSize_;) {
                const auto count = static_cast<std::size_t>(std::min<std::int64_t>(
                    static_cast<std::int64_t>(buffer.size()), start + sliceSize_ - at));
                const auto bytes = std::span(buffer).first(count);
                ReadPadded(*input, length, at, bytes);
                hash->Add(bytes);
                crc = par2::Crc32(bytes, crc);
                whole->Add(bytes.first(static_cast<std::size_t>(
                    std::clamp<std::int64_t>(end - at, 0, static_cast<std::int64_t>(count)))));
                at += static_cast<std::int64_t>(count);
            }
            const auto digest = hash->Finish();
            if (!file.Checks.empty())
                file.Whole[static_cast<std::size_t>(s)] =
                    file.Checks[static_cast<std::size_t>(s)].Hash == digest &&
                    file.Checks[static_cast<std::size_t>(s)].Crc == crc;
        }
        if (file.Checks.empty() && present == length)
            std::fill(file.Whole.begin(), file.Whole.end(), whole->Finish() == file.File.Hash);
        anyWhole = anyWhole || (file.Number != 0 && std::find(file.Whole.begin(), file.Whole.end(),
                                                              true) != file.Whole.end());
    }
    if (anyThere && !anyWhole) {
        ignored_ = "the recovery files describe an older cut of this set";
        chosen_.reset();
        return false;
    }
    return true;
}

int Recovery::MissingSlices() const {
    int missing = 0;
    for (const auto& file : files_)
        missing += static_cast<int>(std::count(file.Whole.begin(), file.Whole.end(), false));
    return missing;
}

std::vector<int> Recovery::DamagedNumbers() const {
    std::vector<int> numbers;
    for (const auto& file : files_)
        if (std::find(file.Whole.begin(), file.Whole.end(), false) != file.Whole.end())
            numbers.push_back(file.Number);
    std::sort(numbers.begin(), numbers.end());
    return numbers;
}

std::string Recovery::Shortfall() const {
    const auto count = [](std::size_t n, const char* one, const char* many) {
        return std::to_string(n) + (n == 1 ? one : many);
    };
    return count(DamagedNumbers().size(), " piece is", " pieces are") + " not whole: " +
           count(static_cast<std::size_t>(MissingSlices()), " slice is", " slices are") +
           " missing, the recovery files hold " + std::to_string(SliceCount());
}

bool Recovery::IsWhole(int number) const {
    const auto& whole = Find(number).Whole;
    return std::find(whole.begin(), whole.end(), false) == whole.end();
}

std::vector<std::pair<std::int64_t, std::int64_t>> Recovery::WholeRanges(int number) const {
    const Described& file = Find(number);
    std::vector<std::pair<std::int64_t, std::int64_t>> ranges;
    for (int s = 0; s < file.SliceCount; ++s)
        if (file.Whole[static_cast<std::size_t>(s)]) {
            const std::int64_t start = s * sliceSize_;
            ranges.emplace_back(
                start, std::min(sliceSize_, static_cast<std::int64_t>(file.File.Length) - start));
        }
    return ranges;
}

void Recovery::Repair(const std::vector<int>& wanted, std::int64_t end, const Delivery& deliver) {
    // Every slice not whole is an unknown of the one system of equations, even
    // those no one asked for.
    struct Slice {
        const Described* File;
        int Index;
    };
    std::vector<Slice> unknown, known;
    for (const auto& file : files_)
        for (int s = 0; s < file.SliceCount; ++s)
            (file.Whole[static_cast<std::size_t>(s)] ? known : unknown).push_back({&file, s});
    std::vector<par2::RecoverySliceAt> recovery = slices_;
    const std::size_t m = unknown.size();
    if (m == 0)
        return;
    if (recovery.size() < m)
        throw RunTimeError(ErrorCode::InputPastEnd, "Cannot repair", folder_ + stem_, Shortfall());
    recovery.resize(m);
    const auto global = [](const Slice& slice) { return slice.File->FirstSlice + slice.Index; };
    std::vector<gf16::Symbol> matrix;
    for (const auto& slice : recovery)
        for (const auto& missing : unknown)
            matrix.push_back(gf16::Coefficient(global(missing), slice.Exponent));
    const auto inverse = gf16::Invert(std::move(matrix), static_cast<int>(m));
    if (!inverse)
        throw RunTimeError(ErrorCode::InvalidArgument, "Cannot repair", folder_ + stem_,
                           "the recovery slices cannot give back these slices");
    const auto at = [&](std::size_t row, std::size_t column) {
        return (*inverse)[row * m + column];
    };

    std::vector<std::size_t> rows;
    for (std::size_t c = 0; c < m; ++c)
        if (std::find(wanted.begin(), wanted.end(), unknown[c].File->Number) != wanted.end())
            rows.push_back(c);
    if (rows.empty())
        return;
    // Each source's factor for every row: a recovery slice's from the inverse,
    // a known slice's from what it added to each recovery slice used.
    std::vector<std::vector<gf16::Symbol>> recoveryFactors(m), knownFactors(known.size());
    for (std::size_t r = 0; r < m; ++r)
        for (const std::size_t c : rows)
            recoveryFactors[r].push_back(at(c, r));
    for (std::size_t k = 0; k < known.size(); ++k)
        for (const std::size_t c : rows) {
            gf16::Symbol sum = 0;
            for (std::size_t r = 0; r < m; ++r)
                sum ^= gf16::Multiply(at(c, r),
                                      gf16::Coefficient(global(known[k]), recovery[r].Exponent));
            knownFactors[k].push_back(sum);
        }

    std::vector<Source> sources;
    for (std::size_t r = 0; r < m; ++r)
        sources.push_back(
            {[this, slice = recovery[r]](std::int64_t at, std::span<std::uint8_t> into) {
                 const auto file = runTime_.OpenInput(slice.Path);
                 ReadPadded(*file, slice.Offset + static_cast<std::int64_t>(slice.Length),
                            slice.Offset + at, into);
             },
             std::move(recoveryFactors[r])});
    for (std::size_t k = 0; k < known.size(); ++k)
        sources.push_back({[this, slice = known[k]](std::int64_t at, std::span<std::uint8_t> into) {
                               const auto input = open_(slice.File->Number);
                               ReadPadded(*input,
                                          static_cast<std::int64_t>(slice.File->File.Length),
                                          slice.Index * sliceSize_ + at, into);
                           },
                           std::move(knownFactors[k])});
    struct Check {
        std::unique_ptr<platform::Md5Hasher> Slice, Whole;
        std::uint32_t Crc = 0;
    };
    std::vector<Check> checks;
    for (std::size_t k = 0; k < rows.size(); ++k)
        checks.push_back({runTime_.NewMd5(), runTime_.NewMd5(), 0});
    const std::int64_t sliceBytes = std::min(sliceSize_, (end + 3) / 4 * 4);
    Combine(sliceBytes, sources, rows.size(),
            [&](std::size_t k, std::int64_t offset, std::span<const std::uint8_t> data) {
                const Slice& slice = unknown[rows[k]];
                const std::int64_t start = slice.Index * sliceSize_ + offset;
                checks[k].Slice->Add(data);
                checks[k].Crc = par2::Crc32(data, checks[k].Crc);
                const auto inFile = static_cast<std::size_t>(std::clamp<std::int64_t>(
                    static_cast<std::int64_t>(slice.File->File.Length) - start, 0,
                    static_cast<std::int64_t>(data.size())));
                checks[k].Whole->Add(data.first(inFile));
                if (inFile > 0)
                    deliver(slice.File->Number, start, data.first(inFile));
            });
    for (std::size_t k = 0; k < rows.size(); ++k) {
        const Slice& slice = unknown[rows[k]];
        const Described& file = *slice.File;
        bool good = true;
        if (sliceBytes == sliceSize_ && !file.Checks.empty()) {
            const auto& check = file.Checks[static_cast<std::size_t>(slice.Index)];
            good = checks[k].Slice->Finish() == check.Hash && checks[k].Crc == check.Crc;
        } else if (file.SliceCount == 1 &&
                   static_cast<std::int64_t>(file.File.Length) <= sliceBytes) {
            good = checks[k].Whole->Finish() == file.File.Hash;
        }
        if (!good)
            throw RunTimeError(ErrorCode::DeviceIo, "Cannot repair", folder_ + file.File.Name,
                               "the recovery data do not give back its bytes");
    }
}

} // namespace tren::engine::recovery
