#pragma once

// A class of the evidence tests' class model written as real drawings with
// the test writer, each with a preview picture drawn from its own entities,
// and listed as a project of a workspace. Shared by the evidence window's
// tests and the tool that lays down the screenshots' sample class.

#include <filesystem>
#include <string>

#include "app/workspace.h"
#include "classes/class_model.h"

namespace veldra::testing {

struct WrittenClass {
  ClassModel model;
  std::filesystem::path folder;        // the students' folders are below it
  std::filesystem::path templateFile;  // the teacher's template drawing
};

// Writes the class into `folder` and lists it as `project` of the workspace
// (appended to projects.fil, one location with its sub-folders). Students
// whose number is a multiple of `noPictureEvery` (when not 0; student 0
// never) get no
// preview; the others a PNG, or a BMP for odd numbers. Returns "" or why
// it failed.
std::string writeClass(const Workspace& workspace, const std::string& project, const ClassPlan& plan,
                       const std::filesystem::path& folder, WrittenClass& out, int noPictureEvery = 0);

}  // namespace veldra::testing
