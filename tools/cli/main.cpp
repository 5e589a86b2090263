// veldra-cli: runs a collection pass or a recompare of one project from the
// command line, with the same files and texts as the window.
//
//   veldra-cli [--workspace DIR] collect|recompare PROJECT [--entity TYPE]
//              [--time on|off] [--handles on|off] [--percent 0-100] [--age TEXT|off]
//   veldra-cli [--workspace DIR] evidence PROJECT ... (see evidence_command.h)
//   veldra-cli --help | --version
//
// Standard output: the counters, the status and the verdict, then after a
// collection one "Unreadable: PATH (REASON)" line per drawing that could not
// be read. Progress, warnings and errors go to standard error. Arguments and
// output are UTF-8 on every system.
// Exit status: 0 no conflict, 1 conflicts, 2 an error: also when no drawing
// could be compared (none found, a folder that cannot be listed, a damaged
// record file) or a report could not be written.

#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "app/settings.h"
#include "app/textfile.h"
#include "app/utf8_text.h"
#include "cli_usage.h"
#include "collect/native_source.h"
#include "compare/checks.h"
#include "platform/platform.h"
#include "projects/folder_listing.h"
#include "projects/project_store.h"
#include "record/record_format.h"
#include "reports/report_options.h"
#include "run/collected_type.h"
#include "run/collection_pass.h"
#include "run/run_mark.h"
#include "run/throttled_view.h"
#ifdef VELDRA_CLI_SETTINGS_STORE
#include "app/settings_store.h"
#endif

namespace veldra {
namespace {

constexpr int kExitClean = 0;
constexpr int kExitConflicts = 1;
constexpr int kExitError = 2;

// Progress on standard error; keeps the captions for the closing summary.
class StreamView : public RunView {
 public:
  void setStatus(const std::string& text) override { show("Status", status = text); }
  void setComparing(int first, int second) override { show("Status", status = comparingText(first, second)); }
  void setElapsed(long long seconds) override { show("Time", elapsedText(seconds)); }
  void clearElapsed() override {}
  void setConflicts(const Check& check, int count) override { conflicts[&check] = fourDigits(count); }
  void setTotalFiles(int count) override { show("Files", totalFiles = fourDigits(count)); }
  void setVerdict(Verdict v) override {
    switch (v) {
      case Verdict::kNone: break;
      case Verdict::kClean: verdict = "NO VELDRA's"; break;
      case Verdict::kAlarm: verdict = "VELDRA!!!"; break;
      case Verdict::kNotChecked: verdict = "UNCHECKED"; break;
    }
  }
  bool loadPicture(const std::filesystem::path& file) override { return std::filesystem::exists(file); }
  void clearPicture() override {}
  void setLocation(const std::string& text) override {
    if (!text.empty()) show("Location", text);
  }
  void setSubfolders(const std::string&) override {}
  void setFile(const std::string& text) override {
    if (!text.empty()) show("File", text);
  }
  void setProgress(int) override {}
  void flush() override { std::cerr.flush(); }

  std::string status, totalFiles = "0000", verdict;
  std::map<const Check*, std::string> conflicts;  // a check not counted shows "0000"

