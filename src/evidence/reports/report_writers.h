#pragma once

// Writers that turn the findings of an evidence check into text: the plain
// report kept in the workspace, the spreadsheet (CSV) and the printable,
// self-contained HTML report. Each is one function over the same findings.

#include <cstddef>
#include <string>
#include <vector>

#include "evidence/judging/findings.h"
#include "evidence/reports/picture.h"
#include "evidence/store/review.h"

namespace veldra::evidence {

// Lines ended by CR LF, UTF-8.
std::string plainReport(const Findings& findings);
// A header row and one row per pair judged copy, likely copy or coincidence;
// UTF-8 with a byte-order mark so that spreadsheets read the names right.
std::string csvReport(const Findings& findings);
// One HTML file with its pictures inside, drawn by `pictures`.
std::string htmlReport(const Findings& findings, const Pictures& pictures = svgPictures());
// One pair on a page of its own, for a talk with the students: both
// pictures and both laid over each other, the evidence in words, both
// drawings' facts, the other members of its group and room for notes.
// Empty for a pair that is not there.
std::string caseSheet(const Findings& findings, std::size_t pair, const Pictures& pictures = svgPictures());

// The teacher's marks as a spreadsheet, one row a mark, for a backup or a
// script: the mark and note, both files as marked (paths, content digests,
// identities) and the pair as the last run judged it, where it is shown.
std::string marksCsv(const std::vector<StoredMark>& marks, const Findings& lastRun);

// What the writers share: a drawing's student and file as the teacher reads
// them, and a pair's likely source in words.
std::string sourceText(const Findings& findings, const PairFinding& pair);
std::string runSettingsText(const Findings& findings);
// A group's drawings in the order they were copied: "a → b → c".
std::string orderText(const Findings& findings, const std::vector<std::size_t>& order);

}  // namespace veldra::evidence
