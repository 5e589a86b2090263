#include "evidence_command.h"

#include <iostream>
#include <string>
#include <vector>

#include "app/textfile.h"
#include "app/utf8_text.h"
#include "cli_usage.h"
#include "evidence/run/evidence_run.h"
#include "evidence/reports/report_writers.h"
#include "platform/platform.h"
#include "projects/folder_listing.h"
#include "projects/project_store.h"
#ifdef VELDRA_CLI_SETTINGS_STORE
#include "app/settings_store.h"
#endif

namespace veldra {

namespace {

constexpr int kExitClean = 0;
constexpr int kExitCopies = 1;
constexpr int kExitError = 2;

int usage(const std::string& reason) { return printUsageError(kCliUsage, reason, std::cerr); }

bool sameIgnoringCase(std::string_view a, std::string_view b) {
  return !lessIgnoringCase(a, b) && !lessIgnoringCase(b, a);
}

bool writeOut(const std::filesystem::path& file, const std::string& content, const char* what) {
  const Status written = replaceFile(file, content);
  if (written) return true;
  std::cerr << "veldra-cli: the " << what << " was not written: " << written.message() << '\n';
  return false;
}

}  // namespace

bool isEvidenceCommand(const std::vector<std::string>& args) { return cliCommand(args) == "evidence"; }

int runEvidenceCommand(const std::vector<std::string>& args) {
  std::string workspaceDir;
  bool workspaceGiven = false;
  std::vector<std::string> positional;
  // The choices given here; the others are those saved for the project.
  evidence::EvidenceSettings given;
  bool templatesGiven = false, againstGiven = false, ignoredGiven = false, termGiven = false;
  std::filesystem::path csvFile, htmlFile;
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
      workspaceGiven = true;
    } else if (arg == "--template") {
      if (!value(v)) return usage("--template needs a drawing");
      given.templates.push_back(pathFromUtf8(v));
      templatesGiven = true;
    } else if (arg == "--against") {
      if (!value(v)) return usage("--against needs a project");
      given.against.push_back(v);
      againstGiven = true;
    } else if (arg == "--ignore-author") {
      if (!value(v)) return usage("--ignore-author needs a name");
      given.ignoredAuthors.push_back(v);
      ignoredGiven = true;
    } else if (arg == "--term") {
      if (!value(given.term)) return usage("--term needs a text");
      termGiven = true;
    } else if (arg == "--csv") {
      if (!value(v)) return usage("--csv needs a file");
      csvFile = pathFromUtf8(v);
    } else if (arg == "--html") {
      if (!value(v)) return usage("--html needs a file");
      htmlFile = pathFromUtf8(v);
    } else if (arg == "--store") {
      // A shared database for this run, over the workspace's choice.
      if (!value(v)) return usage("--store needs a database's address (postgresql://...)");
      if (evidence::storeAddressHoldsPassword(v))
        return usage("--store takes no password: keep it in ~/.pgpass, a service file or PGPASSWORD");
      evidence::useSharedStoreForThisProgram(v);
    } else if (isOption(arg)) {
      return usage("unknown option " + arg);
    } else {
      positional.push_back(arg);
    }
  }
  if (end < args.size()) positional.insert(positional.end(), args.begin() + static_cast<std::ptrdiff_t>(end) + 1, args.end());
  if (positional.size() != 2) return usage("give the evidence command a project");

#ifdef VELDRA_CLI_SETTINGS_STORE
  if (!workspaceGiven) workspaceDir = utf8FromPath(readInstallLocation());
