#pragma once

// The teacher's settings as the evidence store keeps them, written and read
// in this one place, in each of their three kept forms: the project's saved
// choices (its rows), the settings a kept run was judged by (within its
// findings), and the tolerance each drawing's kept features were made with.
// A choice added to EvidenceSettings is added here; what it adds to the
// findings' bytes raises their format (findings_codec.cpp).

#include <string>
#include <string_view>

#include "evidence/features/settings.h"

namespace veldra::evidence {

class ByteWriter;  // evidence/store/byte_form.h
class ByteReader;

// The project's saved choices as the store's columns hold them: each list
// one item a line (each item ended by LF), the thresholds in a row of their
// own. The tolerance is not saved: a check takes the default.
struct SettingsRow {
  std::string templates, against, ignored, term;
  Thresholds thresholds;  // the defaults where a store older than them holds no row
};
SettingsRow settingsRow(const EvidenceSettings& settings);
EvidenceSettings settingsOfRow(const SettingsRow& row);

// Within kept findings: every choice, the tolerance too, as the run used them.
void writeSettings(ByteWriter& w, const EvidenceSettings& settings);
EvidenceSettings readSettings(ByteReader& r);

// What the features of a check with this tolerance are made by: the
// fingerprint's version and the tolerance. Kept features of another scheme
// are made afresh.
std::string featureScheme(const Tolerance& tolerance);

}  // namespace veldra::evidence
