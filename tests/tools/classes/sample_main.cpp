// Adds a class of 24 students with copies of every kind, and pictures, to a
// workspace as project "EVIDENCE SAMPLE" with its template, the lab's shared
// login and the term as the teacher's settings: the class the evidence
// window's screenshots show.
#include <QGuiApplication>

#include <cstdio>

#include "classes/class_files.h"
#include "evidence/run/evidence_run.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: veldra-evidence-sample WORKSPACE\n");
    return 2;
  }
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  const veldra::Workspace workspace(argv[1]);
  veldra::testing::WrittenClass written;
  // The usual class, and one paste turned and one mirrored onto the drawing
  // it came from, for the overlay and the words.
  veldra::testing::ClassPlan plan = veldra::testing::typicalClass(11);
  plan.copies.push_back({veldra::testing::CopyKind::kTurned, 21, 22});
  plan.copies.push_back({veldra::testing::CopyKind::kMirrored, 20, 23});
  const std::string error = veldra::testing::writeClass(workspace, "EVIDENCE SAMPLE", plan,
                                                        std::filesystem::path(argv[1]) / "evidence class", written, 7);
  if (!error.empty()) {
    std::fprintf(stderr, "veldra-evidence-sample: %s\n", error.c_str());
    return 1;
  }
  // The teacher's choices, as the evidence window keeps them: the class
  // template, the lab's shared login and the term.
  veldra::evidence::EvidenceSettings settings;
  settings.templates = {written.templateFile};
  settings.ignoredAuthors = {"lab3"};
  settings.term = "autumn 2026";
  if (const veldra::Status saved = veldra::evidence::saveProjectSettings(workspace, "EVIDENCE SAMPLE", settings);
      !saved) {
    std::fprintf(stderr, "veldra-evidence-sample: %s\n", saved.message().c_str());
    return 1;
  }
  std::printf("%s\n", written.templateFile.string().c_str());
  return 0;
}
