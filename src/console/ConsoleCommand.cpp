#include "console/ConsoleCommand.h"

#include "console/ConsoleControls.h"
#include "console/SetQueries.h"
#include "engine/PieceSet.h"
#include "engine/Trenning.h"
#include "platform/ClassStore.h"
#include "platform/Paths.h"
#include "platform/RunTime.h"
#include "window/FormLayout.h"
#include "window/frmTren.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>
#include <streambuf>
#include <vector>

namespace tren::console {

// The front end speaks the platform's interfaces throughout.
using namespace tren::platform;

namespace {

constexpr const char* Program = "tren-cli";

int SizeIndexOf(std::string name) {
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    for (std::size_t i = 0; i < pieces::SizeTable.size(); ++i)
        if (name == pieces::SizeTable[i].Name)
            return static_cast<int>(i);
    return -1;
}

// "3" is three pieces' worth, "10%" a tenth of the set's pieces rounded up.
std::optional<engine::RecoveryShare> RecoveryShareOf(const std::string& text) {
    const bool percent = !text.empty() && text.back() == '%';
    const std::string digits = percent ? text.substr(0, text.size() - 1) : text;
    if (digits.empty() || digits.size() > 3 ||
        !std::all_of(digits.begin(), digits.end(),
                     [](unsigned char c) { return std::isdigit(c) != 0; }))
        return std::nullopt;
    const int amount = std::stoi(digits);
    if (amount < 1 || amount > (percent ? 100 : engine::MaxRecovery))
        return std::nullopt;
    return engine::RecoveryShare{amount, percent};
}

// The help's examples in the words and paths of the system it runs on: a Windows
// console knows neither ~ nor split, a Unix shell no drive letters.
struct HelpWords {
    const char* BinaryMegabyte; // who would take 1M for 1048576 bytes
    const char* Tren;
    const char* Build;
    const char* Info;
    const char* Verify;
    const char* Program;
};

constexpr HelpWords UnixWords{
    "unlike split -b 1M, which means 1048576 bytes",
    "  tren-cli tren report.doc --size 1.44M --out /media/usb\n"
    "  tren-cli tren backup.tar --size 5M --sums --recovery 2\n",
    "  tren-cli build /media/usb/report.doc.tr0 --out ~/restored\n"
    "  tren-cli build report.doc.tr0 --quiet && echo rebuilt",
    "  tren-cli info /media/usb/report.doc.tr0\n",
    "  tren-cli verify /media/usb/report.doc.tr0\n",
    "  tren-cli tren report.doc --size 1.44M --out /media/usb\n"
    "  tren-cli build /media/usb/report.doc.tr0 --out ~/restored\n",
};

constexpr HelpWords WindowsWords{
    "unlike Explorer's MB, which is 1048576 bytes",
    "  tren-cli tren report.doc --size 1.44M --out E:\\\n"
    "  tren-cli tren backup.zip --size 5M --sums --recovery 2\n",
    "  tren-cli build E:\\report.doc.tr0 --out %USERPROFILE%\\restored\n"
    "  tren-cli build report.doc.tr0 --quiet && echo rebuilt",
    "  tren-cli info E:\\report.doc.tr0\n",
    "  tren-cli verify E:\\report.doc.tr0\n",
    "  tren-cli tren report.doc --size 1.44M --out E:\\\n"
    "  tren-cli build E:\\report.doc.tr0 --out %USERPROFILE%\\restored\n",
};

constexpr const HelpWords& Words = PathSeparator == '\\' ? WindowsWords : UnixWords;

std::string Status() {
    return "Exit status: 0 finished, 1 refused or failed, 2 usage error.";
}

// Under the help of the program and of the command that takes a size.
std::string SizesAndStatus() {
    return std::string("Sizes are decimal: 1M = 1000000 bytes, 1.44M = 1440000 bytes, 500K = "
                       "500000\nbytes (") +
           Words.BinaryMegabyte + ").\n" + Status();
}

// Breaks text into lines of at most width columns at spaces; its own line breaks
// stay.
std::string Wrap(const std::string& text, std::size_t width) {
    std::string wrapped;
    std::size_t column = 0;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = std::min(text.find_first_of(" \n", start), text.size());
        const std::string word = text.substr(start, end - start);
        if (column > 0 && column + 1 + word.size() > width) {
            wrapped += '\n';
            column = 0;
        } else if (column > 0) {
            wrapped += ' ';
            ++column;
        }
        wrapped += word;
        column += word.size();
        if (end < text.size() && text[end] == '\n') {
            wrapped += '\n';
            column = 0;
        }
        start = end + 1;
    }
    return wrapped;
}

// "tren-cli tren SOURCE [--size SIZE] [--out DIR] ...", from what the verb accepts.
std::string Synopsis(const CLI::App& verb) {
    std::string line = std::string(Program) + " " + verb.get_name();
    for (const CLI::Option* argument :
         verb.get_options([](const CLI::Option* o) { return o->get_positional(); }))
        line += " " + (argument->get_required() ? argument->get_name(true)
                                                : "[" + argument->get_name(true) + "]");
    for (const CLI::Option* option :
         verb.get_options([](const CLI::Option* o) { return o->nonpositional(); })) {
        if (option == verb.get_help_ptr())
            continue;
        line += " [" + option->get_name();
        if (!option->get_option_text().empty())
            line += " " + option->get_option_text();
        line += "]";
    }
    return line;
}

std::vector<const CLI::App*> Commands(const CLI::App& app) {
    return app.get_subcommands([](const CLI::App*) { return true; });
}

const CLI::App* CommandNamed(const CLI::App& app, const std::string& name) {
    for (const CLI::App* verb : Commands(app))
        if (verb->get_name() == name)
            return verb;
    return nullptr;
}

// The synopsis of one verb, or of all of them, as the usage lines.
std::string UsageLines(const CLI::App& app, const std::string& label) {
    if (app.get_parent() != nullptr)
        return label + " " + Synopsis(app) + "\n";
    std::string lines;
    const std::string more = std::string(label.size() - 3, ' ') + "or:";
    for (const CLI::App* verb : Commands(app))
        lines += (lines.empty() ? label : more) + " " + Synopsis(*verb) + "\n";
    return lines;
}

// CLI11's layout, in plain words: a synopsis per verb instead of "[OPTIONS]
// SUBCOMMAND", each option's value named once instead of its type and checks,
// and descriptions wrapped to the terminal's usual 80 columns.
class HelpFormatter final : public CLI::Formatter {
  public:
    HelpFormatter() {
        column_width(16);
        label("Positionals", "Arguments");
    }
    // A verb's short description in the list heads its own help as a sentence.
    std::string make_description(const CLI::App* app) const override {
        std::string text = app->get_description();
        if (app->get_parent() != nullptr && !text.empty()) {
            text[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
            text += '.';
        }
        return Wrap(text, 79) + "\n\n";
    }
    std::string make_usage(const CLI::App* app, std::string) const override {
        return UsageLines(*app, "Usage:");
    }
    std::string make_option_opts(const CLI::Option* option) const override {
        return option->get_option_text().empty() ? std::string() : " " + option->get_option_text();
    }
    std::string make_option_desc(const CLI::Option* option) const override {
        return Wrap(option->get_description(), 79 - column_width_);
    }
    std::string ArgumentsAndOptions(const CLI::App& verb) const {
        return make_positionals(&verb) + make_groups(&verb, CLI::AppFormatMode::Normal);
    }
    std::string make_subcommand(const CLI::App* verb) const override {
        std::stringstream line;
        CLI::detail::format_help(line, verb->get_name(),
                                 Wrap(verb->get_description(), 79 - column_width_), column_width_);
        return line.str();
    }
};

std::string HelpOf(const CLI::App& app) {
    return app.get_formatter()->make_help(&app, app.get_name(), CLI::AppFormatMode::Normal);
}

// A verb's arguments and options under headings that name it ("Options of
// tren-cli tren:"), as the manual page lists them.
std::string OptionsOf(const CLI::App& verb) {
    const auto formatter = std::dynamic_pointer_cast<HelpFormatter>(verb.get_formatter());
    std::string text = formatter->ArgumentsAndOptions(verb);
    const std::string of = std::string(" of ") + Program + " " + verb.get_name() + ":";
    for (const std::string heading : {"Arguments:", "Options:"})
        if (const auto at = text.find(heading); at != std::string::npos)
            text.replace(at, heading.size(), heading.substr(0, heading.size() - 1) + of);
    return text;
}

// A usage error: what is wrong, how the verb is called and where to read more.
int UsageFailure(std::ostream& err, const std::string& message, const CLI::App& app) {
    err << Program << ": " << message << '\n'
        << UsageLines(app, "usage:") << "Run '" << Program
        << (app.get_parent() ? " " + app.get_name() : std::string()) << " --help' for more.\n";
    return UsageError;
}

// CLI11's words where they are jargon or list the strays backwards.
std::string Plain(const CLI::ParseError& failure, const std::vector<std::string>& words,
                  const CLI::App& app, const CLI::App& verb) {
    const std::string what = failure.what();
    if (dynamic_cast<const CLI::RequiredError*>(&failure) && app.get_subcommands().empty())
        return "no command given";
    if (dynamic_cast<const CLI::ArgumentMismatch*>(&failure)) {
        const std::string option = what.substr(0, what.find(':'));
        if (what.find("missing") != std::string::npos)
            return option + " needs a value";
        if (what.find("At Most") != std::string::npos)
            return option + " is given more than once";
    }
    if (dynamic_cast<const CLI::ExtrasError*>(&failure)) {
        // After "--" a word that looks like an option is an argument.
        const auto mark = std::find(words.begin(), words.end(), "--");
        for (const CLI::App* where : {&verb, &app}) {
            for (const std::string& stray : where->remaining()) {
                if (stray == "--")
                    continue;
                if (stray.size() > 1 && stray[0] == '-' &&
                    std::find(words.begin(), mark, stray) != mark)
                    return (where == &app ? std::string(Program) : where->get_name()) +
                           " has no option " + stray;
                return "unexpected argument '" + stray + "'";
            }
        }
    }
    return what;
}

int UnknownCommand(std::ostream& err, const std::string& name) {
    err << Program << ": unknown command '" << name << "'\n"
        << "Run '" << Program << " --help' for the commands.\n";
    return UsageError;
}

// Passes every write on to standard output and keeps the errno of the first one
// that fails: by the time the run has finished and says so, errno is long gone.
class FailureKeepingBuffer final : public std::streambuf {
  public:
    explicit FailureKeepingBuffer(std::streambuf* target) : target_(target) {}
    // 0 while every write went through.
    int Error() const { return error_; }

