#include "window/frmTren.h"

#include "engine/PieceSet.h"
#include "platform/Controls.h"
#include "platform/Paths.h"
#include "platform/RunTime.h"
#include "shell/MFileAssociations.h"
#include "shell/MFolderBrowse.h"
#include "shell/MWebLink.h"

#include <new>

namespace tren {

using platform::MessageStyle;

namespace {

constexpr const char* TrenningError = "Trenning Error";
constexpr const char* BuildingError = "Building Error";

} // namespace

frmTren::frmTren(FormControls controls, FormServices services)
    : Buff(transfers_.Buff), MultiBuff(transfers_.MultiBuff), controls_(controls),
      services_(services), runTime_(services.RunTime), transfers_(services.RunTime) {
    controls_.cmbSize.OnClick([this] { cmbSize_Click(); });
}

// Handlers run in continue-on-failure mode: a failing step is abandoned, its
// failure becomes the pending one and the handler goes on with the next step.
template <class Step> void frmTren::Continue(Step&& step) {
    try {
        step();
    } catch (const RunTimeError& failure) {
        pendingError_ = failure;
    } catch (const std::bad_alloc&) {
        pendingError_ = RunTimeError(ErrorCode::OutOfMemory, {}, {});
    }
}

void frmTren::FinalReport() {
    if (pendingError_)
        controls_.Window.MsgBox(pendingError_->Description(), MessageStyle::Exclamation, {});
}

void frmTren::Form_Load(const std::string& command) {
    // The program file's own path is registered, whatever the current directory:
    // a path made from that would name a program that is not there.
    std::string program;
    Continue([&] {
        program = runTime_.ProgramPath();
        AppDir = platform::WithTrailingSeparator(platform::FolderOf(program));
    });
    Continue([&] { FillSizeList(); });
    Continue([&] {
        controls_.lblLink.SetMousePointer(platform::MousePointer::Custom);
        controls_.lblLink.SetMouseIcon(imgHand.Picture);
    });
    Continue([&] { controls_.ProgressBar1.SetMin(0); });

    if (command.empty()) {
        Continue([&] { CreateFileType(program); });
    } else {
        // The header piece is found wherever it lies: its own name is the set's
        // title and its pieces lie beside it.
        std::string path;
        Continue([&] {
            controls_.txtSrcFile.SetText(MFileAssociations::GetLongPath(command, runTime_));
            path = controls_.txtSrcFile.Text();
            SrcTitle = platform::FileNameOf(path);
        });
        Continue([&] { controls_.lstFiles.Clear(); });
        if (!FileExists(path))
            controls_.Window.MsgBox("File is not exist.", MessageStyle::Exclamation, BuildingError);
        else
            Continue([&] { BuildFile(path); });
    }
    FinalReport();
}

void frmTren::CreateFileType(const std::string& fPath) {
    MFileAssociations::Services services{controls_.Window, services_.ClassStore, runTime_};
    MFileAssociations::CreateFileAssociation(services, ".tr0", "TR.File", "Trening File", "Build",
                                             fPath, "", MFileAssociations::IconSetting::Set,
                                             fPath + ", 0", MFileAssociations::Reporting::Show);
}

void frmTren::lblLink_Click() {
    MWebLink::OpenLink(services_.Desktop, controls_.lblLink.Caption(), MWebLink::LinkKind::Mail);
}

void frmTren::txtSrcFile_KeyPress(std::int16_t& KeyAscii) { KeyAscii = 0; }

void frmTren::PrepareControls() {
    Continue([&] { FillSizeList(); });
    Continue([&] { controls_.ProgressBar1.SetMin(0); });
}

void frmTren::FillSizeList() {
    for (const auto& entry : pieces::SizeTable)
        controls_.cmbSize.AddItem(std::string(entry.Text));
    controls_.cmbSize.SetListIndex(2);
    PieceSize = 1440000;
}

void frmTren::cmbSize_Click() {
    const std::string text = controls_.cmbSize.Text();
    for (const auto& entry : pieces::SizeTable) {
        if (entry.Text == text) {
            PieceSize = entry.Bytes;
            return;
        }
    }
}

bool frmTren::FileExists(const std::string& fname) {
    pendingError_.reset();
    try {
        runTime_.FileLength(fname);
    } catch (const RunTimeError& failure) {
        // Only a missing file is missing; a file that cannot be measured for another
        // reason exists and fails later with its own reason.
        return failure.Code() != ErrorCode::FileNotFound;
    }
    return true;
}

void frmTren::fltbTren_Click() {
    platform::OpenChoice choice;
    Continue([&] {
        choice = controls_.CommonDialog1.ShowOpen("Select the file to tren", "All Files (*.*)|*.*");
    });
    if (!choice.FileName.empty()) {
        Continue([&] {
            controls_.txtSrcFile.SetText(choice.FileName);
            SrcTitle = choice.FileTitle;
        });
        Continue([&] { controls_.lstFiles.Clear(); });
        const std::string path = controls_.txtSrcFile.Text();
        if (!FileExists(path)) {
            controls_.Window.MsgBox("File is not exist.", MessageStyle::Exclamation, TrenningError);
            return;
        }
        Continue([&] { TrenFile(path); });
    }
    FinalReport();
}

void frmTren::fltbBuild_Click() {
    platform::OpenChoice choice;
    Continue([&] {
        choice = controls_.CommonDialog1.ShowOpen("Select the trening files to build",
                                                  "Tren Files (*.tr0)|*.tr0");
    });
    if (!choice.FileName.empty()) {
        Continue([&] {
            controls_.txtSrcFile.SetText(choice.FileName);
            SrcTitle = choice.FileTitle;
        });
        Continue([&] { controls_.lstFiles.Clear(); });
        const std::string path = controls_.txtSrcFile.Text();
        if (!FileExists(path)) {
            controls_.Window.MsgBox("File is not exist.", MessageStyle::Exclamation, BuildingError);
            return;
        }
        Continue([&] { BuildFile(path); });
    }
    FinalReport();
}

// The chosen folder, or the user's own TEMP folder when none was chosen, ending
// with the separator.
std::string frmTren::PrepareDestination(const std::string& pickerTitle) {
    std::string folder = MFolderBrowse::BrowseForFolder(controls_.Window, pickerTitle);
    if (folder.empty()) {
        folder = platform::WithTrailingSeparator(runTime_.HomeFolder()) + "TEMP";
        if (!runTime_.FolderExists(folder))
            runTime_.CreateFolder(folder);
    }
    return platform::WithTrailingSeparator(folder);
}

void frmTren::ListWritten(const std::string& path) {
    controls_.lstFiles.AddItem(path + " [" + std::to_string(runTime_.FileLength(path)) +
                               " bytes]");
}

// A failure inside an operation stops it there and says so in the list, so that
// the user sees the run did not finish and the caller has nothing left to report.
void frmTren::ReportTermination(const RunTimeError& failure, const char* statusLine) {
    controls_.Window.MsgBox(failure.Description(), MessageStyle::Exclamation, {});
    Continue([&] { controls_.lstFiles.AddItem(statusLine); });
    Continue([&] { controls_.ProgressBar1.SetValue(0); });
    pendingError_.reset();
}

void frmTren::TrenFile(std::string fname) {
    if (fname.empty()) {
        controls_.Window.MsgBox("No file to Tren", MessageStyle::Exclamation, TrenningError);
        return;
    }
    try {
        FileLength = runTime_.FileLength(fname);
        if (FileLength <= PieceSize) {
            controls_.Window.MsgBox("file is too small for Trening", MessageStyle::Information,
                                    "Trenning Warnning");
            return;
        }
        // 255 full pieces and a partial one would need a 256th piece, which the
        // one-byte piece count cannot record; exactly 255 full pieces fit.
        if (FileLength > std::int64_t{pieces::MaxPieceCount} * PieceSize) {
            controls_.Window.MsgBox("Multiple size is too large... sorry...",
                                    MessageStyle::Exclamation, TrenningError);
            return;
        }
        // The header records the size the pieces are cut with, never a selection
        // that may differ from it.
        const int sizeCode = pieces::SizeCodeOf(PieceSize);
        if (sizeCode == 0)
            throw RunTimeError(ErrorCode::InvalidArgument, "Cannot tren", fname,
                               "the piece size " + std::to_string(PieceSize) +
                                   " is not in the size list");
        const int fullPieces = static_cast<int>(FileLength / PieceSize);
        PieceCount = static_cast<std::uint8_t>(fullPieces);

        // The source is opened before the user is asked for a folder, so that an
        // unreadable source fails first.
        runTime_.CheckReadable(fname);
        DestDir = PrepareDestination("Select directory to tren to...");

        controls_.ProgressBar1.SetMax(static_cast<float>(fullPieces + 2));
        for (int index = 1; index <= fullPieces; ++index) {
            PieceIndex = static_cast<std::uint8_t>(index);
            controls_.ProgressBar1.SetValue(static_cast<float>(index));
            BuffPos = std::int64_t{index - 1} * PieceSize;
            DestFile = DestDir + pieces::PieceName(SrcTitle, index);
            transfers_.CopyFileToFile(fname, BuffPos + 1, DestFile, 1, PieceSize);
            ListWritten(DestFile);
        }

        LastPieceSize = static_cast<std::int32_t>(FileLength - std::int64_t{fullPieces} * PieceSize);
        controls_.ProgressBar1.SetValue(static_cast<float>(fullPieces + 1));
        if (LastPieceSize > 0) {
            // At most 254 full pieces come before a partial one.
            PieceCount = static_cast<std::uint8_t>(fullPieces + 1);
            PieceIndex = PieceCount;
            BuffPos = std::int64_t{fullPieces} * PieceSize;
            DestFile = DestDir + pieces::PieceName(SrcTitle, PieceIndex);
            transfers_.CopyFileToFile(fname, BuffPos + 1, DestFile, 1, LastPieceSize);
            ListWritten(DestFile);
        } else {
            LastPieceSize = PieceSize;
        }
        controls_.ProgressBar1.SetValue(controls_.ProgressBar1.Max());

        // The header is written last, so a run that stops early leaves no set that
        // building would accept.
        const auto header = pieces::EncodeHeader(
            {PieceCount, LastPieceSize, static_cast<std::uint8_t>(sizeCode)});
        MultiBuff.Resize(header.size());
        std::copy(header.begin(), header.end(), MultiBuff.data());
        DestFile = DestDir + pieces::PieceName(SrcTitle, 0);
        transfers_.SaveMultiBuffToFile(DestFile, 1);
        ListWritten(DestFile);

        controls_.ProgressBar1.SetValue(0);
        controls_.lstFiles.AddItem("Finish Trening successfully");
    } catch (const RunTimeError& failure) {
        ReportTermination(failure, "Terminate Trening during error");
    } catch (const std::bad_alloc&) {
        ReportTermination(RunTimeError(ErrorCode::OutOfMemory, "Cannot tren", fname),
                          "Terminate Trening during error");
    }
}

namespace {

// Removes an unfinished rebuilt file on every way out but success.
class ReplacementGuard {
public:
    explicit ReplacementGuard(platform::RunTime& runTime) : runTime_(runTime) {}
    ReplacementGuard(const ReplacementGuard&) = delete;
    ReplacementGuard& operator=(const ReplacementGuard&) = delete;
    ~ReplacementGuard() {
        if (begun_)
            runTime_.DiscardReplacement(replacement_);
    }

