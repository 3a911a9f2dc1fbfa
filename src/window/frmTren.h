#pragma once

#include "engine/RunTimeError.h"
#include "engine/Transfers.h"

#include <cstdint>
#include <optional>
#include <string>

namespace tren::platform {
class Window;
class TextBox;
class ComboBox;
class ListBox;
class ProgressBar;
class CommonDialog;
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
};

// The main window's state and handlers, without a toolkit. A backend builds the
// controls, hands them over and calls the handlers from its events.
class frmTren {
public:
    frmTren(FormControls controls, platform::RunTime& runTime);

    // Start-up's preparation of the controls: the size list and its default, the
    // progress bar's minimum.
    void PrepareControls();
    void FillSizeList();

    void cmbSize_Click();
    void fltbTren_Click();
    void fltbBuild_Click();

    bool FileExists(const std::string& fname);
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
    TransferBuffer& Buff;
    TransferBuffer& MultiBuff;

    // The failure a continue-on-failure step left behind, if any.
    const std::optional<RunTimeError>& PendingError() const { return pendingError_; }

private:
    template <class Step> void Continue(Step&& step);
    void FinalReport();
    std::string PrepareDestination(const std::string& pickerTitle);
    void ListWritten(const std::string& path);
    void ReportTermination(const RunTimeError& failure, const char* statusLine);

    FormControls controls_;
    platform::RunTime& runTime_;
    TransferBuffers transfers_;
    std::optional<RunTimeError> pendingError_;
};

} // namespace tren
