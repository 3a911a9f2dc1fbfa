#include "window/frmTren.h"

#include "engine/PieceSet.h"
#include "engine/Sums.h"
#include "platform/Controls.h"
#include "platform/Paths.h"
#include "platform/RunTime.h"
#include "shell/MFileAssociations.h"
#include "shell/MFolderBrowse.h"
#include "shell/MWebLink.h"

#include <algorithm>
#include <memory>
#include <new>
#include <vector>

namespace tren {

using platform::EntryKind;
using platform::MessageStyle;

namespace {

constexpr const char* TrenningError = "Trenning Error";
constexpr const char* BuildingError = "Building Error";

} // namespace

frmTren::frmTren(FormControls controls, FormServices services)
    : Buff(transfers_.Buff), MultiBuff(transfers_.MultiBuff), controls_(controls),
      services_(services), runTime_(services.RunTime) {
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
        controls_.Window.MsgBoxAbout(pendingError_->Path(), pendingError_->Description(),
                                     MessageStyle::Exclamation, {});
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
            controls_.Window.MsgBoxAbout(path, "File is not exist.", MessageStyle::Exclamation,
                                         BuildingError);
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

void frmTren::txtSrcFile_KeyPress(std::int16_t& KeyAscii) {
    KeyAscii = 0;
}

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
            controls_.Window.MsgBoxAbout(path, "File is not exist.", MessageStyle::Exclamation,
                                         TrenningError);
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
            controls_.Window.MsgBoxAbout(path, "File is not exist.", MessageStyle::Exclamation,
                                         BuildingError);
            return;
        }
        Continue([&] { BuildFile(path); });
    }
    FinalReport();
}

// The chosen folder, or the system's default folder when none was chosen, ending
// with the separator.
std::string frmTren::PrepareDestination(const std::string& pickerTitle) {
    std::string folder = MFolderBrowse::BrowseForFolder(controls_.Window, pickerTitle);
    if (folder.empty()) {
        folder = runTime_.DefaultFolder();
        if (!runTime_.FolderExists(folder))
            runTime_.CreateFolder(folder);
    }
    return platform::WithTrailingSeparator(folder);
}

void frmTren::ListWritten(const std::string& path, std::int64_t length) {
    // The length written, not a fresh look at the disk: once a file is in place
    // there is nothing left that may fail.
    controls_.lstFiles.AddItem(path + " [" + std::to_string(length) + " bytes]");
}

// A failure inside an operation stops it there and says so in the list, so that
// the user sees the run did not finish and the caller has nothing left to report.
void frmTren::ReportTermination(const RunTimeError& failure, const char* statusLine) {
    controls_.Window.MsgBoxAbout(failure.Path(), failure.Description(), MessageStyle::Exclamation,
                                 {});
    Continue([&] { controls_.lstFiles.AddItem(statusLine); });
    Continue([&] { controls_.ProgressBar1.SetValue(0); });
    pendingError_.reset();
}

// Every name the set will take, looked at before anything is written: none may be
// the source under another name, none may be a folder, pipe or device, and the
// longest must fit the folder.
bool frmTren::CheckPieceNames(const std::string& fname, const platform::FileId& source) {
    std::vector<std::string> names;
    for (int index = 0; index <= PieceCount; ++index)
        names.push_back(pieces::PieceName(SrcTitle, index));
    names.push_back(sums::SumsName(SrcTitle));
    const std::size_t limit = runTime_.MaxNameLength(DestDir);
    const std::size_t used = WriteSums ? names.size() : names.size() - 1;
    for (std::size_t i = 0; i < used; ++i) {
        if (names[i].size() > limit) {
            const std::string path = DestDir + names[i];
            controls_.Window.MsgBoxAbout(path,
                                         "The name " + path + " is too long for its folder (" +
                                             std::to_string(names[i].size()) + " bytes, at most " +
                                             std::to_string(limit) + ").",
                                         MessageStyle::Exclamation, TrenningError);
            return false;
        }
    }
    for (const auto& name : names) {
        const std::string piece = DestDir + name;
        const platform::EntryInfo entry = runTime_.Examine(piece);
        if ((entry.Kind != EntryKind::Missing && entry.Id == source) ||
            (entry.TargetKind != EntryKind::Missing && entry.TargetId == source)) {
            controls_.Window.MsgBoxAbout(piece,
                                         "The piece " + piece + " is the file being trenned, " +
                                             fname + ", under another name. Choose another folder.",
                                         MessageStyle::Exclamation, TrenningError);
            return false;
        }
        if (entry.Kind == EntryKind::Folder || entry.Kind == EntryKind::Other) {
            controls_.Window.MsgBoxAbout(
                piece,
                "The piece " + piece +
                    " cannot be written: something other than a file stands there.",
                MessageStyle::Exclamation, TrenningError);
            return false;
        }
    }
    return true;
}

