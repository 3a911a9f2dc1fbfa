#include "window/ScriptedForm.h"

#include "platform/Paths.h"

#include <gtest/gtest.h>

namespace tren::test {

namespace {

std::string Number(float value) {
    return std::to_string(static_cast<int>(value));
}

} // namespace

ScriptedForm::ScriptedForm(Start start)
    : form({window, text, combo, list, progress, dialog, label}, {runTime, store, desktop}) {
    if (start == Start::Prepared)
        form.PrepareControls();
    log.clear();
}

void ScriptedForm::AnswerOpen(const std::string& path) {
    opens.push_back({path, path.empty() ? std::string() : platform::FileNameOf(path)});
}

std::vector<std::string> ScriptedForm::Progress() const {
    std::vector<std::string> steps;
    for (const auto& entry : log)
        if (entry.rfind("max ", 0) == 0 || entry.rfind("value ", 0) == 0)
            steps.push_back(entry);
    return steps;
}

std::vector<std::string> ScriptedForm::Only(const std::string& prefix) const {
    std::vector<std::string> picked;
    for (const auto& entry : log)
        if (entry.rfind(prefix, 0) == 0)
            picked.push_back(entry.substr(prefix.size()));
    return picked;
}

void ScriptedForm::Window::MsgBox(const std::string& text, platform::MessageStyle style,
                                  const std::string& title) {
    owner.log.push_back("box " + (title.empty() ? std::string(platform::ApplicationTitle) : title) +
                        "|" + std::to_string(static_cast<int>(style)) + "|" + text);
}

std::string ScriptedForm::Window::ChooseFolder(const std::string& title) {
    owner.log.push_back("folder " + title);
    if (owner.folders.empty()) {
        ADD_FAILURE() << "the folder picker was not expected";
        return {};
    }
    std::string folder = owner.folders.front();
    owner.folders.pop_front();
    return folder;
}

void ScriptedForm::ListBox::Clear() {
    lines.clear();
    owner.log.push_back("clear");
}

void ScriptedForm::ListBox::AddItem(const std::string& line) {
    lines.push_back(line);
    owner.log.push_back("list " + line);
}

void ScriptedForm::ComboBox::SetListIndex(int i) {
    index = i;
    typed.clear();
    RaiseClick();
}

std::string ScriptedForm::ComboBox::Text() const {
    if (index >= 0 && index < ListCount())
        return entries[static_cast<std::size_t>(index)];
    return typed;
}

void ScriptedForm::ProgressBar::SetMax(float v) {
    max = v;
    owner.log.push_back("max " + Number(v));
}

void ScriptedForm::ProgressBar::SetValue(float v) {
    value = v;
    owner.log.push_back("value " + Number(v));
}

platform::OpenChoice ScriptedForm::Dialog::ShowOpen(const std::string& title,
                                                    const std::string& filter) {
    shown.push_back(title + "|" + filter);
    if (owner.opens.empty()) {
        ADD_FAILURE() << "the open dialog was not expected";
        return {};
    }
    platform::OpenChoice choice = owner.opens.front();
    owner.opens.pop_front();
    return choice;
}

} // namespace tren::test
