#include "console/SetQueries.h"

#include "engine/PieceSet.h"
#include "engine/Recovery.h"
#include "engine/Repairing.h"
#include "engine/SetReader.h"
#include "platform/Paths.h"
#include "platform/RunTime.h"
#include "platform/RunTimeError.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <ostream>
#include <vector>

namespace tren::console {

// The front end speaks the platform's interfaces throughout.
using namespace tren::platform;

namespace {

using engine::PieceReport;
using engine::PieceState;
using engine::SetReader;

std::string ShortBy(const PieceReport& piece) {
    return "short by " + std::to_string(piece.Needed - piece.Present) + " bytes";
}

// What info and verify show: the header's fields, the rebuilt file's name and
// every piece, checked against the checksum file where one stands beside them,
// read without writing anything.
struct SetReport {
    explicit SetReport(RunTime& runTime, const std::string& header) : Set(runTime, header) {
        try {
            const std::string folder = Set.Folder();
            Leftovers =
                runTime.Leftovers(folder.empty() ? runTime.CurrentDirectory() : folder, false);
        } catch (const RunTimeError&) {
            // A folder that cannot be listed has no leftovers to mention.
        }
        Set.ReadHeader();
        Fields = Set.RepairHeader();
        if (!Fields)
            return;
        Rebuilt = Set.Title().size() > 4 ? pieces::RebuiltName(Set.Title()) : std::string();
        Set.OpenPieces();
        Set.CheckRecovery();
        Set.CheckSums();
    }
    // The recovery files beside the set describe it.
    bool Recovers() const { return Set.Recovery() && Set.Recovery()->Chosen(); }
    int RecoveryFiles() const { return Set.Recovery() ? Set.Recovery()->FileCount() : 0; }
    int RecoverySlices() const { return Recovers() ? Set.Recovery()->SliceCount() : 0; }
    bool Repairable() const { return Recovers() && Set.Recovery()->Repairable(); }
    // Why recovery files found are not used; "" where none are found or they are.
    std::string RecoveryIgnored() const {
        return RecoveryFiles() > 0 && !Recovers() ? Set.Recovery()->Ignored() : std::string();
    }
    // Why the set cannot be built; "" when it can.
    std::string Problem() const {
        const auto problem = Set.FirstProblem();
        return problem ? problem->Text : std::string();
    }

    SetReader Set;
    std::optional<pieces::Header> Fields;
    std::string Rebuilt;
    // Hidden files that killed runs left beside the set.
    int Leftovers = 0;
};

// The length of the valid UTF-8 sequence at i, or 0 when the byte there starts none.
std::size_t SequenceAt(std::string_view text, std::size_t i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x80)
        return 1;
    std::size_t more;
    std::uint32_t code, least;
    if ((c & 0xE0) == 0xC0) {
        more = 1, code = c & 0x1F, least = 0x80;
    } else if ((c & 0xF0) == 0xE0) {
        more = 2, code = c & 0x0F, least = 0x800;
    } else if ((c & 0xF8) == 0xF0) {
        more = 3, code = c & 0x07, least = 0x10000;
    } else {
        return 0;
    }
    if (text.size() - i <= more)
        return 0;
    for (std::size_t k = 1; k <= more; ++k) {
        const auto next = static_cast<unsigned char>(text[i + k]);
        if ((next & 0xC0) != 0x80)
            return 0;
        code = (code << 6) | (next & 0x3F);
    }
    if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return 0;
    return more + 1;
}

bool ValidUtf8(std::string_view text) {
    for (std::size_t i = 0, n; i < text.size(); i += n)
        if ((n = SequenceAt(text, i)) == 0)
            return false;
    return true;
}

// Names are bytes: a byte that is not part of valid UTF-8 is written as the
// character of the same number (\u00XX), and the caller adds the bytes beside it.
std::string JsonString(std::string_view text) {
    static const char digits[] = "0123456789abcdef";
    const auto escaped = [](unsigned char c) {
        return std::string("\\u00") + digits[c >> 4] + digits[c & 15];
    };
    std::string out = "\"";
    for (std::size_t i = 0, n; i < text.size(); i += n) {
        const auto c = static_cast<unsigned char>(text[i]);
        n = SequenceAt(text, i);
        if (n == 0) {
            out += escaped(c);
            n = 1;
        } else if (c == '"' || c == '\\') {
            out += '\\';
            out += text[i];
        } else if (c < 0x20) {
            out += escaped(c);
        } else {
            out.append(text.substr(i, n));
        }
    }
    return out + "\"";
}

// "name": "...", plus "nameBytes": [...] where the name is not valid UTF-8.
std::string JsonName(const std::string& key, const std::string& name) {
    std::string out = "\"" + key + "\": " + JsonString(name);
    if (!ValidUtf8(name)) {
        out += ", \"" + key + "Bytes\": [";
        for (std::size_t i = 0; i < name.size(); ++i)
            out += (i ? ", " : "") + std::to_string(static_cast<unsigned char>(name[i]));
        out += "]";
    }
    return out;
}

void PrintJson(const SetReport& report, std::ostream& out) {
    out << "{" << JsonName("header", report.Set.HeaderPath());
    if (report.Fields) {
        const auto& f = *report.Fields;
        out << ", \"pieces\": " << int{f.PieceCount}
            << ", \"pieceSize\": " << pieces::PieceSizeOf(f)
            << ", \"sizeCode\": " << int{f.SizeCode} << ", \"lastPieceSize\": " << f.LastPieceSize
            << ", \"length\": " << pieces::RebuiltLength(f) << ", "
            << JsonName("name", report.Rebuilt);
    }
    const std::string problem = report.Problem();
    out << ", \"buildable\": " << (problem.empty() ? "true" : "false")
        << ", \"leftovers\": " << report.Leftovers
        << ", \"recovery\": {\"files\": " << report.RecoveryFiles()
        << ", \"slices\": " << report.RecoverySlices()
        << ", \"repairable\": " << (report.Repairable() ? "true" : "false");
    if (!report.RecoveryIgnored().empty())
        out << ", " << JsonName("ignored", report.RecoveryIgnored());
    out << "}";
    if (!problem.empty())
        out << ", " << JsonName("reason", problem);
    out << ", \"files\": [";
    const auto& pieces = report.Set.Pieces();
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        const auto& piece = pieces[i];
        out << (i ? ", " : "") << "{" << JsonName("name", piece.Path)
            << ", \"needed\": " << piece.Needed << ", \"present\": ";
        if (piece.Present < 0)
            out << "null";
        else
            out << piece.Present;
        out << ", \"state\": \"" << engine::StateName(piece.State) << "\"}";
    }
    out << "]}\n";
}