#endif
  (void)workspaceGiven;
  if (workspaceDir.empty()) return usage("no workspace: give --workspace DIR");
  std::error_code ec;
  if (!std::filesystem::is_directory(pathFromUtf8(workspaceDir), ec)) {
    std::cerr << "veldra-cli: the workspace " << workspaceDir << " does not exist\n";
    return kExitError;
  }
  const Workspace workspace(pathFromUtf8(workspaceDir));
  std::string project;
  for (const auto& listed : readProjects(workspace).value_or(std::vector<std::string>{}))
    if (sameIgnoringCase(listed, positional[1])) project = listed;
  if (project.empty()) {
    std::cerr << "veldra-cli: no project " << positional[1] << " in " << utf8FromPath(workspace.projectsFile()) << '\n';
    return kExitError;
  }
  // The teacher's choices as the evidence window last saved them for the
  // project; each kind of option given replaces that choice for this run
  // and is not saved.
  const auto saved = evidence::loadProjectSettings(workspace, project);
  if (!saved) {
    std::cerr << "veldra-cli: the settings saved for " << project << " cannot be read (" << saved.message()
              << "); nothing was judged, and the last report stands\n";
    return kExitError;
  }
  evidence::EvidenceSettings settings = *saved;
  if (templatesGiven) settings.templates = given.templates;
  if (againstGiven) settings.against = given.against;
  if (ignoredGiven) settings.ignoredAuthors = given.ignoredAuthors;
  if (termGiven) settings.term = given.term;
  for (const auto& t : settings.templates) {
    if (!std::filesystem::is_regular_file(t, ec)) {
      std::cerr << "veldra-cli: the template drawing " << evidence::utf8Path(t) << " does not exist or is no file\n";
      return kExitError;
    }
  }

  std::string lastStage;
  evidence::RunControl control;
  control.drawnPictures = !htmlFile.empty();
  control.progress = [&](const evidence::Progress& p) {
    if (p.stage != lastStage) std::cerr << p.stage << "...\n";
    lastStage = p.stage;
  };
  const evidence::RunResult result = evidence::runEvidenceCheck(workspace, project, settings, control);
  if (result.outcome != evidence::RunOutcome::kDone) {
    std::cerr << "veldra-cli: " << (result.error.empty() ? std::string("the check did not finish") : result.error)
              << '\n';
    return kExitError;
  }
  bool failed = !result.warnings.empty();
  for (const auto& w : result.warnings) std::cerr << "veldra-cli: " << w << '\n';
  const evidence::Findings& f = result.findings;
  if (!csvFile.empty()) failed = !writeOut(csvFile, evidence::csvReport(f), "spreadsheet") || failed;
  if (!htmlFile.empty()) failed = !writeOut(htmlFile, evidence::htmlReport(f), "HTML report") || failed;

  const auto counts = f.counts();
  const auto problems = f.problemDrawings();
  std::size_t unreadable = 0;
  for (const auto i : problems) unreadable += f.drawings[i].readable ? 0 : 1;
  // Names and notes may hold anything: none may end a line of the summary.
  auto say = [](const std::string& text) { std::cout << oneLine(text) << "\n"; };
  say("Project: " + f.project);
  say("Drawings: " + std::to_string(f.projectDrawings) + " (" + std::to_string(f.projectDrawings - unreadable) +
      " read, " + std::to_string(unreadable) + " could not be read)");
  if (f.earlierDrawings) say("Earlier drawings: " + std::to_string(f.earlierDrawings));
  say("Pairs: " + std::to_string(counts.copy) + " copy, " + std::to_string(counts.likelyCopy) + " likely copy, " +
      std::to_string(counts.coincidence) + " coincidence, of " + std::to_string(f.pairsJudged) + " judged");
  say("Groups: " + std::to_string(f.groups.size()));
  for (const auto& g : f.groups) {
    std::string text = "  Group " + std::to_string(g.number) + " (likely source " +
                       (g.likelySource ? evidence::displayName(f.drawings[*g.likelySource]) : std::string("unclear")) +
                       "):";
    for (const auto m : g.members) text += ' ' + evidence::displayName(f.drawings[m]);
    say(text);
  }
  say("Problem drawings: " + std::to_string(problems.size()));
  for (const auto i : problems)
    say("  " + evidence::displayName(f.drawings[i]) + ": " + problemReason(*f.drawings[i].problem));
  if (!f.notes.empty()) say("Notes:");
  for (const auto& n : f.notes) say("  " + n);
  say("Report: " + evidence::utf8Path(evidence::reportFile(workspace, project)));
  if (f.projectDrawings == 0) {
    std::cerr << "veldra-cli: the project's locations hold no drawing; nothing was judged\n";
    return kExitError;
  }
  if (f.pairsJudged == 0) {
    // Drawings unreadable, or one alone: nothing was compared, which is no
    // all-clear.
    std::cerr << "veldra-cli: no two drawings could be compared (" << f.projectDrawings - unreadable << " of "
              << f.projectDrawings << " read); nothing was judged\n";
    return kExitError;
  }
  if (failed) return kExitError;
  return counts.copy + counts.likelyCopy > 0 ? kExitCopies : kExitClean;
}

}  // namespace veldra
