#pragma once

#include <filesystem>

#include "reports/report_viewer.h"
#include "reports/rtf/rtf_reader.h"

class QTextDocument;
class QTextEdit;

namespace veldra {

// Replaces the document's content with a read rich-text document: font
// families named in its font table (others keep the text box's font), sizes,
// bold, italic, underline, line breaks, tabs and paragraph alignment.
void fillTextDocument(QTextDocument& target, const rtf::Document& model);

// Loads a file into a text box: rich text when it begins "{\rtf", otherwise
// the bytes as plain text in the local encoding (which is how report files
// appear). False, with the box unchanged, when the file cannot be read.
bool loadDocumentFile(QTextEdit& view, const std::filesystem::path& file);

// A text box as the report viewer of the Reports page.
class TextEditViewer : public TextViewer {
 public:
  explicit TextEditViewer(QTextEdit& edit) : edit_(edit) {}
  bool loadFile(const std::filesystem::path& file) override;
  void setText(const std::string& text) override;
  void resetFileName() override { fileName_.clear(); }
  // The file shown last, empty after a reset or a plain text.
  const std::filesystem::path& fileName() const { return fileName_; }

 private:
  QTextEdit& edit_;
  std::filesystem::path fileName_;
};

}  // namespace veldra
