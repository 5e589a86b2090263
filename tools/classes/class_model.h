#pragma once

// Classes of students as data, for the evidence tests and benchmarks: a
// teacher's template with a title block, an exercise drawn from the same
// dimensioned sheet, honest students who differ as real ones do (order,
// start point, variants, slips, stray construction lines, their own notes),
// and copies of the kinds teachers meet.

#include <cstdint>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "evidence/drawing_evidence.h"

namespace veldra::testing {

enum class CopyKind {
  kFileCopy,       // the file itself, under another student's folder
  kCopyEdited,     // the file, then edited and saved by the copier
  kPasted,         // the source's entities pasted into a fresh drawing from the template
  kPastedMoved,    // as kPasted, moved by one vector
  kPastedRenamed,  // as kPastedMoved, with layers renamed and texts reworded
};
const char* copyKindName(CopyKind kind);

struct CopyPlan {
  CopyKind kind;
  int source = 0;  // student numbers
  int copier = 0;
};

struct ClassPlan {
  unsigned seed = 1;         // the exercise, the template and the students
  unsigned studentSeed = 0;  // when not 0, other students on the same exercise (a later term)
  int daysLater = 0;         // when the class works, after the first term's lab
  int students = 24;
  int exerciseEntities = 80;  // model-space entities of the exercise sheet
  int titleBlockEntities = 16;
  std::vector<CopyPlan> copies;
  std::vector<int> sameSecond;   // honest students who press New in the same second
  std::vector<int> labAccount;   // honest students whose drawings carry the login "lab3"
  bool loginOnMost = false;      // most drawings carry the login "student"
  bool teacherTemplate = true;   // give the template drawing to the check
};

struct ClassModel {
  std::vector<veldra::evidence::DrawingEvidence> drawings;  // one per student, student k at index k
  veldra::evidence::DrawingEvidence templateDrawing;
  std::vector<std::vector<int>> groups;  // students linked by copying
  bool linked(int a, int b) const;       // in one group
};

// The plan the issue describes: 24 students, four in the same second, seven
// copies (two file copies, two edited copies, a paste, a moved paste and a
// renamed paste), a lab account on four honest drawings.
ClassPlan typicalClass(unsigned seed);

ClassModel makeClass(const ClassPlan& plan);

// A large class for benchmarks: `students` drawings of `entities` entities
// each, every 50th a copy (of the kinds above in turn).
ClassModel makeLargeClass(int students, int entities, unsigned seed);

}  // namespace veldra::testing
