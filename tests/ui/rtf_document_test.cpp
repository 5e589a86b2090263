#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>

#include <gtest/gtest.h>

#include "app/textfile.h"
#include "support/temp_dir.h"
#include "ui/rtf_document.h"

namespace veldra {
namespace {

TEST(RtfDocument, FormatsRunsAndParagraphs) {
  QTextDocument doc;
  fillTextDocument(doc, rtf::parse("{\\rtf1{\\fonttbl{\\f1 Courier New;}}\\qc{\\b\\fs32 Title}\\par"
                                   "\\pard a\\line b{\\i i}{\\f1 m}}"));
  ASSERT_EQ(doc.blockCount(), 2);
  const QTextBlock title = doc.firstBlock();
  EXPECT_EQ(title.blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
  EXPECT_EQ(title.begin().fragment().charFormat().fontWeight(), QFont::Bold);
  EXPECT_DOUBLE_EQ(title.begin().fragment().charFormat().fontPointSize(), 16.0);
  const QTextBlock body = title.next();
  EXPECT_EQ(body.text(), QString("a") + QChar(QChar::LineSeparator) + "bim");
  for (auto it = body.begin(); !it.atEnd(); ++it) {
    const QTextCharFormat f = it.fragment().charFormat();
    EXPECT_EQ(f.fontItalic(), it.fragment().text() == "i");
    EXPECT_EQ(f.fontFamilies().toStringList().join(""), it.fragment().text() == "m" ? "Courier New" : "");
  }
}

TEST(RtfDocument, ReportFilesShowAsPlainTextAndFailuresKeepTheContent) {
  testing::TempDir dir;
  const auto report = dir.write("r.tim", quotedLine("A.dwg {\\b x}") + quotedLine("B.dwg"));
  QTextEdit edit;
  TextEditViewer viewer(edit);
  ASSERT_TRUE(viewer.loadFile(report));
  EXPECT_EQ(edit.toPlainText(), "\"A.dwg {\\b x}\"\n\"B.dwg\"\n");
  EXPECT_FALSE(viewer.loadFile(dir.path() / "missing.tim"));
  EXPECT_FALSE(viewer.loadFile(dir.path()));  // a folder is no document
  EXPECT_EQ(edit.toPlainText(), "\"A.dwg {\\b x}\"\n\"B.dwg\"\n");
  EXPECT_EQ(viewer.fileName(), report);
}

}  // namespace
}  // namespace veldra