  protected:
    int_type overflow(int_type c) override {
        if (traits_type::eq_int_type(c, traits_type::eof()))
            return traits_type::not_eof(c);
        const char ch = traits_type::to_char_type(c);
        return xsputn(&ch, 1) == 1 ? c : traits_type::eof();
    }
    std::streamsize xsputn(const char* text, std::streamsize count) override {
        errno = 0;
        const std::streamsize written = error_ == 0 && target_ ? target_->sputn(text, count) : 0;
        if (written != count)
            Fail();
        return written;
    }
    int sync() override {
        errno = 0;
        if (error_ == 0 && target_ && target_->pubsync() == 0)
            return 0;
        Fail();
        return -1;
    }

  private:
    void Fail() {
        if (error_ == 0)
            error_ = errno != 0 ? errno : EIO;
    }
    std::streambuf* target_;
    int error_ = 0;
};

// What the command line may say, and what it said.
struct CommandLine {
    CommandLine();

    CLI::App app{"tren-cli cuts a file into a numbered set of piece files, NAME.tr1 to NAME.trN "
                 "plus the 10-byte header piece NAME.tr0, and builds the file again from such a "
                 "set, byte for byte.",
                 Program};
    CLI::App* tren = nullptr;
    CLI::App* build = nullptr;
    CLI::App* info = nullptr;
    CLI::App* verify = nullptr;
    CLI::App* help = nullptr;
    CLI::App* unregister = nullptr;
    CLI::App* repair = nullptr;

