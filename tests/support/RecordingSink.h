#pragma once

#include "engine/Operation.h"

#include <string>
#include <vector>

namespace tren::test {

// Answers the folder question with one folder and keeps what the run listed.
struct RecordingSink final : engine::OperationSink {
    std::string folder;
    std::vector<std::string> lines;
    int sizeCode = 0;
    void ListWritten(const std::string& line) override { lines.push_back(line); }
    void ProgressMax(int) override {}
    void Progress(int) override {}
    std::string ChooseFolder(const std::string&) override { return folder; }
    void SizeChosen(int code) override { sizeCode = code; }
};

} // namespace tren::test
