#include "window/frmTren.h"

#include "engine/Building.h"
#include "engine/PieceSet.h"
#include "engine/Trenning.h"
#include "platform/Controls.h"
#include "platform/Paths.h"
#include "platform/RunTime.h"
#include "shell/MFileAssociations.h"
#include "shell/MFolderBrowse.h"
#include "shell/MWebLink.h"

#include <algorithm>
#include <cctype>
#include <new>

namespace tren {

using platform::MessageStyle;

namespace {

constexpr const char* TrenningError = "Trenning Error";
constexpr const char* BuildingError = "Building Error";

} // namespace

frmTren::frmTren(FormControls controls, FormServices services)
    : controls_(controls), services_(services), runTime_(services.RunTime) {
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
    setLock_.reset();
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
            state_.SrcTitle = platform::FileNameOf(path);
        });
        Continue([&] { controls_.lstFiles.Clear(); });
        if (!HeaderExists(path))
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
    state_.PieceSize = 1440000;
}

void frmTren::cmbSize_Click() {
    const std::string text = controls_.cmbSize.Text();
    for (const auto& entry : pieces::SizeTable) {
        if (entry.Text == text) {
            state_.PieceSize = entry.Bytes;
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

// A header is looked for once no tren of its folder is writing: such a run
// removes the old header first and writes the new one last.
bool frmTren::HeaderExists(const std::string& path) {
    try {
        const std::string folder = platform::FolderOf(path);
        setLock_ = runTime_.LockFolder(folder.empty() ? runTime_.CurrentDirectory() : folder,
                                       platform::LockKind::Shared, [&] {
                                           if (waitingNotice_)
                                               waitingNotice_(folder);
                                       });
    } catch (const RunTimeError&) {
        // A folder that cannot be locked is looked at unlocked; the build says why.
    }
    if (FileExists(path))
        return true;
    setLock_.reset();
    return false;
}

// The road both buttons take: the open dialog, then the chosen file taken.
bool frmTren::ChooseFile(const char* dialogTitle, const char* filter, const char* errorTitle) {
    lastOutcome_ = engine::Outcome::Refused({});
    platform::OpenChoice choice;
    Continue([&] { choice = controls_.CommonDialog1.ShowOpen(dialogTitle, filter); });
    return !choice.FileName.empty() && TakeFile(choice, errorTitle);
}

// The path box, the list cleared, and the existence test. True when the operation
// may start.
bool frmTren::TakeFile(const platform::OpenChoice& choice, const char* errorTitle) {
    Continue([&] {
        controls_.txtSrcFile.SetText(choice.FileName);
        state_.SrcTitle = choice.FileTitle;
    });
    Continue([&] { controls_.lstFiles.Clear(); });
    const std::string path = controls_.txtSrcFile.Text();
    if (errorTitle == BuildingError ? HeaderExists(path) : FileExists(path))
        return true;
    controls_.Window.MsgBoxAbout(path, "File is not exist.", MessageStyle::Exclamation, errorTitle);
    // After this message the final report does not run.
    pendingError_.reset();
    return false;
}

void frmTren::fltbTren_Click() {
    if (ChooseFile("Select the file to tren", "All Files (*.*)|*.*", TrenningError))
        Continue([&] { TrenFile(controls_.txtSrcFile.Text()); });
    FinalReport();
}

void frmTren::fltbBuild_Click() {
    if (ChooseFile("Select the trening files to build", "Tren Files (*.tr0)|*.tr0", BuildingError))
        Continue([&] { BuildFile(controls_.txtSrcFile.Text()); });
    FinalReport();
}

namespace {

bool IsHeaderPiece(const std::string& path) {
    const std::string name = platform::FileNameOf(path);
    if (name.size() < 4)
        return false;
    std::string extension = name.substr(name.size() - 4);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension == ".tr0";
}

} // namespace

void frmTren::Form_DropFiles(const std::vector<std::string>& paths) {
    if (paths.size() != 1 || paths.front().empty())
        return;
    const std::string& path = paths.front();
    try {
        if (runTime_.Examine(path).TargetKind == platform::EntryKind::Folder)
            return;
    } catch (const RunTimeError&) {
        // A file that cannot be looked at takes the road of any other, which says why.
    }
    lastOutcome_ = engine::Outcome::Refused({});
    const bool header = IsHeaderPiece(path);
    if (TakeFile({path, platform::FileNameOf(path)}, header ? BuildingError : TrenningError))
        Continue([&] {
            header ? BuildFile(controls_.txtSrcFile.Text()) : TrenFile(controls_.txtSrcFile.Text());
        });
    FinalReport();
}

// Typed text chooses no size: when a run starts, a box that shows anything but
// the chosen entry shows that entry again, so that it names the size cut with.
void frmTren::ShowChosenSize() {
    const int chosen = pieces::SizeCodeOf(state_.PieceSize) - 1;
    if (chosen >= 0 &&
        controls_.cmbSize.Text() != pieces::SizeTable[static_cast<std::size_t>(chosen)].Text)
        controls_.cmbSize.SetListIndex(chosen);
}

// What a run shows the person, through the form's controls.
class frmTren::Sink final : public engine::OperationSink {
  public:
    explicit Sink(frmTren& form) : form_(form) {}
    void ListWritten(const std::string& line) override { form_.controls_.lstFiles.AddItem(line); }
    void ProgressMax(int max) override {
        form_.controls_.ProgressBar1.SetMax(static_cast<float>(max));
    }
    void Progress(int value) override {
        form_.controls_.ProgressBar1.SetValue(static_cast<float>(value));
    }
    std::string ChooseFolder(const std::string& title) override {
        return MFolderBrowse::BrowseForFolder(form_.controls_.Window, title);
    }
    void SizeChosen(int sizeCode) override {
        form_.controls_.cmbSize.SetListIndex(sizeCode - 1);
        form_.cmbSize_Click();
    }
    void Waiting(const std::string& folder) override {
        if (form_.waitingNotice_)
            form_.waitingNotice_(folder);
    }

  private:
    frmTren& form_;
};

// A refusal is shown as its box; a failure stops the run there and says so in the
// list too, so that the person sees the run did not finish and the caller has
// nothing left to report.
void frmTren::Report(const engine::Outcome& outcome, const char* terminateLine) {
    lastOutcome_ = outcome;
    if (outcome.What() == engine::Outcome::Kind::Refused) {
        const engine::Message& box = outcome.Refusal();
        controls_.Window.MsgBoxAbout(box.File, box.Text, box.Style, box.Title);
    } else if (outcome.What() == engine::Outcome::Kind::Failed) {
        const RunTimeError& failure = outcome.Failure();
        controls_.Window.MsgBoxAbout(failure.Path(), failure.Description(),
                                     MessageStyle::Exclamation, {});
        Continue([&] { controls_.lstFiles.AddItem(terminateLine); });
        Continue([&] { controls_.ProgressBar1.SetValue(0); });
        pendingError_.reset();
    }
}

void frmTren::TrenFile(std::string fname) {
    ShowChosenSize();
    Sink sink(*this);
    engine::OperationContext context{runTime_, transfers_, sink};
    const engine::Outcome outcome = engine::Tren({fname, checksums_, recovery_}, context, state_);
    if (outcome.IsFinished()) {
        controls_.ProgressBar1.SetValue(0);
        controls_.lstFiles.AddItem("Finish Trening successfully");
    }
    Report(outcome, "Terminate Trening during error");
}

void frmTren::BuildFile(std::string fname) {
    ShowChosenSize();
    Sink sink(*this);
    engine::OperationContext context{runTime_, transfers_, sink};
    const engine::Outcome outcome = engine::Build({fname, replacing_}, context, state_);
    // No box is shown while the set's folder is held.
    setLock_.reset();
    if (outcome.IsFinished()) {
        controls_.lstFiles.AddItem("Finish building successfully");
        controls_.ProgressBar1.SetValue(0);
    }
    Report(outcome, "Terminate building during error");
}

} // namespace tren