 private:
  static void show(const char* label, const std::string& text) { std::cerr << label << ": " << oneLine(text) << '\n'; }
};

class StreamMessages : public MessageBoxes {
 public:
  void show(const std::string& text, const std::string& title, MessageIcon) override {
    std::cerr << title << ": " << text << '\n';
  }
  // Nothing is asked on the command line: the answer is no.
  bool ask(const std::string&, const std::string&) override { return false; }
};

void warnAbsentType(const ComparisonResult& comparison) {
  if (comparison.entityTypeAbsent)
    std::cerr << "Warning: no drawing holds an entity of type " << comparison.entity << '\n';
}

int usage(const std::string& reason) { return printUsageError(kCliUsage, reason, std::cerr); }

bool sameIgnoringCase(std::string_view a, std::string_view b) {
  return !lessIgnoringCase(a, b) && !lessIgnoringCase(b, a);
}

// Lines of a list file with their first and last character dropped, as the
// window reads the project list and location files.
std::vector<std::string> listFileEntries(const std::filesystem::path& file) {
  std::vector<std::string> entries;
  if (const auto content = readTextFile(file)) {
    for (const auto& line : splitLines(*content))
      if (line.size() >= 2) entries.push_back(line.substr(1, line.size() - 2));
  }
  return entries;
}

bool readSwitch(const std::string& value, bool& out) {
  if (value == "on") out = true;
  else if (value == "off") out = false;
  else return false;
  return true;
}

int run(const std::vector<std::string>& args) {
  std::string workspaceDir;
  std::vector<std::string> positional;
  RunOptions options;
  std::string entity;
  bool entityGiven = false;
  const std::size_t end = optionsEnd(args, cliOptionTakesValue);
  for (std::size_t k = 0; k < end; ++k) {
    const std::string& arg = args[k];
    auto value = [&](std::string& out) {
      if (k + 1 >= args.size()) return false;
      out = args[++k];
      return true;
    };
    std::string v;
    if (arg == "--workspace") {
      if (!value(workspaceDir)) return usage("--workspace needs a folder");
    } else if (arg == "--entity") {
      if (!value(entity)) return usage("--entity needs a type");
      entityGiven = true;
    } else if (const Check* check = checkOfOption(arg)) {
      // --time on|off, --handles on|off; a check whose switch takes its
      // setting instead: --age TEXT|off.
      std::string* setting = check->settingInSwitch(options);
      if (!value(v)) return usage(arg + (setting ? " needs a text or off" : " takes on or off"));
      bool on = v != "off";
      if (!setting && !readSwitch(v, on)) return usage(arg + " takes on or off");
      check->setSwitchedOn(options, on);
      if (setting && on) *setting = v;
    } else if (arg == "--percent") {
      // A number the threshold box could not hold (401 digits) must not pass
      // as 0%, which makes every pair a conflict.
      const auto number = value(options.percent) ? parsePlainNumber(options.percent) : std::nullopt;
      if (!number || !(*number >= 0 && *number <= 100)) return usage("--percent takes a number from 0 to 100");
    } else if (isOption(arg)) {
      return usage("unknown option " + arg);
    } else {
      positional.push_back(arg);
    }
  }
  if (end < args.size()) positional.insert(positional.end(), args.begin() + static_cast<std::ptrdiff_t>(end) + 1, args.end());
  if (positional.size() != 2) return usage("give a command and a project");
  const std::string& command = positional[0];
  if (command != "collect" && command != "recompare") return usage("unknown command " + command);

  std::filesystem::path workspaceFolder = pathFromUtf8(workspaceDir);
#ifdef VELDRA_CLI_SETTINGS_STORE
  if (workspaceFolder.empty()) workspaceFolder = readInstallLocation();
#endif
  if (workspaceFolder.empty()) return usage("no workspace: give --workspace DIR");
  std::error_code ec;
  if (!std::filesystem::is_directory(workspaceFolder, ec)) {
    std::cerr << "veldra-cli: the workspace " << utf8FromPath(workspaceFolder) << " does not exist\n";
    return kExitError;
  }
  const Workspace workspace(workspaceFolder);

  // A project name becomes the base name of files in the workspace: it
  // follows the rules of typed names (a listed name that breaks them cannot
  // be asked for either).
  if (const Status named = checkProjectName(positional[1]); !named) {
    std::cerr << "veldra-cli: the project name " << positional[1] << " cannot be used: " << named.message() << '\n';
    return kExitError;
  }
  for (const auto& listed : listFileEntries(workspace.projectsFile()))
    if (sameIgnoringCase(listed, positional[1])) options.project = listed;
  if (options.project.empty()) {
    std::cerr << "veldra-cli: no project " << positional[1] << " in " << utf8FromPath(workspace.projectsFile())
              << '\n';
    return kExitError;
  }
  // The name was edited into the list by hand: it must still name files.
  if (const Status named = checkProjectName(options.project); !named) {
    std::cerr << "veldra-cli: the project " << options.project << " cannot be used: " << named.message() << '\n';
    return kExitError;
  }
  options.locations = listFileEntries(workspace.locationFile(options.project));
  if (entityGiven) {
    options.entity = entity;
  } else {
    const auto stored = readSetting(workspace, kEntitySettingFile, kEntitySettingDefault);
    options.entity = stored && *stored >= 0 && *stored < static_cast<int>(kEntityItems.size())
                         ? std::string(kEntityItems[static_cast<std::size_t>(*stored)])
                         : std::string("RAY");
  }

  StreamView shown;
  ThrottledRunView view(shown, &std::chrono::steady_clock::now, std::chrono::milliseconds(250));
  RunState state;
  SystemRunClock clock;
  SilentAlarm sound;
  StreamMessages messages;
  RunContext context{workspace, options, state, view, clock, sound};

  std::vector<ProblemDrawing> problems;
  std::vector<std::string> errors;
  bool judged = false;  // every drawing compared and every report written
  if (command == "collect") {
    NativeDrawingSource source;
    PassResult result = runCollectionPass(context, source, messages);
    if (result.fatal) {
      std::cerr << kFatalTitle << ": " << result.fatalText << '\n';
      return kExitError;
    }
    if (!result.stopped.empty()) {
      errors.push_back(result.stopped);
    } else {
      warnAbsentType(result.comparison);
      errors = result.comparison.errors;
      judged = result.comparison.succeeded();
    }
    problems = std::move(result.problems);
  } else {
    RecompareReport report;
    if (recompare(context, messages, &report) == RecompareOutcome::EmptyRecordRefused) return kExitError;
    if (report.typeDiffers(options.entity)) std::cerr << collectedTypeNotice(*report.collectedWith, options.entity) << '\n';
    warnAbsentType(report.comparison);
    errors = report.comparison.errors;
    judged = report.comparison.succeeded();
  }
  view.flush();
  std::cout << "Files: " << shown.totalFiles << "\n";
  for (const Check* check : comparisonChecks()) {
    const auto counted = shown.conflicts.find(check);
    std::cout << check->face().counter << ": " << (counted == shown.conflicts.end() ? "0000" : counted->second) << "\n";
  }
  std::cout << "Status: " << shown.status << "\n"
            << "Verdict: " << shown.verdict << "\n";
  for (const auto& problem : problems)
    std::cout << "Unreadable: " << oneLine(utf8FromPath(problem.path)) << " (" << oneLine(problemReason(problem))
              << ")\n";
  for (const auto& error : errors) std::cerr << kErrorTitle << ": " << error << '\n';
  if (runLeftUnfinished(workspace, options.project))
    std::cerr << "Warning: " << unfinishedRunNotice(options.project) << '\n';
  if (!judged) {
    if (errors.empty()) std::cerr << "veldra-cli: no drawing was compared\n";
    return kExitError;
  }
  return state.conflictsFound() ? kExitConflicts : kExitClean;
}

}  // namespace
}  // namespace veldra

#include "evidence_command.h"

int main(int argc, char** argv) {
  veldra::useUtf8Console();
  const std::vector<std::string> args = veldra::utf8Arguments(argc, argv);
  if (const auto answered = veldra::answerHelpOrVersion(veldra::kCliUsage, args, veldra::cliOptionTakesValue, std::cout))
    return *answered;
  // The evidence check holds the class at once; a collection a few drawings.
  const bool evidence = veldra::isEvidenceCommand(args);
  veldra::keepFreedMemoryForReuse(evidence ? veldra::MemoryPages::kLarge : veldra::MemoryPages::kSmall);
  if (evidence) return veldra::runEvidenceCommand(args);
  if (veldra::cliCommand(args) == "mark") return veldra::runMarkCommand(args);
  return veldra::run(args);
}
