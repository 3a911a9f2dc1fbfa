#pragma once

#include "platform/ClassStore.h"
#include "platform/Controls.h"
#include "support/ForwardingRunTime.h"
#include "support/SystemUnderTest.h"
#include "window/frmTren.h"

#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace tren::test {

// The window's controls driven by a script: the dialogs answer what the test
// queued, and everything the handlers show lands in one log, in order.
class ScriptedForm {
  public:
    enum class Start { Prepared, Unloaded };
    // Prepared: the controls as start-up leaves them, without registering.
    explicit ScriptedForm(Start start = Start::Prepared);

    // What the open dialog and the folder picker will answer, in turn.
    void AnswerOpen(const std::string& path);
    void AnswerFolder(const std::string& folder) { folders.push_back(folder); }
    void SelectSize(int index) { combo.SetListIndex(index); }

    // "box TITLE|STYLE|TEXT", "list TEXT", "clear", "max N", "value N", "folder
    // TITLE", "store CALL" and "open ADDRESS".
    std::vector<std::string> log;
    std::vector<std::string> Boxes() const { return Only("box "); }
    std::vector<std::string> ListLines() const { return list.lines; }
    std::vector<std::string> Progress() const;

    // This system's run-time over system calls that fail on purpose.
    FaultyCalls calls;
    SystemRunTime system{calls};
    ForwardingRunTime runTime{system};
    std::deque<platform::OpenChoice> opens;
    std::deque<std::string> folders;

    struct Window final : platform::Window {
        ScriptedForm& owner;
        explicit Window(ScriptedForm& o) : owner(o) {}
        void MsgBox(const std::string& text, platform::MessageStyle style,
                    const std::string& title) override;
        std::string ChooseFolder(const std::string& title) override;
    } window{*this};
    struct TextBox final : platform::TextBox {
        std::string text;
        std::string Text() const override { return text; }
        void SetText(const std::string& t) override { text = t; }
    } text;
    struct ListBox final : platform::ListBox {
        ScriptedForm& owner;
        std::vector<std::string> lines;
        explicit ListBox(ScriptedForm& o) : owner(o) {}
        void Clear() override;
        void AddItem(const std::string& line) override;
    } list{*this};
    struct ComboBox final : platform::ComboBox {
        std::vector<std::string> entries;
        int index = -1;
        std::string typed; // text in the editable field, when no entry is chosen
        void AddItem(const std::string& entry) override { entries.push_back(entry); }
        int ListIndex() const override { return index; }
        void SetListIndex(int i) override;
        int ListCount() const override { return static_cast<int>(entries.size()); }
        std::string Text() const override;
        void Type(const std::string& t) {
            index = -1;
            typed = t;
        }
    } combo;
    struct ProgressBar final : platform::ProgressBar {
        ScriptedForm& owner;
        float max = 100, value = 0, min = -1;
        explicit ProgressBar(ScriptedForm& o) : owner(o) {}
        void SetMin(float v) override { min = v; }
        void SetMax(float v) override;
        float Max() const override { return max; }
        void SetValue(float v) override;
        float Value() const override { return value; }
    } progress{*this};
    struct Dialog final : platform::CommonDialog {
        ScriptedForm& owner;
        std::vector<std::string> shown; // "TITLE|FILTER"
        explicit Dialog(ScriptedForm& o) : owner(o) {}
        platform::OpenChoice ShowOpen(const std::string& title, const std::string& filter) override;
    } dialog{*this};

    struct Label final : platform::Label {
        std::string caption = "tren@example.org";
        platform::MousePointer pointer = platform::MousePointer::Default;
        std::optional<platform::Artwork> icon;
        std::string Caption() const override { return caption; }
        void SetMousePointer(platform::MousePointer p) override { pointer = p; }
        void SetMouseIcon(platform::Artwork a) override { icon = a; }
    } label;
    struct Desktop final : platform::Desktop {
        ScriptedForm& owner;
        std::int32_t result = platform::AddressOpened;
        explicit Desktop(ScriptedForm& o) : owner(o) {}
        std::int32_t OpenAddress(const std::string& address) override {
            owner.log.push_back("open " + address);
            return result;
        }
    } desktop{*this};
    struct Store final : platform::ClassStore {
        ScriptedForm& owner;
        bool broken = false; // every key and value fails, as a store that cannot be written
        explicit Store(ScriptedForm& o) : owner(o) {}
        bool CreateKey(platform::RootKey, const std::string& subKey) override {
            owner.log.push_back("store create " + subKey);
            return !broken;
        }
        platform::SetOutcome SetDefaultValue(platform::RootKey, const std::string& subKey,
                                             const std::string& value) override {
            owner.log.push_back("store set " + subKey + " = " + value);
            return broken ? platform::SetOutcome::CannotOpen : platform::SetOutcome::Done;
        }
        void Publish() override { owner.log.push_back("store publish"); }
    } store{*this};

    frmTren form;

  private:
    std::vector<std::string> Only(const std::string& prefix) const;
};

} // namespace tren::test
