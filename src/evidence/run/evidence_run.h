#pragma once

// One evidence check of a project, from its locations to its stored
// evidence and its plain report: what the command line and the window run.
// Cancelled or failed, it writes nothing.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "app/result.h"
#include "app/workspace.h"
#include "evidence/store/evidence_store.h"
#include "evidence/store/settings_codec.h"
#include "evidence/judging/findings.h"
#include "evidence/run/project_drawings.h"
#include "evidence/features/settings.h"

namespace veldra::evidence {

// A department's shared store (a PostgreSQL connection URI, such as
// "postgresql://db.school.example/evidence") the workspace keeps its
// evidence in, instead of its own SQLite file: the one this program was
// told to use, else the workspace's choice; empty for its own file.
std::string sharedStore(const Workspace& workspace);
// Keeps the choice in the workspace (empty: its own file again). A URI
// holding a password is refused (kRefused): libpq takes it from ~/.pgpass,
// a service file or PGPASSWORD.
Status chooseSharedStore(const Workspace& workspace, const std::string& uri);
// For this program only, over the workspace's choice (the command line's
// --store).
void useSharedStoreForThisProgram(std::string uri);
bool storeAddressHoldsPassword(const std::string& uri);

// The places of the evidence check in a workspace, beside the classic ones.
inline constexpr std::string_view kStoreFolder = "evidence";
inline constexpr std::string_view kReportFolder = "evidence reports";
std::filesystem::path storeFile(const Workspace& workspace);
std::filesystem::path reportFile(const Workspace& workspace, const std::string& project);

enum class RunOutcome { kDone, kCancelled, kError };

struct RunResult {
  RunOutcome outcome = RunOutcome::kError;
  std::string error;                  // why it failed
  std::vector<std::string> warnings;  // what went wrong after judging (the store, the report)
  Findings findings;
  // Drawings taken over from the store that were read again for their
  // entities, to lay copies onto one another.
  std::size_t readForCopies = 0;
};

// Judges `project` (its name as listed) with the teacher's settings: reads
// its locations' drawings and the template drawings, compares against the
// earlier projects named, keeps the evidence in the store and writes the
// plain report.
//
// It blocks until done and may run on any thread; one thread at a time per
// workspace. `control.progress` is called on the thread that runs it;
// setting `*control.cancel` from any thread stops it soon after, with
// nothing written.
//
// A drawing whose file is unchanged since the store kept it (size, time and
// identity), with features made by the same scheme, is taken from the store
// instead of being read again.
RunResult runEvidenceCheck(const Workspace& workspace, const std::string& project, const EvidenceSettings& settings,
                           const RunControl& control);
// The same, reading drawings through `reader`.
RunResult runEvidenceCheck(const Workspace& workspace, const std::string& project, const EvidenceSettings& settings,
                           const RunControl& control, const DrawingReader& reader);

// The teacher's choices for a project as last saved in the workspace's
// evidence store: defaults when none were saved or there is no store yet
// (nothing is created by reading). A failure (kCannotRead) when the store
// is there but cannot be read (locked past the wait, damaged, not a store),
// or kCannotWrite when a store of an older version cannot be brought up to
// date: a check must then not run on defaults in their place.
Result<EvidenceSettings> loadProjectSettings(const Workspace& workspace, const std::string& project);
// Keeps them for the next run, creating the store when needed; a project
// name that cannot be used is refused (kRefused).
Status saveProjectSettings(const Workspace& workspace, const std::string& project, const EvidenceSettings& settings);
// The findings of the project's last run as kept in the store, with the
// teacher's marks: nothing when there is no store or no kept run, a failure
// (kCannotRead) when the store cannot be read.
Result<std::optional<Findings>> loadLastRun(const Workspace& workspace, const std::string& project);
// Keeps or removes a mark on a pair, creating the store when needed. A store
// that cannot be opened fails as SqliteStore::open() tells.
Status saveMark(const Workspace& workspace, const std::string& project, const StoredMark& mark);
Status removeMark(const Workspace& workspace, const std::string& project, const StoredMark& mark);
// The teacher's marks kept for the project, shown on the last run or not:
// empty without a store, a failure (kCannotRead) when it cannot be read.
Result<std::vector<StoredMark>> storedMarks(const Workspace& workspace, const std::string& project);
// The project's drawings (indices into the findings' drawings) whose files
// were written after the run, or are gone: the result may be out of date.
std::vector<std::size_t> changedSinceRun(const Findings& findings);

// The projects whose evidence the store keeps: what a project can be
// compared against. Empty without a store; a failure (kCannotRead) when the
// store exists but cannot be read.
Result<std::vector<StoredProject>> storedProjects(const Workspace& workspace);

}  // namespace veldra::evidence