// What the recovery files can do for the set.
std::string RecoveryVerdict(const SetReader& set) {
    const auto& recovery = *set.Recovery();
    const auto damaged = recovery.DamagedNumbers();
    if (damaged.empty())
        return "the set is whole";
    if (recovery.Repairable())
        return std::to_string(damaged.size()) +
               (damaged.size() == 1 ? " piece is not whole; the recovery files can repair it"
                                    : " pieces are not whole; the recovery files can repair them");
    return recovery.Shortfall();
}

void PrintText(const SetReport& report, std::ostream& out) {
    out << "header:     " << report.Set.HeaderPath() << '\n';
    if (report.Fields) {
        const auto& f = *report.Fields;
        const auto& entry = pieces::SizeTable[static_cast<std::size_t>(f.SizeCode - 1)];
        out << "pieces:     " << int{f.PieceCount} << '\n'
            << "piece size: " << entry.Bytes << " bytes (size code " << int{f.SizeCode} << ", "
            << entry.Text << ")\n"
            << "last piece: " << f.LastPieceSize << " bytes\n"
            << "rebuilds:   " << report.Rebuilt << ", " << pieces::RebuiltLength(f) << " bytes\n";
    }
    for (const auto& piece : report.Set.Pieces()) {
        out << piece.Path << ": needs " << piece.Needed << " bytes, ";
        if (piece.State == PieceState::Missing || piece.State == PieceState::Unreadable)
            out << engine::StateName(piece.State) << '\n';
        else
            out << "holds " << piece.Present << ", "
                << (piece.State == PieceState::Short ? ShortBy(piece)
                                                     : engine::StateName(piece.State))
                << '\n';
    }
    const std::string problem = report.Problem();
    out << "buildable:  " << (problem.empty() ? "yes" : "no (" + problem + ")") << '\n';
    if (report.Recovers())
        out << "recovery:   " << report.RecoverySlices() << " recovery slices in "
            << report.RecoveryFiles() << " files; " << RecoveryVerdict(report.Set) << '\n';
    else if (report.RecoveryFiles() > 0)
        out << "recovery:   " << report.RecoveryFiles()
            << " files ignored: " << report.RecoveryIgnored() << '\n';
    if (report.Leftovers > 0)
        out << "leftovers:  " << report.Leftovers
            << " hidden files of runs that did not finish; the next tren or build here "
               "removes them\n";
}

} // namespace

int RunInfo(RunTime& runTime, const std::string& header, bool json, std::ostream& out,
            std::ostream& err) {
    try {
        const SetReport report(runTime, header);
        if (json)
            PrintJson(report, out);
        else
            PrintText(report, out);
        const std::string problem = report.Problem();
        if (!problem.empty())
            err << "tren-cli: " << header << ": Building Error: " << problem << '\n';
        return problem.empty() ? 0 : 1;
    } catch (const RunTimeError& failure) {
        err << "tren-cli: " << failure.Path() << ": tren: " << failure.Description() << '\n';
        return 1;
    }
}

