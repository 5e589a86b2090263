#pragma once

// The entity type a record file was collected with, kept in a small file
// beside it, so that a recompare labels its findings with the type the
// handles really belong to.

#include <optional>
#include <string>
#include <string_view>

#include "app/workspace.h"

namespace veldra {

// Nothing when no type is remembered (a record file from before, or one
// whose type could not be kept).
std::optional<std::string> readCollectedType(const Workspace& ws, std::string_view project);

// Replaces the remembered type through a temporary file. A type that cannot
// be kept on one line, or a failed write, leaves no type remembered rather
// than a wrong one; false then.
bool rememberCollectedType(const Workspace& ws, std::string_view project, std::string_view type);
void forgetCollectedType(const Workspace& ws, std::string_view project);

// "Collected with LINE: collect again to compare CIRCLE."
std::string collectedTypeNotice(std::string_view collected, std::string_view chosen);

}  // namespace veldra
