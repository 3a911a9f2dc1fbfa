#pragma once

#include "engine/Transfers.h"
#include "platform/Controls.h"
#include "platform/RunTimeError.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tren::platform {
class ClassStore;
class InputFile;
class RunTime;
struct FileId;
} // namespace tren::platform

namespace tren::pieces {
struct Header;
}

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

    bool FileExists(const std::string& fname);
    void CreateFileType(const std::string& fPath);
    void TrenFile(std::string fname);
    void BuildFile(std::string fname);

    // The form-level variables that the operations share; they outlive a run until
    // the next one overwrites them.
    std::uint8_t PieceCount = 0;
    std::int32_t LastPieceSize = 0;
    std::int64_t FileLength = 0;
    std::string DestFile;
    std::string DestDir;
    std::string SrcTitle;
    std::uint8_t PieceIndex = 0;
    std::int64_t BuffPos = 0;
    std::int32_t PieceSize = 0;
    std::string AppDir;
    // Trenning also writes NAME.tr.sha256 beside the set, for any system to check.
    bool WriteSums = false;
    TransferBuffer& Buff;
    TransferBuffer& MultiBuff;

    // The hand shown over the mail link.
    const platform::Image imgHand{platform::Artwork::HandCursor};

    // The failure a continue-on-failure step left behind, if any.
    const std::optional<RunTimeError>& PendingError() const { return pendingError_; }

  private:
    template <class Step> void Continue(Step&& step);
    void FinalReport();
    std::string PrepareDestination(const std::string& pickerTitle);
    void ListWritten(const std::string& path, std::int64_t length);
    bool CheckPieceNames(const std::string& fname, const platform::FileId& source);
    void ReportTermination(const RunTimeError& failure, const char* statusLine);

    FormControls controls_;
    FormServices services_;
    platform::RunTime& runTime_;
    TransferBuffers transfers_;
    std::optional<RunTimeError> pendingError_;
};

} // namespace tren
