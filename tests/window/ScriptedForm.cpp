#include "window/ScriptedForm.h"

#include "platform/Paths.h"

#include <gtest/gtest.h>

namespace tren::test {

namespace {

// The next answer the test queued for a dialog.
template <class Answer> Answer Next(std::deque<Answer>& answers, const std::string& dialog) {
    if (answers.empty()) {
        ADD_FAILURE() << "the dialog " << dialog << " was not expected";
        return {};
    }
    Answer answer = answers.front();
    answers.pop_front();
    return answer;
}

} // namespace

ScriptedForm::ScriptedForm(Start start)
    : form({*this, text, combo, list, *this, *this, *this}, {runTime, *this, *this}) {
    if (start == Start::Prepared)
        form.PrepareControls();
    log.clear();
}

void ScriptedForm::Click(void (frmTren::*handler)(), const std::string& path,
                         const std::vector<std::string>& answers) {
    opens.push_back({path, path.empty() ? std::string() : platform::FileNameOf(path)});
    folders.assign(answers.begin(), answers.end()); // what an earlier click left goes
    log.clear();
    (form.*handler)();
}

std::vector<std::string> ScriptedForm::Only(const std::string& prefix) const {
    std::vector<std::string> picked;
    for (const auto& entry : log)
        if (entry.rfind(prefix, 0) == 0)
            picked.push_back(entry.substr(prefix.size()));
    return picked;
}

void ScriptedForm::MsgBox(const std::string& text, platform::MessageStyle style,
                          const std::string& title) {
    log.push_back("box " + (title.empty() ? std::string(platform::ApplicationTitle) : title) + "|" +
                  std::to_string(static_cast<int>(style)) + "|" + text);
}

std::string ScriptedForm::ChooseFolder(const std::string& title) {
    log.push_back("folder " + title);
    return Next(folders, title);
}

platform::OpenChoice ScriptedForm::ShowOpen(const std::string& title, const std::string&) {
    return Next(opens, title);
}

void ScriptedForm::SetMax(float v) {
    max = v;
    log.push_back("progress max " + std::to_string(static_cast<int>(v)));
}

platform::StoreResult ScriptedForm::SetDefaultValue(platform::RootKey, const std::string& subKey,
                                                    const std::string& value) {
    log.push_back("store " + subKey + " = " + value);
    return {};
}

void ScriptedForm::ListBox::Clear() {
    lines.clear();
    log.push_back("clear");
}

void ScriptedForm::ListBox::AddItem(const std::string& line) {
    lines.push_back(line);
    log.push_back("list " + line);
}

} // namespace tren::test