    std::string source;
    std::string recovery;
    std::string header;
    std::string size = "1.44M";
    std::string outFolder = ".";
    std::string about; // help's COMMAND
    bool all = false;  // help --all
    bool sums = false;
    bool noClobber = false;
    bool quiet = false;
    bool json = false;
};

constexpr const char* Outputs =
    "Standard output lists each file written, as \"PATH [N bytes]\", then the result;\n"
    "each message goes to standard error as \"tren-cli: FILE: TITLE: TEXT\".\n\n";
std::string TrenExamples() {
    return std::string("\n\nExamples:\n") + Words.Tren +
           "  tren-cli tren -- -notes.txt   (after -- nothing is an option, so a name\n"
           "                                 may start with '-')";
}
std::string BuildExamples() {
    return std::string("\n\nExamples:\n") + Words.Build;
}
std::string InfoExamples() {
    return std::string("\nHere 0 means the set can be built.\n\nExamples:\n") + Words.Info +
           "  tren-cli info report.doc.tr0 --json";
}
std::string VerifyExamples() {
    return std::string("\nHere 0 means the set is whole.\n\nExamples:\n") + Words.Verify +
           "  tren-cli verify report.doc.tr0 && tren-cli build report.doc.tr0";
}
std::string ProgramExamples() {
    return std::string("\n\nExamples:\n") + Words.Program +
           "  tren-cli tren -- -notes.txt   (after -- nothing is an option)\n\n"
           "Run 'tren-cli COMMAND --help' for a command's arguments and options.";
}

CommandLine::CommandLine() {
    app.formatter(std::make_shared<HelpFormatter>());
    // Inherited by the verbs as they are added.
    app.set_help_flag("-h,--help", "show this help");
    app.group("Commands");
    app.set_version_flag("-V,--version", std::string(Program) + " " TREN_VERSION,
                         "show the version");
    app.require_subcommand(1, 1);

    const auto notEmpty = CLI::Validator(
        [](std::string& value) { return value.empty() ? std::string("must not be empty") : ""; },
        "");
    const auto sizeName = CLI::Validator(
        [](std::string& value) {
            return SizeIndexOf(value) < 0 ? "'" + value + "' is not one of 5M, 3M, 1.44M, 1M, 500K"
                                          : std::string();
        },
        "");
    const char* const quietly = "list nothing on standard output; messages still appear";
    const char* const theHeader = "the set's header piece, NAME.tr0";

    tren = app.add_subcommand("tren", "cut SOURCE into a piece set");
    tren->add_option("SOURCE", source,
                     "the file to cut: larger than one piece and at most 255 pieces long")
        ->required()
        ->check(notEmpty);
    tren->add_option("--size", size, "piece size: 5M, 3M, 1.44M (the default), 1M or 500K")
        ->option_text("SIZE")
        ->check(sizeName);
    tren->add_option("--out", outFolder,
                     "an existing folder for the pieces (default: the current one)")
        ->option_text("DIR");
    tren->add_flag("--sums", sums,
                   "also write NAME.tr.sha256 beside the set: one sha256sum line per piece and one "
                   "for the source");
    tren->add_option("--recovery", recovery,
                     "also write PAR2 recovery files beside the set, NAME.tr.par2 and "
                     "NAME.tr.volXX+YY.par2, able to give back N lost or damaged pieces (1 to 32), "
                     "or P% of the pieces rounded up")
        ->option_text("N|P%")
        ->check(CLI::Validator(
            [](std::string& value) {
                return RecoveryShareOf(value) ? std::string()
                                              : "'" + value +
                                                    "' is not a count from 1 to 32 or "
                                                    "a share from 1% to 100%";
            },
            ""));
    tren->add_flag("-q,--quiet", quiet, quietly);
    tren->footer(Outputs + SizesAndStatus() + TrenExamples());

    build = app.add_subcommand("build",
                               "build the file again from the set whose header piece is HEADER");
    build
        ->add_option("HEADER", header,
                     std::string(theHeader) + "; its pieces are looked for beside it")
        ->required()
        ->check(notEmpty);
    build
        ->add_option("--out", outFolder,
                     "an existing folder for the rebuilt file NAME (default: the current one)")
        ->option_text("DIR");
    build->add_flag("-n,--no-clobber", noClobber,
                    "refuse to replace a file already standing at the rebuilt file's name");
    build->add_flag("-q,--quiet", quiet, quietly);
    build->footer(Outputs + Status() + BuildExamples());

    info = app.add_subcommand("info", "show what the set of HEADER holds; writes nothing");
    info->add_option("HEADER", header, theHeader)->required()->check(notEmpty);
    info->add_flag("--json", json, "one JSON object instead of lines");
    info->footer(Status() + InfoExamples());

    verify = app.add_subcommand(
        "verify", "check that the set of HEADER can be built and, where NAME.tr.sha256 stands "
                  "beside it, that every piece is intact; writes nothing");
    verify->add_option("HEADER", header, theHeader)->required()->check(notEmpty);
    verify->footer(Status() + VerifyExamples());

    repair = app.add_subcommand(
        "repair", "write the set's missing or damaged pieces back beside it from its recovery "
                  "files; SET is the header piece NAME.tr0, or NAME.tr.par2 when that is lost");
    repair->add_option("SET", header, "the set's header piece, or its NAME.tr.par2")
        ->required()
        ->check(notEmpty);
    repair->footer(Status() +
                   "\n\nExamples:\n  tren-cli repair backup.tar.tr0\n"
                   "  tren-cli repair backup.tar.tr.par2   (when backup.tar.tr0 itself is lost)");

    unregister = app.add_subcommand(
        "unregister", "remove the .tr0 registration that tren beside this program made for you");
    unregister->footer(
        std::string("Only a registration that still runs the tren beside tren-cli is removed;\n"
                    "with nothing to remove the status is 0 as well.\n") +
        Status());

    help = app.add_subcommand("help", "show this help, or a command's: tren-cli help COMMAND");
    help->add_option("COMMAND", about, "the command to explain");
    help->add_flag("--all", all, "every command's help, one after another");
    help->footer(Status());

    app.footer(SizesAndStatus() + ProgramExamples());
}

// Removes what the window registers at its start (the piece file type, as
// frmTren::CreateFileType writes it) for the tren beside this program.
int Unregister(RunTime& runTime, ClassStore& classStore, std::ostream& out, std::ostream& err) {
    std::string program;
    try {
        program = WithTrailingSeparator(FolderOf(runTime.ProgramPath())) +
                  (PathSeparator == '\\' ? "tren.exe" : "tren");
    } catch (const RunTimeError& failure) {
        err << MessageLine({}, {}, failure.Description()) << '\n';
        return Failed;
    }
    const RemovalResult removal = classStore.RemoveClass(".tr0", "TR.File", "Build", program);
    if (!removal.Result) {
        err << MessageLine(removal.Result.Error().Path(), {}, removal.Result.Error().Description())
            << '\n';
        return Failed;
    }
    out << (removal.What == Removal::Removed ? "Removed the registration of .tr0 for "
                                             : "Nothing to remove: .tr0 is not registered for ")
        << program << '\n';
    return Succeeded;
}

int Dispatch(int argc, const char* const* argv, RunTime& runTime, ClassStore& classStore,
             std::ostream& out, std::ostream& err, Terminal errTerminal) {
    CommandLine cli;
    CLI::App& app = cli.app;
    // CLI11 would take an unknown word for a stray argument; name it for what it is.
    if (argc < 2)
        return UsageFailure(err, "no command given", app);
    if (const std::string first = argv[1];
        (first.empty() || first[0] != '-') && !CommandNamed(app, first))
        return UnknownCommand(err, first);

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        const auto chosen = app.get_subcommands();
        out << HelpOf(chosen.empty() ? app : *chosen.front());
        return Succeeded;
    } catch (const CLI::ParseError& failure) {
        if (failure.get_exit_code() == static_cast<int>(CLI::ExitCodes::Success)) {
            app.exit(failure, out, err);
            return Succeeded;
        }
        const auto chosen = app.get_subcommands();
        const CLI::App& verb = chosen.empty() ? app : *chosen.front();
        return UsageFailure(err, Plain(failure, {argv + 1, argv + argc}, app, verb), verb);
    }

