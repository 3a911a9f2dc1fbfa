#pragma once

#include "platform/ClassStore.h"
#include "platform/Controls.h"
#include "platform/Paths.h"
#include "support/ForwardingRunTime.h"
#include "support/SystemUnderTest.h"
#include "window/FormLayout.h"
#include "window/frmTren.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

namespace tren::test {

// The window's controls driven by a script: the dialogs answer what the test
// queued, and everything the handlers show lands in one log, in order. The form
// itself is the window, progress bar, open dialog, link, desktop and class store.
class ScriptedForm : platform::Window,
                     platform::ProgressBar,
                     platform::CommonDialog,
                     platform::Label,
                     platform::Desktop,
                     platform::ClassStore {
  public:
    enum class Start { Prepared, Unloaded };
    // Prepared: the controls as start-up leaves them, without registering.
    explicit ScriptedForm(Start start = Start::Prepared)
        : form({*this, text, combo, list, *this, *this, *this}, {runTime, *this, *this}) {
        if (start == Start::Prepared)
            form.PrepareControls();
        log.clear();
    }

    // Answers the open dialog with path ("" cancels it) and the folder picker with
    // each of folders in turn, then clicks; the log then holds what the click did.
    void Tren(const std::string& path, const std::vector<std::string>& folders = {}) {
        Click(&frmTren::fltbTren_Click, path, folders);
    }
    void Build(const std::string& path, const std::vector<std::string>& folders = {}) {
        Click(&frmTren::fltbBuild_Click, path, folders);
    }
    void SelectSize(int index) { combo.SetListIndex(index); }

    // "box TITLE|STYLE|TEXT", "list TEXT", "clear", "progress max N", "progress
    // value N", "folder TITLE", "store KEY = VALUE"; Only(prefix) gives those that
    // begin with prefix, without it.
    std::vector<std::string> log;
    std::vector<std::string> Only(const std::string& prefix) const {
        std::vector<std::string> picked;
        for (const auto& entry : log)
            if (entry.starts_with(prefix))
                picked.push_back(entry.substr(prefix.size()));
        return picked;
    }
    std::vector<std::string> Boxes() const { return Only("box "); }
    std::string LastLine() const { return list.lines.empty() ? "" : list.lines.back(); }
    std::deque<std::string> folders; // what the folder picker answers, in turn

    // This system's run-time over system calls that fail on purpose.
    FaultyCalls calls;
    SystemRunTime system{calls};
    ForwardingRunTime runTime{system};

    struct TextBox final : platform::TextBox {
        std::string text;
        std::string Text() const override { return text; }
        void SetText(const std::string& t) override { text = t; }
    } text;
    struct ListBox final : platform::ListBox {
        std::vector<std::string>& log;
        std::vector<std::string> lines;
        explicit ListBox(std::vector<std::string>& l) : log(l) {}
        void Clear() override { lines.clear(), log.push_back("clear"); }
        void AddItem(const std::string& line) override {
            lines.push_back(line), log.push_back("list " + line);
        }
    } list{log};
    struct ComboBox final : platform::ComboBox {
        std::vector<std::string> entries;
        int index = -1;
        std::string typed; // text in the editable field, when no entry is chosen
        void AddItem(const std::string& entry) override { entries.push_back(entry); }
        int ListIndex() const override { return index; }
        void SetListIndex(int i) override {
            index = i;
            typed.clear();
            RaiseClick();
        }
        int ListCount() const override { return static_cast<int>(entries.size()); }
        std::string Text() const override {
            return index >= 0 && index < ListCount() ? entries[static_cast<std::size_t>(index)]
                                                     : typed;
        }
    } combo;

    frmTren form;

  private:
    std::deque<platform::OpenChoice> opens;
    float max = 100;

    void Click(void (frmTren::*handler)(), const std::string& path,
               const std::vector<std::string>& answers) {
        opens.push_back({path, path.empty() ? std::string() : platform::FileNameOf(path)});
        folders.assign(answers.begin(), answers.end()); // what an earlier click left goes
        log.clear();
        (form.*handler)();
    }
    // The next answer the test queued for a dialog.
    template <class Answer>
    static Answer Next(std::deque<Answer>& answers, const std::string& title) {
        if (answers.empty()) {
            ADD_FAILURE() << "the dialog " << title << " was not expected";
            return {};
        }
        Answer answer = answers.front();
        answers.pop_front();
        return answer;
    }
    void MsgBox(const std::string& text, platform::MessageStyle style,
                const std::string& title) override {
        log.push_back("box " + (title.empty() ? std::string(platform::ApplicationTitle) : title) +
                      "|" + std::to_string(static_cast<int>(style)) + "|" + text);
    }
    std::string ChooseFolder(const std::string& title) override {
        log.push_back("folder " + title);
        return Next(folders, title);
    }
    platform::OpenChoice ShowOpen(const std::string& title, const std::string&) override {
        return Next(opens, title);
    }
    void SetMin(float) override {}
    void SetMax(float v) override {
        max = v;
        log.push_back("progress max " + std::to_string(static_cast<int>(v)));
    }
    float Max() const override { return max; }
    void SetValue(float v) override { log.push_back("progress value " + std::to_string(int(v))); }
    std::string Caption() const override { return std::string(FormLayout::LinkAddress); }
    void SetMousePointer(platform::MousePointer) override {}
    void SetMouseIcon(platform::Artwork) override {}
    std::int32_t OpenAddress(const std::string&) override { return platform::AddressOpened; }
    platform::StoreResult CreateKey(platform::RootKey, const std::string&) override { return {}; }
    platform::StoreResult SetDefaultValue(platform::RootKey, const std::string& subKey,
                                          const std::string& value) override {
        log.push_back("store " + subKey + " = " + value);
        return {};
    }
    platform::StoreResult Publish() override { return {}; }
};

} // namespace tren::test
