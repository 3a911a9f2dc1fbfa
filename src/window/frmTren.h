#pragma once

#include "engine/Operation.h"
#include "engine/Transfers.h"
#include "platform/Controls.h"
#include "platform/RunTimeError.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tren::platform {
class ClassStore;
class RunTime;
} // namespace tren::platform

namespace tren {

// The controls of the window the form drives, whichever backend draws them.
struct FormControls {
    platform::Window& Window;
    platform::TextBox& txtSrcFile;
    platform::ComboBox& cmbSize;
    platform::ListBox& lstFiles;
    platform::ProgressBar& ProgressBar1;
    platform::CommonDialog& CommonDialog1;
    platform::Label& lblLink;
};

// The services behind the window: files and the process, the shell's store of
// file types, and the desktop that opens addresses.
struct FormServices {
    platform::RunTime& RunTime;
    platform::ClassStore& ClassStore;
    platform::Desktop& Desktop;
};

// The main window's state and handlers, without a toolkit. A backend builds the
// controls, hands them over and calls the handlers from its events.
class frmTren {
  public:
    frmTren(FormControls controls, FormServices services);

    // The load event, before the window is first shown. command is everything
    // after the program's name, as one string: without one the file type is
    // registered, with one the set it names is built at once.
    void Form_Load(const std::string& command);
    // The controls as start-up prepares them, without registering or building:
    // the size list and its default, the progress bar's minimum.
    void PrepareControls();
    void FillSizeList();

    void cmbSize_Click();
    void fltbTren_Click();
    void fltbBuild_Click();
    void lblLink_Click();
    // The path box is the program's to fill: every typed character is refused.
    void txtSrcFile_KeyPress(std::int16_t& KeyAscii);

    // One file dropped on the window takes the road of the button its kind
    // belongs to: a header piece is built, any other file is cut. Several files,
    // or a folder, do nothing.
    void Form_DropFiles(const std::vector<std::string>& paths);

    bool FileExists(const std::string& fname);
    void CreateFileType(const std::string& fPath);
    void TrenFile(std::string fname);
    void BuildFile(std::string fname);

    // Trenning also writes NAME.tr.sha256 beside the set, for any system to check.
    void SetChecksums(engine::Checksums sums) { checksums_ = sums; }
    void SetRecovery(engine::RecoveryShare share) { recovery_ = share; }
    // What building does with a file already at the rebuilt file's name; the
    // window keeps the replaced file in the disk's trash.
    void SetReplacing(engine::Replacing existing) { replacing_ = existing; }
    // Told the folder when a run waits for another that holds it.
    void SetWaitingNotice(std::function<void(const std::string&)> notice) {
        waitingNotice_ = std::move(notice);
    }

    // What the last run left: the set's counts, the folder and the file written.
    const engine::RunState& State() const { return state_; }
    // How the last click or start-up build ended: Finished only when its
    // operation finished.
    const engine::Outcome& LastOutcome() const { return lastOutcome_; }

  private:
    class Sink;

    template <class Step> void Continue(Step&& step);
    void FinalReport();
    bool ChooseFile(const char* dialogTitle, const char* filter, const char* errorTitle);
    bool TakeFile(const platform::OpenChoice& choice, const char* errorTitle);
    bool HeaderExists(const std::string& path);
    void ShowChosenSize();
    void Report(const engine::Outcome& outcome, const char* terminateLine);

    FormControls controls_;
    FormServices services_;
    platform::RunTime& runTime_;
    // The form-level state the operations share; it outlives a run until the next
    // one overwrites it.
    engine::RunState state_;
    std::string AppDir;
    engine::Checksums checksums_ = engine::Checksums::Skip;
    engine::RecoveryShare recovery_;
    engine::Replacing replacing_ = engine::Replacing::Trash;
    std::function<void(const std::string&)> waitingNotice_;
    // Held from the header's existence test to the end of its build, so that a
    // tren of the same set finishes first and is not seen half done.
    std::unique_ptr<platform::FolderLock> setLock_;
    TransferBuffers transfers_;
    engine::Outcome lastOutcome_ = engine::Outcome::Refused({});
    std::optional<RunTimeError> pendingError_;
    // The hand shown over the mail link.
    const platform::Image imgHand{platform::Artwork::HandCursor};
};

} // namespace tren
