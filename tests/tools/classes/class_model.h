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

#include "evidence/features/drawing_evidence.h"

namespace veldra::testing {

enum class CopyKind {
  kFileCopy,       // the file itself, under another student's folder
  kCopyEdited,     // the file, then edited and saved by the copier
  kPasted,         // the source's entities pasted into a fresh drawing from the template
  kPastedMoved,    // as kPasted, moved by one vector
  kPastedRenamed,  // as kPastedMoved, with layers renamed and texts reworded
  kTurned,         // pasted, turned by 90°, 180°, 270° or an odd angle about a point, and moved
  kMirrored,       // pasted, mirrored about a line through a point, perhaps turned too
  kScaled,         // pasted and scaled by one factor (0.5 to 4), perhaps turned
  kExploded,       // pasted with the source's polylines exploded into lines and arcs
  kPartial,        // half the source or more pasted beside the copier's own work
};
const char* copyKindName(CopyKind kind);

// Every paste lists the entities in an order of its own (a clipboard's),
// and what it does to them (vector, angle, factor, share) is drawn from the
// class's seed and the copier, so that no test depends on one placement.
struct CopyPlan {
  CopyKind kind;
  int source = 0;  // student numbers; a source may itself be a copier listed earlier (a chain)
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
  std::vector<int> polylineStudents;  // honest students who draw the outline and slots as polylines
  std::vector<int> nearlyBlank;       // honest students who hand in the template and a line or two
  bool exactNumbers = false;          // nobody slips, reads the sheet otherwise or rewords a note
  // Each honest student draws each part of the sheet to measures of their
  // own, taken where they clicked: sizes and stray lines at full precision,
  // in no round steps, as a class that chooses its own measures draws.
  bool clickedMeasures = false;
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

// A class with every kind of copy above (the turned, mirrored, scaled,
// exploded and partial pastes among them, and a copy of a copy), and
// honest look-alikes: a nearly blank drawing, the same second, a lab login.
ClassPlan everyKindClass(unsigned seed);

// A large class for benchmarks: `students` drawings of `entities` entities
// each, every 50th a copy (of the kinds above in turn).
ClassModel makeLargeClass(int students, int entities, unsigned seed);

}  // namespace veldra::testing