    if (cli.help->parsed()) {
        // The manual page is made from this, so that it lists every option.
        if (cli.all) {
            out << HelpOf(app);
            for (const CLI::App* verb :
                 {cli.tren, cli.build, cli.info, cli.verify, cli.repair, cli.unregister})
                out << OptionsOf(*verb);
            return Succeeded;
        }
        if (cli.about.empty()) {
            out << HelpOf(app);
            return Succeeded;
        }
        const CLI::App* verb = CommandNamed(app, cli.about);
        if (!verb)
            return UnknownCommand(err, cli.about);
        out << HelpOf(*verb);
        return Succeeded;
    }

    if (cli.info->parsed())
        return RunInfo(runTime, cli.header, cli.json, out, err);
    if (cli.verify->parsed())
        return RunVerify(runTime, cli.header, out, err);
    if (cli.unregister->parsed())
        return Unregister(runTime, classStore, out, err);
    if (cli.repair->parsed())
        return RunRepair(runTime, cli.header, out, err);

    // Only a folder that is not there is the caller's mistake; one that cannot be
    // looked at (an I/O error) is a failure like any other.
    const CLI::App& verb = cli.tren->parsed() ? *cli.tren : *cli.build;
    std::string outFolder;
    try {
        const EntryInfo folder = runTime.Examine(cli.outFolder);
        if (folder.TargetKind != EntryKind::Folder)
            return UsageFailure(err,
                                "--out: " +
                                    std::string(folder.TargetKind == EntryKind::Missing
                                                    ? "Directory does not exist: "
                                                    : "Not a directory: ") +
                                    cli.outFolder,
                                verb);
        outFolder = WithTrailingSeparator(runTime.FullPath(cli.outFolder));
    } catch (const RunTimeError& failure) {
        err << MessageLine(cli.outFolder, {}, failure.Description()) << '\n';
        return Failed;
    }

