#include "console/SetQueries.h"

#include "engine/PieceSet.h"
#include "engine/Sums.h"
#include "platform/Paths.h"
#include "platform/RunTime.h"
#include "platform/RunTimeError.h"

#include <optional>
#include <ostream>
#include <vector>

namespace tren::console {

// The front end speaks the platform's interfaces throughout.
using namespace tren::platform;

namespace {

struct PieceReport {
    std::string Path;
    std::int64_t Needed = 0;
    std::int64_t Present = -1; // -1: missing
    std::string State;         // ok, longer, short, missing, damaged, unreadable
    std::string Reason;        // for unreadable and damaged
    std::unique_ptr<InputFile> File;
};

// What a header says and what its folder holds, found without writing anything.
struct SetReport {
    std::string Header;
    std::optional<pieces::Header> Fields;
    std::string Problem; // why the set cannot be built; "" when it can
    std::string Rebuilt;
    std::vector<PieceReport> Pieces;
};

std::string ShortBy(const PieceReport& piece) {
    return "short by " + std::to_string(piece.Needed - piece.Present) + " bytes";
}

SetReport Survey(RunTime& runTime, const std::string& header) {
    SetReport report;
    report.Header = header;
    const std::string title = FileNameOf(header);
    const std::string folder = FolderOf(header);
    std::array<std::uint8_t, pieces::HeaderLength> bytes{};
    {
        const auto file = runTime.OpenInput(header);
        file->ReadAt(0, bytes);
    }
    report.Fields = pieces::DecodeHeader(bytes);
    if (!report.Fields) {
        report.Problem = "Wrong version or corrupted file";
        return report;
    }
    report.Rebuilt = title.size() > 4 ? pieces::RebuiltName(title) : std::string();
    if (report.Rebuilt.empty())
        report.Problem = "the header piece's name leaves no name for the rebuilt file";
    for (int index = 1; index <= report.Fields->PieceCount; ++index) {
        PieceReport piece;
        piece.Path = folder + pieces::PieceNameFromHeader(title, index);
        piece.Needed = pieces::ShareOf(*report.Fields, index);
        try {
            piece.File = runTime.OpenInput(piece.Path);
            piece.Present = piece.File->Length();
            piece.State = piece.Present < piece.Needed   ? "short"
                          : piece.Present > piece.Needed ? "longer"
                                                         : "ok";
        } catch (const RunTimeError& failure) {
            piece.State = failure.Code() == ErrorCode::FileNotFound ? "missing" : "unreadable";
            if (piece.State == "unreadable")
                piece.Reason = failure.Description();
        }
        if (report.Problem.empty() && piece.State == "missing")
            report.Problem = "Piece file is missing: " + piece.Path;
        else if (report.Problem.empty() && piece.State == "short")
            report.Problem = "Piece file is too short: " + piece.Path + " holds " +
                             std::to_string(piece.Present) + " bytes, the set needs " +
                             std::to_string(piece.Needed);
        else if (report.Problem.empty() && piece.State == "unreadable")
            report.Problem = piece.Reason;
        report.Pieces.push_back(std::move(piece));
    }
    return report;
}

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
    out << "{" << JsonName("header", report.Header);
    if (report.Fields) {
        const auto& f = *report.Fields;
        out << ", \"pieces\": " << int{f.PieceCount}
            << ", \"pieceSize\": " << pieces::PieceSizeOf(f)
            << ", \"sizeCode\": " << int{f.SizeCode} << ", \"lastPieceSize\": " << f.LastPieceSize
            << ", \"length\": " << pieces::RebuiltLength(f) << ", "
            << JsonName("name", report.Rebuilt);
    }
    out << ", \"buildable\": " << (report.Problem.empty() ? "true" : "false");
    if (!report.Problem.empty())
        out << ", " << JsonName("reason", report.Problem);
    out << ", \"files\": [";
    for (std::size_t i = 0; i < report.Pieces.size(); ++i) {
        const auto& piece = report.Pieces[i];
        out << (i ? ", " : "") << "{" << JsonName("name", piece.Path)
            << ", \"needed\": " << piece.Needed << ", \"present\": ";
        if (piece.Present < 0)
            out << "null";
        else
            out << piece.Present;
        out << ", \"state\": \"" << piece.State << "\"}";
    }
    out << "]}\n";
}

void PrintText(const SetReport& report, std::ostream& out) {
    out << "header:     " << report.Header << '\n';
    if (report.Fields) {
        const auto& f = *report.Fields;
        const auto& entry = pieces::SizeTable[static_cast<std::size_t>(f.SizeCode - 1)];
        out << "pieces:     " << int{f.PieceCount} << '\n'
            << "piece size: " << entry.Bytes << " bytes (size code " << int{f.SizeCode} << ", "
            << entry.Text << ")\n"
            << "last piece: " << f.LastPieceSize << " bytes\n"
            << "rebuilds:   " << report.Rebuilt << ", " << pieces::RebuiltLength(f) << " bytes\n";
    }
    for (const auto& piece : report.Pieces) {
        out << piece.Path << ": needs " << piece.Needed << " bytes, ";
        if (piece.State == "missing" || piece.State == "unreadable")
            out << piece.State << '\n';
        else
            out << "holds " << piece.Present << ", "
                << (piece.State == "short" ? ShortBy(piece) : piece.State) << '\n';
    }
    out << "buildable:  " << (report.Problem.empty() ? "yes" : "no (" + report.Problem + ")")
        << '\n';
}

} // namespace

