#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>
#include <QTextFragment>

#include <gtest/gtest.h>

#include "app/textfile.h"
#include "support/temp_dir.h"
#include "ui/rtf_document.h"

namespace veldra {
namespace {

using testing::TempDir;

TEST(RtfDocument, FormatsRunsAndParagraphs) {
  QTextDocument doc;
  fillTextDocument(doc, rtf::parse("{\\rtf1{\\fonttbl{\\f1 Courier New;}}\\qc{\\b\\fs32 Title}\\par\\pard\\fs20 a\\line b "
                                   "{\\i it}{\\ul u}{\\f1 mono}\\par}"));
  ASSERT_EQ(doc.blockCount(), 2);
  const QTextBlock title = doc.firstBlock();
  EXPECT_EQ(title.text(), "Title");
  EXPECT_EQ(title.blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
  const QTextCharFormat titleFormat = title.begin().fragment().charFormat();
  EXPECT_EQ(titleFormat.fontWeight(), QFont::Bold);
  EXPECT_DOUBLE_EQ(titleFormat.fontPointSize(), 16.0);

  const QTextBlock body = title.next();
  EXPECT_EQ(body.text(), QString("a") + QChar(QChar::LineSeparator) + "b itumono");
  EXPECT_EQ(body.blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignLeft);
  bool sawItalic = false, sawUnderline = false;
  for (auto it = body.begin(); !it.atEnd(); ++it) {
    const QTextFragment f = it.fragment();
    EXPECT_EQ(f.charFormat().fontWeight(), QFont::Normal);
    EXPECT_DOUBLE_EQ(f.charFormat().fontPointSize(), 10.0);
    if (f.text() == "it") sawItalic = f.charFormat().fontItalic();
    if (f.text() == "u") sawUnderline = f.charFormat().fontUnderline();
    const QStringList families = f.charFormat().fontFamilies().toStringList();
    EXPECT_EQ(families, f.text() == "mono" ? QStringList{"Courier New"} : QStringList{});
  }
  EXPECT_TRUE(sawItalic);
  EXPECT_TRUE(sawUnderline);
}

TEST(RtfDocument, ReportFilesShowAsPlainTextAndFailuresKeepTheContent) {
  TempDir dir;
  const auto report = dir.write("r.tim", quotedLine("A.dwg {\\b x}") + quotedLine("B.dwg"));
  QTextEdit edit;
  TextEditViewer viewer(edit);
  ASSERT_TRUE(viewer.loadFile(report));
  EXPECT_EQ(edit.toPlainText(), "\"A.dwg {\\b x}\"\n\"B.dwg\"\n");
  EXPECT_EQ(viewer.fileName(), report);
  EXPECT_FALSE(viewer.loadFile(dir.path() / "missing.tim"));
  EXPECT_FALSE(viewer.loadFile(dir.path()));  // a folder is no document
  EXPECT_EQ(edit.toPlainText(), "\"A.dwg {\\b x}\"\n\"B.dwg\"\n");
  viewer.resetFileName();
  EXPECT_TRUE(viewer.fileName().empty());
  viewer.setText("No available TIME CONFLICTS for Project: P");
  EXPECT_EQ(edit.toPlainText(), "No available TIME CONFLICTS for Project: P");
}

}  // namespace
}  // namespace veldra