    const bool trenning = cli.tren->parsed();
    ConsoleProgressBar progress(err, errTerminal);
    ConsoleWindow window(err, outFolder, progress);
    ConsoleTextBox txtSrcFile;
    ConsoleComboBox cmbSize;
    ConsoleListBox lstFiles(out, progress, cli.quiet);
    ConsoleDialog dialog(trenning ? cli.source : cli.header);
    ConsoleLabel lblLink(std::string(FormLayout::LinkAddress));
    ConsoleDesktop desktop;
    frmTren form({window, txtSrcFile, cmbSize, lstFiles, progress, dialog, lblLink},
                 {runTime, classStore, desktop});

    form.PrepareControls();
    form.SetWaitingNotice([&](const std::string& folder) {
        progress.Clear();
        err << Program << ": waiting for another run in " << (folder.empty() ? "." : folder)
            << " to finish\n";
    });
    // Like cp: an existing file is replaced, unless the caller says not to.
    form.SetReplacing(cli.noClobber ? engine::Replacing::Refuse : engine::Replacing::Overwrite);
    if (trenning) {
        cmbSize.SetListIndex(SizeIndexOf(cli.size));
        form.SetChecksums(cli.sums ? engine::Checksums::Write : engine::Checksums::Skip);
        if (!cli.recovery.empty())
            form.SetRecovery(*RecoveryShareOf(cli.recovery));
        form.fltbTren_Click();
    } else {
        form.fltbBuild_Click();
    }
    const int status = form.LastOutcome().IsFinished() ? Succeeded : Failed;
    // Whatever stopped the run, the terminal gets its line back.
    progress.Clear();
    return status;
}

} // namespace

int RunCommand(int argc, const char* const* argv, RunTime& runTime, ClassStore& classStore,
               std::ostream& out, std::ostream& err, Terminal errTerminal) {
    // A reader that went away or a full disk behind standard output stops the
    // lines, never the run: the set or the rebuilt file is finished first.
    FailureKeepingBuffer kept(out.rdbuf());
    std::ostream lines(&kept);
    const int status = Dispatch(argc, argv, runTime, classStore, lines, err, errTerminal);
    lines.flush();
    if (kept.Error() == 0)
        return status;
    err << Program << ": standard output: " << std::strerror(kept.Error()) << '\n';
    return status == UsageError ? UsageError : Failed;
}

} // namespace tren::console