int RunInfo(RunTime& runTime, const std::string& header, bool json, std::ostream& out,
            std::ostream& err) {
    SetReport report;
    try {
        report = Survey(runTime, header);
    } catch (const RunTimeError& failure) {
        err << "tren-cli: " << failure.Path() << ": tren: " << failure.Description() << '\n';
        return 1;
    }
    if (json)
        PrintJson(report, out);
    else
        PrintText(report, out);
    if (!report.Problem.empty())
        err << "tren-cli: " << header << ": Building Error: " << report.Problem << '\n';
    return report.Problem.empty() ? 0 : 1;
}

int RunVerify(RunTime& runTime, const std::string& header, std::ostream& out, std::ostream& err) {
    try {
        SetReport report = Survey(runTime, header);
        std::vector<std::string> problems;
        for (const auto& piece : report.Pieces) {
            if (piece.State == "missing")
                problems.push_back(piece.Path + ": missing");
            else if (piece.State == "short")
                problems.push_back(piece.Path + ": " + ShortBy(piece));
            else if (piece.State == "unreadable")
                problems.push_back(piece.Path + ": " + piece.Reason);
        }
        if (!report.Fields)
            problems.push_back(header + ": " + report.Problem);
        else if (problems.empty() && !report.Problem.empty())
            problems.push_back(header + ": " + report.Problem);

        // With every piece there, their bytes are checked against the checksum file.
        if (report.Fields && problems.empty()) {
            std::vector<InputFile*> opened;
            for (const auto& piece : report.Pieces)
                opened.push_back(piece.File.get());
            const sums::Check check = sums::CheckSet(runTime, header, *report.Fields, opened);
            for (int index : check.Damaged)
                problems.push_back(report.Pieces[static_cast<std::size_t>(index - 1)].Path +
                                   ": damaged (does not match " + check.Path + ")");
            if (problems.empty() && check.WholeDiffers)
                problems.push_back(check.Path + ": the pieces do not give the file " +
                                   report.Rebuilt + " it describes");
        }
        for (const auto& problem : problems)
            out << problem << '\n';
        if (problems.empty())
            out << header << ": ok\n";
        return problems.empty() ? 0 : 1;
    } catch (const RunTimeError& failure) {
        err << "tren-cli: " << failure.Path() << ": tren: " << failure.Description() << '\n';
        return 1;
    }
}

} // namespace tren::console
