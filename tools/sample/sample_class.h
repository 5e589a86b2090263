#pragma once

#include <cstdint>
#include <string>

#include "app/workspace.h"

namespace veldra::sample {

inline constexpr const char* kProjectName = "SAMPLE CLASS";
inline constexpr const char* kClassFolder = "sample class";

// Makes a class of drawings in the workspace (folder "sample class" with the
// sub-folders week1 and week2) and lists it as project SAMPLE CLASS with the
// folder and its sub-folders as its location. The class holds two copies
// (same creation date and handles), a near-copy sharing 85% of the circles,
// a drawing three years old and honest drawings from today. When
// default.fil is absent it chooses CIRCLE as the entity. Does nothing when
// the project is listed already. `todayDays` is today's Julian day number
// (universal time). Returns "" or the reason it failed.
std::string makeSampleClass(const Workspace& workspace, std::int32_t todayDays);

// Today's Julian day number from the system clock.
std::int32_t julianDayToday();

}  // namespace veldra::sample
