#include "console/ConsoleControls.h"

#include "platform/Paths.h"

#include <algorithm>
#include <ostream>

namespace tren::console {

// The front end speaks the platform's interfaces throughout.
using namespace tren::platform;

std::string MessageLine(const std::string& file, const std::string& title,
                        const std::string& text) {
    std::string line = "tren-cli: ";
    if (!file.empty())
        line += file + ": ";
    return line + (title.empty() ? ApplicationTitle : title) + ": " + text;
}

void ConsoleWindow::MsgBox(const std::string& text, MessageStyle style, const std::string& title) {
    MsgBoxAbout({}, text, style, title);
}

void ConsoleWindow::MsgBoxAbout(const std::string& file, const std::string& text, MessageStyle,
                                const std::string& title) {
    bar_.Clear();
    messages_ << MessageLine(file, title, text) << std::endl;
}

std::string ConsoleWindow::ChooseFolder(const std::string&) {
    return folder_;
}

void ConsoleListBox::AddItem(const std::string& text) {
    if (quiet_)
        return;
    // Standard output may be the bar's terminal too.
    bar_.Clear();
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
    if (kind_ == Terminal::None)
        return;
    // One line, redrawn in place; cleared when the bar drops back to its minimum.
    if (value <= min_ || max_ <= min_) {
        Clear();
        return;
    }
    constexpr int width = 30;
    const float share = std::clamp((value - min_) / (max_ - min_), 0.0f, 1.0f);
    const int filled = static_cast<int>(share * width + 0.5f);
    const std::string bar = "[" + std::string(static_cast<std::size_t>(filled), '#') +
                            std::string(static_cast<std::size_t>(width - filled), ' ') + "] " +
                            std::to_string(static_cast<int>(value)) + '/' +
                            std::to_string(static_cast<int>(max_));
    // A shorter count than the last one would leave digits standing behind it.
    const std::size_t blanks = bar.size() < drawnWidth_ ? drawnWidth_ - bar.size() : 0;
    terminal_ << '\r' << bar << std::string(blanks, ' ') << std::flush;
    drawnWidth_ = std::max(bar.size(), drawnWidth_);
}

void ConsoleProgressBar::Clear() {
    if (drawnWidth_ == 0)
        return;
    // A console that shows escape sequences as text gets blanks over the bar.
    if (kind_ == Terminal::EscapeCodes)
        terminal_ << "\r\033[K" << std::flush;
    else
        terminal_ << '\r' << std::string(drawnWidth_, ' ') << '\r' << std::flush;
    drawnWidth_ = 0;
}

OpenChoice ConsoleDialog::ShowOpen(const std::string&, const std::string&) {
    return {path_, FileNameOf(path_)};
}

} // namespace tren::console