namespace {

// One line for every fault of every piece, then for what the checksum file lacks
// or the header says.
std::vector<std::string> Problems(const SetReader& set, const std::string& header,
                                  const std::string& rebuilt) {
    std::vector<std::string> problems;
    for (const auto& piece : set.Pieces()) {
        if (piece.State == PieceState::Missing)
            problems.push_back(piece.Path + ": missing");
        else if (piece.State == PieceState::Short)
            problems.push_back(piece.Path + ": " + ShortBy(piece));
        else if (piece.State == PieceState::Unreadable)
            problems.push_back(piece.Path + ": " + piece.Failure->Description());
        else if (piece.State == PieceState::Damaged)
            problems.push_back(
                piece.Path + ": damaged (does not match " +
                (set.Recovery() && set.Recovery()->Chosen() && !set.Recovery()->IsWhole(piece.Index)
                     ? std::string("its recovery files")
                     : set.SumsPath()) +
                ")");
    }
    if (set.Recovery() && set.Recovery()->Chosen() && !set.Recovery()->IsWhole(0))
        problems.push_back(
            header + ": " +
            (set.HeaderRepaired() ? "damaged (does not match its recovery files)" : "damaged"));
    for (const int index : set.Unlisted())
        problems.push_back(set.Pieces()[static_cast<std::size_t>(index - 1)].Path +
                           ": no line in " + set.SumsPath());
    if (set.WholeUnlisted())
        problems.push_back(set.SumsPath() + ": no line for the file " + rebuilt);
    else if (set.WholeDiffers())
        problems.push_back(set.SumsPath() + ": the pieces do not give the file " + rebuilt +
                           " it describes");
    if (problems.empty())
        if (const auto problem = set.FirstProblem())
            problems.push_back(header + ": " + problem->Text);
    return problems;
}

} // namespace

int RunVerify(RunTime& runTime, const std::string& header, std::ostream& out, std::ostream& err) {
    try {
        const SetReport report(runTime, header);
        std::vector<std::string> problems;
        if (report.Fields)
            problems = Problems(report.Set, header, report.Rebuilt);
        else if (const auto problem = report.Set.FirstProblem())
            problems.push_back(header + ": " + problem->Text);
        for (const auto& problem : problems)
            out << problem << '\n';
        if (report.Recovers() && !problems.empty())
            out << header << ": " << RecoveryVerdict(report.Set) << '\n';
        else if (!report.RecoveryIgnored().empty())
            out << header << ": recovery files ignored: " << report.RecoveryIgnored() << '\n';
        if (problems.empty() && report.Set.SumsChecked())
            out << header << ": ok\n";
        else if (problems.empty())
            out << header << ": ok (lengths only: no " << report.Set.SumsPath() << " beside it)\n";
        return problems.empty() ? 0 : 1;
    } catch (const RunTimeError& failure) {
        err << "tren-cli: " << failure.Path() << ": tren: " << failure.Description() << '\n';
        return 1;
    }
}

namespace {

// NAME.tr.par2, or one of its NAME.tr.volXX+YY.par2, stands for the set whose
// header piece NAME.tr0 may be the file lost.
std::string HeaderOfSet(const std::string& set) {
    std::string lower = set;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    const std::size_t name = set.size() - FileNameOf(set).size();
    if (lower.size() < 5 || lower.compare(lower.size() - 5, 5, ".par2") != 0)
        return set;
    std::size_t stem = lower.size() - 5;
    if (const auto volume = lower.rfind(".vol", stem);
        volume != std::string::npos && volume >= name && volume + 4 < stem &&
        std::isdigit(static_cast<unsigned char>(lower[volume + 4])) &&
        lower.find('+', volume) < stem)
        stem = volume;
    return set.substr(0, stem) + "0";
}

} // namespace

int RunRepair(RunTime& runTime, const std::string& set, std::ostream& out, std::ostream& err) {
    const std::string header = HeaderOfSet(set);
    try {
        const engine::RepairOutcome outcome = engine::RepairSet(runTime, header);
        if (outcome.Refusal) {
            err << "tren-cli: " << header << ": Repairing Error: " << *outcome.Refusal << '\n';
            return 1;
        }
        for (const auto& path : outcome.Repaired)
            out << "Repaired " << path << " from recovery data\n";
        if (outcome.Repaired.empty())
            out << header << ": the set is whole; nothing to repair\n";
        return 0;
    } catch (const RunTimeError& failure) {
        err << "tren-cli: " << failure.Path() << ": tren: " << failure.Description() << '\n';
        return 1;
    }
}

} // namespace tren::console
