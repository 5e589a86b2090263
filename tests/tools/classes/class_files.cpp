#include "classes/class_files.h"

#include <QBuffer>
#include <QImage>
#include <QPainter>

#include <map>
#include <set>

#include "app/textfile.h"
#include "classes/drawing_plan.h"
#include "dwgwrite/dwg_writer.h"
#include "projects/project_store.h"

namespace veldra::testing {

namespace {

using veldra::dwgwrite::DrawingSpec;

// The model space drawn in black on white, as a CAD program's preview is.
QImage drawPreview(const evidence::DrawingEvidence& d) {
  double minX = 1e300, minY = 1e300, maxX = -1e300, maxY = -1e300;
  auto extend = [&](double x, double y) {
    minX = std::min(minX, x), maxX = std::max(maxX, x), minY = std::min(minY, y), maxY = std::max(maxY, y);
  };
  for (const auto& e : d.entities) {
    if (e.paperSpace || e.numbers.size() < 2) continue;
    extend(e.numbers[0], e.numbers[1]);
    if (e.kind == "AcDbLine" && e.numbers.size() >= 5) extend(e.numbers[3], e.numbers[4]);
  }
  QImage image(320, 240, QImage::Format_RGB32);
  image.fill(Qt::white);
  if (minX > maxX) return image;
  const double scale = std::min(300 / std::max(maxX - minX, 1.0), 220 / std::max(maxY - minY, 1.0));
  auto at = [&](double x, double y) { return QPointF(10 + (x - minX) * scale, 230 - (y - minY) * scale); };
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(Qt::black, 1));
  for (const auto& e : d.entities) {
    if (e.paperSpace || e.numbers.size() < 2) continue;
    const auto& n = e.numbers;
    if (e.kind == "AcDbLine" && n.size() >= 6) {
      painter.drawLine(at(n[0], n[1]), at(n[3], n[4]));
    } else if ((e.kind == "AcDbCircle" || e.kind == "AcDbArc") && n.size() >= 4) {
      painter.drawEllipse(at(n[0], n[1]), n[3] * scale, n[3] * scale);
    } else {
      painter.drawPoint(at(n[0], n[1]));
    }
  }
  return image;
}

std::vector<std::uint8_t> encoded(const QImage& image, const char* format) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, format);
  return {bytes.begin(), bytes.end()};
}

}  // namespace

std::string writeClass(const Workspace& workspace, const std::string& project, const ClassPlan& plan,
                       const std::filesystem::path& folder, WrittenClass& out, int noPictureEvery) {
  out.model = makeClass(plan);
  out.folder = folder;
  // Versions with a preview that may be PNG; a file copy keeps its source's.
  const char* const versions[] = {"AC1032", "AC1018", "AC1024", "AC1027"};
  std::map<int, std::string> versionOf;
  for (int k = 0; k < plan.students; ++k) versionOf[k] = versions[k % 4];
  std::map<int, int> pictureOf;
  for (int k = 0; k < plan.students; ++k) pictureOf[k] = k;
  for (const auto& c : plan.copies)
    if (c.kind == CopyKind::kFileCopy || c.kind == CopyKind::kCopyEdited) {
      versionOf[c.copier] = versionOf[c.source];
      if (c.kind == CopyKind::kFileCopy) pictureOf[c.copier] = pictureOf[c.source];
    }
  for (int k = 0; k < plan.students; ++k) {
    const auto& d = out.model.drawings[static_cast<std::size_t>(k)];
    const auto file = folder / d.facts.name;
    std::error_code ec;
    std::filesystem::create_directories(file.parent_path(), ec);
    DrawingSpec wanted = planOf(d, versionOf[k]);
    const int picture = pictureOf[k];
    if (noPictureEvery == 0 || picture == 0 || picture % noPictureEvery != 0) {
      const QImage image = drawPreview(d);
      if (picture % 2 == 0) {
        wanted.preview = {dwgwrite::PreviewFormat::kPng, encoded(image, "PNG")};
      } else {
        auto bmp = encoded(image, "BMP");  // the drawing keeps it without the file header
        bmp.erase(bmp.begin(), bmp.begin() + 14);
        wanted.preview = {dwgwrite::PreviewFormat::kBmp, bmp};
      }
    }
    const std::string error = dwgwrite::writeDrawingFile(file, wanted);
    if (!error.empty()) return evidence::utf8Name(d.facts.name) + ": " + error;
  }
  out.templateFile = folder.parent_path() / (folder.filename().string() + "-template.dwg");
  if (auto error = dwgwrite::writeDrawingFile(out.templateFile, planOf(out.model.templateDrawing, "AC1032"));
      !error.empty())
    return "template: " + error;
  if (const Status added = appendProject(workspace, project); !added) return added.message();
  if (const Status placed = rewriteLocations(workspace, project, {"+" + folder.string()}); !placed)
    return placed.message();
  return "";
}

}  // namespace veldra::testing
