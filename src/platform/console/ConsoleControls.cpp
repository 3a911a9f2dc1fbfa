#include "platform/console/ConsoleControls.h"

#include "platform/Paths.h"

#include <algorithm>
#include <ostream>

namespace tren::platform::console {

void ConsoleWindow::MsgBox(const std::string& text, MessageStyle, const std::string& title) {
    messages_ << (title.empty() ? ApplicationTitle : title) << ": " << text << std::endl;
}

std::string ConsoleWindow::ChooseFolder(const std::string&) { return folder_; }

void ConsoleListBox::AddItem(const std::string& text) {
    last_ = text;
    lines_ << text << '\n' << std::flush;
}

void ConsoleComboBox::SetListIndex(int index) {
    index_ = (index >= 0 && index < ListCount()) ? index : -1;
    RaiseClick();
}

std::string ConsoleComboBox::Text() const {
    return index_ >= 0 ? entries_[static_cast<std::size_t>(index_)] : std::string();
}

void ConsoleProgressBar::SetValue(float value) {
    value_ = value;
    if (!visible_)
        return;
    // One line, redrawn in place; cleared when the bar drops back to its minimum.
    if (value <= min_ || max_ <= min_) {
        terminal_ << "\r\033[K" << std::flush;
        return;
    }
    constexpr int width = 30;
    const float share = std::clamp((value - min_) / (max_ - min_), 0.0f, 1.0f);
    const int filled = static_cast<int>(share * width + 0.5f);
    terminal_ << "\r[" << std::string(static_cast<std::size_t>(filled), '#')
              << std::string(static_cast<std::size_t>(width - filled), ' ') << "] "
              << static_cast<int>(value) << '/' << static_cast<int>(max_) << std::flush;
}

OpenChoice ConsoleDialog::ShowOpen(const std::string&, const std::string&) {
    return {path_, FileNameOf(path_)};
}

} // namespace tren::platform::console
