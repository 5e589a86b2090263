#include <algorithm>
#include <chrono>
#include <optional>
#include <iostream>
#include <string>
#include <vector>

#include "app/textfile.h"
#include "app/utf8_text.h"
#include "cli_usage.h"
#include "evidence/judging/words.h"
#include "evidence/reports/report_writers.h"
#include "evidence/run/evidence_run.h"
#include "evidence_command.h"
#include "platform/platform.h"
#include "projects/folder_listing.h"
#include "projects/project_store.h"
#ifdef VELDRA_CLI_SETTINGS_STORE
#include "app/settings_store.h"
#endif

namespace veldra {

namespace {

constexpr int kExitError = 2;

int usage(const std::string& reason) { return printUsageError(kCliUsage, reason, std::cerr); }

int refuse(const std::string& why) {
  std::cerr << "veldra-cli: " << oneLine(why) << '\n';
  return kExitError;
}

// The words a script gives and reads for each mark.
constexpr std::pair<const char*, evidence::ReviewMark> kMarkWords[] = {
    {"to-review", evidence::ReviewMark::kToReview},
    {"confirmed", evidence::ReviewMark::kConfirmed},
    {"not-a-copy", evidence::ReviewMark::kNotCopy}};

const char* markWord(evidence::ReviewMark mark) {
  for (const auto& [word, m] : kMarkWords)
    if (m == mark) return word;
  return "to-review";
}

// The drawing of the findings a name given on the command line means: its
// full path, its name below its location, or that name after an earlier
// project's ("CAD1: anna/part.dwg"), as the reports name it.
std::optional<std::size_t> drawingNamed(const evidence::Findings& f, const std::string& given, std::string& why) {
  std::optional<std::size_t> found;
  for (std::size_t i = 0; i < f.drawings.size(); ++i) {
    const auto& d = f.drawings[i];
    if (given != evidence::utf8Path(d.path) && given != evidence::displayName(d)) continue;
    if (found && *found != i) {
      why = "the name " + given + " fits more than one drawing; give its full path";
      return std::nullopt;
    }
    found = i;
  }
  if (!found) why = "the last check of the project holds no drawing " + given;
  return found;
}

}  // namespace

int runMarkCommand(const std::vector<std::string>& args) {
  std::string workspaceDir, note;
  bool workspaceGiven = false, noteGiven = false;
  std::vector<std::string> positional;
  const std::size_t end = optionsEnd(args, cliOptionTakesValue);
  for (std::size_t k = 0; k < end; ++k) {
    const std::string& arg = args[k];
    if (arg == "--store") {
      if (k + 1 >= args.size()) return usage("--store needs a database's address (postgresql://...)");
      if (evidence::storeAddressHoldsPassword(args[k + 1]))
        return usage("--store takes no password: keep it in ~/.pgpass, a service file or PGPASSWORD");
      evidence::useSharedStoreForThisProgram(args[++k]);
    } else if (arg == "--workspace" || arg == "--note") {
      if (k + 1 >= args.size()) return usage(arg + (arg == "--note" ? " needs a text" : " needs a folder"));
      (arg == "--note" ? note : workspaceDir) = args[++k];
      (arg == "--note" ? noteGiven : workspaceGiven) = true;
    } else if (isOption(arg)) {
      return usage("unknown option " + arg);
    } else {
      positional.push_back(arg);
    }
  }
  if (end < args.size()) positional.insert(positional.end(), args.begin() + static_cast<std::ptrdiff_t>(end) + 1, args.end());
  // mark PROJECT ACTION ...
  if (positional.size() < 3) return usage("give the mark command a project and list, set or export");
  const std::string& action = positional[2];
  const std::size_t wanted = action == "list" ? 3 : action == "export" ? 4 : action == "set" ? 6 : 0;
  if (wanted == 0) return usage("unknown mark action " + action);
  if (positional.size() != wanted) return usage("mark " + action + " takes " + std::to_string(wanted - 3) + " more arguments");
  if (noteGiven && action != "set") return usage("--note goes with mark set");

#ifdef VELDRA_CLI_SETTINGS_STORE
  if (!workspaceGiven) workspaceDir = utf8FromPath(readInstallLocation());
#endif
  (void)workspaceGiven;
  if (workspaceDir.empty()) return usage("no workspace: give --workspace DIR");
  std::error_code ec;
  if (!std::filesystem::is_directory(pathFromUtf8(workspaceDir), ec))
    return refuse("the workspace " + workspaceDir + " does not exist");
  const Workspace workspace(pathFromUtf8(workspaceDir));
  std::string project;
  for (const auto& listed : readProjects(workspace).value_or(std::vector<std::string>{}))
    if (!lessIgnoringCase(listed, positional[1]) && !lessIgnoringCase(positional[1], listed)) project = listed;
  if (project.empty()) return refuse("no project " + positional[1] + " in " + utf8FromPath(workspace.projectsFile()));

  const auto last = evidence::loadLastRun(workspace, project);
  if (!last) return refuse(last.message());
  const auto marks = evidence::storedMarks(workspace, project);
  if (!marks) return refuse(marks.message());
  if (!*last && action == "set")
    return refuse("no evidence check of " + project + " was kept; run veldra-cli evidence " + project + " first");
  const evidence::Findings none;
  const evidence::Findings& f = *last ? **last : none;

  if (action == "list") {
    // One line a mark, its fields between tabs: the mark, both drawings,
    // the pair as judged now (or why it is not shown), when it was marked
    // and the teacher's note.
    for (const auto& m : *marks) {
      std::string a = m.pathA, b = m.pathB, now = "not shown";
      for (const auto& p : f.pairs)
        if (p.review && p.review->markId == m.id) {
          a = evidence::displayName(f.drawings[p.a]);
          b = evidence::displayName(f.drawings[p.b]);
          now = std::string(evidence::verdictText(p.verdict)) + " " + std::to_string(p.score);
        }
      std::cout << markWord(m.mark) << '\t' << oneLine(a) << '\t' << oneLine(b) << '\t' << now << '\t'
                << evidence::isoInstant(evidence::Instant{m.markedAtUnixMs, true}) << '\t' << oneLine(m.note) << '\n';
    }
    return 0;
  }
  if (action == "export") {
    const Status written = replaceFile(pathFromUtf8(positional[3]), evidence::marksCsv(*marks, f));
    if (!written) return refuse("the marks were not written: " + written.message());
    std::cout << marks->size() << " marks written to " << oneLine(positional[3]) << '\n';
    return 0;
  }

  // set A B MARK
  std::string why;
  const auto a = drawingNamed(f, positional[3], why);
  if (!a) return refuse(why);
  const auto b = drawingNamed(f, positional[4], why);
  if (!b) return refuse(why);
  const std::string& word = positional[5];
  std::optional<evidence::ReviewMark> mark;
  for (const auto& [w, m] : kMarkWords)
    if (word == w) mark = m;
  if (!mark && word != "none") return usage("a mark is confirmed, not-a-copy, to-review or none");
  const auto pair = std::find_if(f.pairs.begin(), f.pairs.end(), [&](const evidence::PairFinding& p) {
    return (p.a == *a && p.b == *b) || (p.a == *b && p.b == *a);
  });
  if (pair == f.pairs.end())
    return refuse("the last check judged " + positional[3] + " and " + positional[4] +
                  " neither a copy nor a coincidence: there is no pair to mark");
  Status kept;
  if (!mark) {
    kept = evidence::removeMark(workspace, project, evidence::markOf(f, *pair, evidence::ReviewMark::kToReview, {}, 0));
  } else {
    // Without --note, a note the pair has is kept.
    if (!noteGiven && pair->review) note = pair->review->note;
    const auto now = std::chrono::duration_cast<std::chrono::milliseconds>(
                         std::chrono::system_clock::now().time_since_epoch()).count();
    kept = evidence::saveMark(workspace, project, evidence::markOf(f, *pair, *mark, note, now));
  }
  if (!kept) return refuse("the mark was not kept: " + kept.message());
  std::cout << (mark ? markWord(*mark) : "none") << '\t' << oneLine(evidence::displayName(f.drawings[pair->a])) << '\t'
            << oneLine(evidence::displayName(f.drawings[pair->b])) << '\n';
  return 0;
}

}  // namespace veldra