    const platform::Replacement& Begin(const std::string& destination) {
        replacement_ = runTime_.BeginReplacement(destination);
        begun_ = true;
        return replacement_;
    }
    void Commit() {
        runTime_.CommitReplacement(replacement_);
        begun_ = false;
    }

private:
    platform::RunTime& runTime_;
    platform::Replacement replacement_;
    bool begun_ = false;
};

} // namespace

void frmTren::BuildFile(std::string fname) {
    if (fname.empty()) {
        controls_.Window.MsgBox("No file to build", MessageStyle::OkOnly, {});
        return;
    }
    try {
        // The data pieces lie beside the header piece, wherever the current
        // directory is.
        SrcTitle = platform::FileNameOf(fname);
        const std::string folder = platform::FolderOf(fname);

        Buff.Resize(pieces::HeaderLength);
        transfers_.CopyFileToBuff(fname, 1, ReadExtent::UpToEnd);
        const int pieceCount = Buff[0];
        controls_.ProgressBar1.SetMax(static_cast<float>(pieceCount + 1));
        controls_.ProgressBar1.SetValue(1);

        const auto header = pieces::DecodeHeader(
            std::span<const std::uint8_t, pieces::HeaderLength>(Buff.data(), pieces::HeaderLength));
        if (!header) {
            controls_.Window.MsgBox("Wrong version or corrupted file", MessageStyle::Exclamation,
                                    BuildingError);
            return;
        }
        controls_.cmbSize.SetListIndex(header->SizeCode - 1);
        cmbSize_Click();
        // The table, not the list's text, is what the code means.
        PieceSize = *pieces::PieceSizeOf(header->SizeCode);
        LastPieceSize = header->LastPieceSize;
        const std::int64_t rebuiltLength =
            std::int64_t{pieceCount - 1} * PieceSize + LastPieceSize;
        FileLength = rebuiltLength - 1;

        // A missing or short piece would leave a hole in the rebuilt file; the set
        // is refused before the user is asked anything. Longer pieces are fine:
        // older writers left stale tails.
        for (int index = 1; index <= pieceCount; ++index) {
            const std::string piece = folder + pieces::PieceNameFromHeader(SrcTitle, index);
            const std::int64_t needed = index < pieceCount ? PieceSize : LastPieceSize;
            std::int64_t held = 0;
            try {
                held = runTime_.FileLength(piece);
            } catch (const RunTimeError& failure) {
                if (failure.Code() != ErrorCode::FileNotFound)
                    throw;
                controls_.Window.MsgBox("Piece file is missing: " + piece,
                                        MessageStyle::Exclamation, BuildingError);
                return;
            }
            if (held < needed) {
                controls_.Window.MsgBox("Piece file is too short: " + piece + " holds " +
                                            std::to_string(held) + " bytes, the set needs " +
                                            std::to_string(needed),
                                        MessageStyle::Exclamation, BuildingError);
                return;
            }
        }

        DestDir = PrepareDestination("Select directory to build to...");
        DestFile = DestDir + pieces::RebuiltName(SrcTitle);

        // The image goes into a temporary file beside the destination, which takes
        // the destination's name only once it is whole, so that a failure leaves an
        // existing file as it was.
        ReplacementGuard replacement(runTime_);
        const std::string image = replacement.Begin(DestFile).Temporary;
        for (int index = 1; index <= pieceCount; ++index) {
            controls_.ProgressBar1.SetValue(static_cast<float>(index + 1));
            const std::string piece = folder + pieces::PieceNameFromHeader(SrcTitle, index);
            const std::int64_t share = index < pieceCount ? PieceSize : LastPieceSize;
            transfers_.CopyFileToFile(piece, 1, image, std::int64_t{index - 1} * PieceSize + 1,
                                      share);
        }
        replacement.Commit();
        ListWritten(DestFile);

        controls_.lstFiles.AddItem("Finish building successfully");
        controls_.ProgressBar1.SetValue(0);
    } catch (const RunTimeError& failure) {
        ReportTermination(failure, "Terminate building during error");
    } catch (const std::bad_alloc&) {
        ReportTermination(RunTimeError(ErrorCode::OutOfMemory, "Cannot build", fname),
                          "Terminate building during error");
    }
}

} // namespace tren