void frmTren::TrenFile(std::string fname) {
    if (fname.empty()) {
        controls_.Window.MsgBox("No file to Tren", MessageStyle::Exclamation, TrenningError);
        return;
    }
    try {
        FileLength = runTime_.FileLength(fname);
        if (FileLength <= PieceSize) {
            controls_.Window.MsgBoxAbout(fname, "file is too small for Trening",
                                         MessageStyle::Information, "Trenning Warnning");
            return;
        }
        // 255 full pieces and a partial one would need a 256th piece, which the
        // one-byte piece count cannot record; exactly 255 full pieces fit.
        if (FileLength > std::int64_t{pieces::MaxPieceCount} * PieceSize) {
            controls_.Window.MsgBoxAbout(fname, "Multiple size is too large... sorry...",
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
        LastPieceSize =
            static_cast<std::int32_t>(FileLength - std::int64_t{fullPieces} * PieceSize);
        PieceCount = static_cast<std::uint8_t>(fullPieces + (LastPieceSize > 0 ? 1 : 0));

        // The source is opened before the user is asked for a folder, so that an
        // unreadable source fails first; it stays open, the same file throughout.
        const auto source = runTime_.OpenInput(fname);
        const auto changed = [&] {
            return RunTimeError(ErrorCode::InputPastEnd, "Cannot tren", fname,
                                "the file changed its length while it was read");
        };
        if (source->Length() != FileLength)
            throw changed();
        DestDir = PrepareDestination("Select directory to tren to...");

        // One set at a time in a folder: another tren of the same name would mix
        // its pieces with these, and a build would read a set being replaced.
        const auto lock = runTime_.LockFolder(DestDir, platform::LockKind::Exclusive);
        if (!CheckPieceNames(fname, source->Id()))
            return;
        // The old header goes first, so that at no moment does a header describe
        // pieces other than the ones beside it.
        // Old checksums go too: they would describe the old pieces.
        const std::string header = DestDir + pieces::PieceName(SrcTitle, 0);
        const std::string sumsFile = DestDir + sums::SumsName(SrcTitle);
        bool removed = false;
        for (const auto& stale : {header, sumsFile}) {
            if (runTime_.Examine(stale).Kind != EntryKind::Missing) {
                runTime_.RemoveFile(stale);
                removed = true;
            }
        }
        if (removed)
            runTime_.FlushFolder(DestDir);

        controls_.ProgressBar1.SetMax(static_cast<float>(fullPieces + 2));
        std::vector<std::unique_ptr<platform::OutputFile>> written;
        std::string sumLines;
        std::unique_ptr<platform::Hasher> whole;
        if (WriteSums)
            whole = runTime_.NewSha256();
        std::vector<std::uint8_t> hashBuffer;
        const auto writePiece = [&](int index, std::int32_t share) {
            PieceIndex = static_cast<std::uint8_t>(index);
            BuffPos = std::int64_t{index - 1} * PieceSize;
            DestFile = DestDir + pieces::PieceName(SrcTitle, index);
            auto piece = runTime_.CreateOutput(DestFile, platform::Naming::ReplaceName);
            transfers_.CopyFileToFile(*source, BuffPos + 1, *piece, 1, share);
            if (WriteSums) {
                const auto hasher = runTime_.NewSha256();
                sums::HashRange(*source, BuffPos, share, {hasher.get(), whole.get()}, hashBuffer);
                sumLines += sums::Line(hasher->Finish(), pieces::PieceName(SrcTitle, index));
            }
            // The disk starts on this piece while the next one is cut.
            piece->StartFlush();
            piece->Publish();
            ListWritten(DestFile, share);
            written.push_back(std::move(piece));
        };
        for (int index = 1; index <= fullPieces; ++index) {
            controls_.ProgressBar1.SetValue(static_cast<float>(index));
            writePiece(index, PieceSize);
        }
        controls_.ProgressBar1.SetValue(static_cast<float>(fullPieces + 1));
        if (LastPieceSize > 0)
            writePiece(PieceCount, LastPieceSize); // at most 254 full pieces come before it
        else
            LastPieceSize = PieceSize;
        controls_.ProgressBar1.SetValue(controls_.ProgressBar1.Max());
        if (source->Length() != FileLength)
            throw changed();

        // The header is written last, once every piece is on the disk, so a run
        // that stops early, or a machine that stops, leaves no set that building
        // would accept.
        for (const auto& piece : written)
            piece->Flush();
        if (WriteSums) {
            sumLines += sums::Line(whole->Finish(), SrcTitle);
            DestFile = sumsFile;
            const auto file = runTime_.CreateOutput(DestFile, platform::Naming::ReplaceName);
            file->WriteAt(0, std::span(reinterpret_cast<const std::uint8_t*>(sumLines.data()),
                                       sumLines.size()));
            file->Flush();
            file->Publish();
            ListWritten(DestFile, static_cast<std::int64_t>(sumLines.size()));
        }
        runTime_.FlushFolder(DestDir);
        const auto bytes =
            pieces::EncodeHeader({PieceCount, LastPieceSize, static_cast<std::uint8_t>(sizeCode)});
        MultiBuff.Resize(bytes.size());
        std::copy(bytes.begin(), bytes.end(), MultiBuff.data());
        DestFile = header;
        const auto headerFile = runTime_.CreateOutput(DestFile, platform::Naming::ReplaceName);
        transfers_.SaveMultiBuffToFile(*headerFile, 1);
        headerFile->Flush();
        headerFile->Publish();
        headerFile->FlushName();
        ListWritten(DestFile, static_cast<std::int64_t>(bytes.size()));

        controls_.ProgressBar1.SetValue(0);
        controls_.lstFiles.AddItem("Finish Trening successfully");
    } catch (const RunTimeError& failure) {
        ReportTermination(failure, "Terminate Trening during error");
    } catch (const std::bad_alloc&) {
        ReportTermination(RunTimeError(ErrorCode::OutOfMemory, "Cannot tren", fname),
                          "Terminate Trening during error");
    }
}

void frmTren::BuildFile(std::string fname) {
    if (fname.empty()) {
        controls_.Window.MsgBox("No file to build", MessageStyle::OkOnly, {});
        return;
    }
    try {
        // The data pieces lie beside the header piece, wherever the current
        // directory is.
        SrcTitle = platform::FileNameOf(fname);
        std::string folder = platform::FolderOf(fname);
        // No tren may replace the set while it is read.
        const auto lock = runTime_.LockFolder(folder.empty() ? runTime_.CurrentDirectory() : folder,
                                              platform::LockKind::Shared);

        const auto headerFile = runTime_.OpenInput(fname);
        Buff.Resize(pieces::HeaderLength);
        transfers_.CopyFileToBuff(*headerFile, 1, ReadExtent::UpToEnd);
        const int pieceCount = Buff[0];
        controls_.ProgressBar1.SetMax(static_cast<float>(pieceCount + 1));
        controls_.ProgressBar1.SetValue(1);

        const auto header = pieces::DecodeHeader(
            std::span<const std::uint8_t, pieces::HeaderLength>(Buff.data(), pieces::HeaderLength));
        if (!header) {
            controls_.Window.MsgBoxAbout(fname, "Wrong version or corrupted file",
                                         MessageStyle::Exclamation, BuildingError);
            return;
        }
        controls_.cmbSize.SetListIndex(header->SizeCode - 1);
        cmbSize_Click();
        // The table, not the list's text, is what the code means.
        PieceSize = pieces::PieceSizeOf(*header);
        LastPieceSize = header->LastPieceSize;
        const std::int64_t rebuiltLength = pieces::RebuiltLength(*header);
        FileLength = rebuiltLength - 1;

        // Every piece is opened, and held, before the user is asked anything: a
        // missing or short piece would leave a hole in the rebuilt file.
        std::vector<std::unique_ptr<platform::InputFile>> pieceFiles;
        std::vector<std::int64_t> lengths;
        for (int index = 1; index <= pieceCount; ++index) {
            const std::string piece = folder + pieces::PieceNameFromHeader(SrcTitle, index);
            try {
                pieceFiles.push_back(runTime_.OpenInput(piece));
                lengths.push_back(pieceFiles.back()->Length());
            } catch (const RunTimeError& failure) {
                if (failure.Code() != ErrorCode::FileNotFound)
                    throw;
                break;
            }
        }
        if (const auto fault = pieces::FirstFault(*header, lengths)) {
            const std::string piece = folder + pieces::PieceNameFromHeader(SrcTitle, fault->Piece);
            controls_.Window.MsgBoxAbout(
                piece,
                fault->Held < 0 ? "Piece file is missing: " + piece
                                : "Piece file is too short: " + piece + " holds " +
                                      std::to_string(fault->Held) + " bytes, the set needs " +
                                      std::to_string(fault->Needed),
                MessageStyle::Exclamation, BuildingError);
            return;
        }

        // Where a checksum file stands beside the header, every piece must match
        // its line and the whole the source's line, before anything is written.
        std::vector<platform::InputFile*> opened;
        for (const auto& piece : pieceFiles)
            opened.push_back(piece.get());
        const sums::Check check = sums::CheckSet(runTime_, fname, *header, opened);
        if (!check.Damaged.empty() || check.WholeDiffers) {
            const std::string damaged =
                check.Damaged.empty() ? check.Path : opened[check.Damaged.front() - 1]->Path();
            controls_.Window.MsgBoxAbout(damaged,
                                         check.Damaged.empty()
                                             ? "The pieces do not give the file " +
                                                   pieces::RebuiltName(SrcTitle) + " that " +
                                                   check.Path + " describes."
                                             : "Piece file is damaged: " + damaged,
                                         MessageStyle::Exclamation, BuildingError);
            return;
        }

        DestDir = PrepareDestination("Select directory to build to...");
        const std::string name = pieces::RebuiltName(SrcTitle);
        DestFile = DestDir + name;
        if (const std::size_t limit = runTime_.MaxNameLength(DestDir); name.size() > limit) {
            controls_.Window.MsgBoxAbout(DestFile,
                                         "The name " + DestFile + " is too long for its folder (" +
                                             std::to_string(name.size()) + " bytes, at most " +
                                             std::to_string(limit) + ").",
                                         MessageStyle::Exclamation, BuildingError);
            return;
        }
        // Replacing a file of the set with the rebuilt one would destroy the set.
        const platform::EntryInfo destination = runTime_.Examine(DestFile);
        if (destination.TargetKind != EntryKind::Missing) {
            std::vector<const platform::InputFile*> setFiles{headerFile.get()};
            for (const auto& piece : pieceFiles)
                setFiles.push_back(piece.get());
            for (const auto* file : setFiles) {
                if (file->Id() == destination.TargetId || file->Id() == destination.Id) {
                    controls_.Window.MsgBoxAbout(
                        DestFile,
                        "The rebuilt file " + DestFile + " would replace " + file->Path() +
                            ", a file of the set being built. Choose another folder.",
                        MessageStyle::Exclamation, BuildingError);
                    return;
                }
            }
        }

        // The image is written as a new file that takes the destination's name only
        // once it is whole and on the disk, so that a failure leaves an existing
        // file as it was and nothing half written behind.
        const auto image = runTime_.CreateOutput(DestFile, platform::Naming::ReplaceLinkTarget);
        for (int index = 1; index <= pieceCount; ++index) {
            controls_.ProgressBar1.SetValue(static_cast<float>(index + 1));
            transfers_.CopyFileToFile(*pieceFiles[static_cast<std::size_t>(index - 1)], 1, *image,
                                      std::int64_t{index - 1} * PieceSize + 1,
                                      pieces::ShareOf(*header, index));
            image->StartFlush();
        }
        image->Flush();
        image->Publish();
        image->FlushName();
        ListWritten(DestFile, rebuiltLength);

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
