#include "platform/console/ConsoleCommand.h"

#include "engine/PieceSet.h"
#include "platform/Paths.h"
#include "platform/console/ConsoleControls.h"
#include "platform/freedesktop/TypeIcons.h"
#include "platform/posix/PosixRunTime.h"
#include "window/frmTren.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <iostream>
#include <unistd.h>

namespace tren::platform::console {

namespace {

// The command line's names for the entries of the size list, in list order.
constexpr std::array<const char*, 5> SizeNames{"5M", "3M", "1.44M", "1M", "500K"};
static_assert(SizeNames.size() == pieces::SizeTable.size());

int SizeIndexOf(std::string name) {
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    for (std::size_t i = 0; i < SizeNames.size(); ++i)
        if (name == SizeNames[i])
            return static_cast<int>(i);
    return -1;
}

const char* const Usage = "usage: tren-cli tren SOURCE [--size 5M|3M|1.44M|1M|500K] [--out DIR]\n"
                          "       tren-cli build HEADER [--out DIR]\n";

std::string AbsoluteFolder(const std::string& folder) {
    namespace fs = std::filesystem;
    fs::path path = fs::absolute(fs::path(folder)).lexically_normal();
    return WithTrailingSeparator(path.string());
}

bool IsTerminal(std::ostream& stream) {
    return &stream == &std::cerr && ::isatty(STDERR_FILENO) == 1;
}

} // namespace

int RunCommand(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
    CLI::App app{"Cuts a file into a numbered set of pieces, and builds it again from them.",
                 "tren-cli"};
    app.set_version_flag("--version", "tren-cli " TREN_VERSION);
    app.require_subcommand(1, 1);

    const auto notEmpty = CLI::Validator(
        [](std::string& value) { return value.empty() ? std::string("must not be empty") : ""; },
        "NOT EMPTY");
    const auto sizeName = CLI::Validator(
        [](std::string& value) {
            return SizeIndexOf(value) < 0 ? "'" + value + "' is not one of 5M, 3M, 1.44M, 1M, 500K"
                                          : std::string();
        },
        "SIZE");

    std::string source;
    std::string size = "1.44M";
    std::string outFolder = ".";
    CLI::App* tren = app.add_subcommand("tren", "Cut SOURCE into a piece set in DIR");
    tren->add_option("SOURCE", source, "The file to cut")->required()->check(notEmpty);
    tren->add_option("--size", size, "Piece size: 5M, 3M, 1.44M, 1M or 500K (default 1.44M)")
        ->check(sizeName);
    tren->add_option("--out", outFolder, "Folder for the pieces (default: the current one)");

    std::string header;
    CLI::App* build = app.add_subcommand("build", "Build the file of the set HEADER (a .tr0) in DIR");
    build->add_option("HEADER", header, "The header piece of the set")->required()->check(notEmpty);
    build->add_option("--out", outFolder, "Folder for the rebuilt file (default: the current one)");

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& failure) {
        if (failure.get_exit_code() == static_cast<int>(CLI::ExitCodes::Success)) {
            app.exit(failure, out, err);
            return Succeeded;
        }
        err << "tren-cli: " << failure.what() << '\n' << Usage;
        return UsageError;
    }

    PosixRunTime runTime;
    // Only a folder that is not there is the caller's mistake; one that cannot be
    // looked at (an I/O error) is a failure like any other.
    try {
        const EntryInfo out = runTime.Examine(outFolder);
        if (out.TargetKind != EntryKind::Folder) {
            err << "tren-cli: --out: "
                << (out.TargetKind == EntryKind::Missing ? "Directory does not exist: "
                                                         : "Not a directory: ")
                << outFolder << '\n'
                << Usage;
            return UsageError;
        }
    } catch (const RunTimeError& failure) {
        err << "tren-cli: " << failure.Description() << '\n';
        return Failed;
    }

    const bool trenning = tren->parsed();
    ConsoleWindow window(err, AbsoluteFolder(outFolder));
    ConsoleTextBox txtSrcFile;
    ConsoleComboBox cmbSize;
    ConsoleListBox lstFiles(out);
    ConsoleProgressBar progress(err, IsTerminal(err));
    ConsoleDialog dialog(trenning ? source : header);
    ConsoleLabel lblLink("tren@example.org");
    auto classStore = FreedesktopClassStore::FromEnvironment(runTime.HomeFolder(), TypeIcons());
    ConsoleDesktop desktop;
    frmTren form({window, txtSrcFile, cmbSize, lstFiles, progress, dialog, lblLink},
                 {runTime, classStore, desktop});

    form.PrepareControls();
    if (trenning) {
        cmbSize.SetListIndex(SizeIndexOf(size));
        form.fltbTren_Click();
        return lstFiles.LastItem() == "Finish Trening successfully" ? Succeeded : Failed;
    }
    form.fltbBuild_Click();
    return lstFiles.LastItem() == "Finish building successfully" ? Succeeded : Failed;
}

} // namespace tren::platform::console
