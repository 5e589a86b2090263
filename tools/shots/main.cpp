// Takes the evidence window's screenshots from the screen it is shown on
// (run under Xvfb): the groups and pairs, one pair (before and after the
// teacher's mark), a pair with a picture drawn from the drawing, a turned
// and a mirrored paste, the class map, the problem drawings, the settings
// and each drawing's pairs, each as OUT_DIR/evidence-VIEW.png, and the case
// sheet of the pair shown.
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTextDocument>
#include <QTimer>
#include <QWindow>

#include <cstdio>
#include <string>

#include "evidence/reports/report_writers.h"
#include "ui/evidence_window.h"
#include "ui/preview_picture.h"
#include "ui/program_arguments.h"
#include "ui/sketch_picture.h"

namespace {

void settle(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

// The first page of the case sheet of the pair shown, laid out as for an A4
// page and drawn at the screen's scale.
void caseSheetPicture(const veldra::EvidenceWindow& window, const QString& file) {
  QTextDocument sheet;
  sheet.setHtml(QString::fromStdString(veldra::evidence::caseSheet(
      *window.findings(), static_cast<std::size_t>(window.shownPair()), veldra::QtPictures())));
  const QSizeF page(794, 1123);  // A4 at 96 dots an inch
  sheet.setPageSize(page);
  const qreal scale = window.devicePixelRatioF();
  QImage image((page * scale).toSize(), QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  painter.scale(scale, scale);
  sheet.drawContents(&painter, QRectF(QPointF(0, 0), page));
  painter.end();
  if (!image.save(file)) std::fprintf(stderr, "veldra-evidence-shots: cannot write %s\n", qPrintable(file));
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc != 5 && argc != 6) {
    std::fprintf(stderr, "usage: veldra-evidence-shots WORKSPACE PROJECT OUT_DIR SUFFIX [full]\n");
    return 2;
  }
  // "full": the window fills the screen, as a teacher on a small screen has it.
  const bool full = argc == 6 && std::string(argv[5]) == "full";
  const veldra::Workspace workspace(argv[1]);
  const std::string project = veldra::listedProject(workspace, QString::fromLocal8Bit(argv[2]));
  if (project.empty()) {
    std::fprintf(stderr, "veldra-evidence-shots: no project %s\n", argv[2]);
    return 2;
  }
  const QString out = QString::fromLocal8Bit(argv[3]);
  const QString suffix = QString::fromLocal8Bit(argv[4]);
  veldra::EvidenceWindowDeps deps;
  deps.runOnOpen = false;
  veldra::EvidenceWindow window(workspace, project, deps);
  if (full) {
    window.setGeometry(window.screen()->availableGeometry());
  } else {
    window.resize(1000, 680);
    window.move(0, 0);
  }
  window.show();
  QEventLoop done;
  QObject::connect(&window, &veldra::EvidenceWindow::runEnded, &done, &QEventLoop::quit);
  window.startRun();
  done.exec();
  if (!window.findings()) {
    std::fprintf(stderr, "veldra-evidence-shots: the check did not finish\n");
    return 1;
  }
  auto shoot = [&](const char* view) {
    settle(400);
    const QPixmap shot = window.screen()->grabWindow(window.winId());
    const QString file = QDir(out).filePath(QStringLiteral("evidence-%1%2.png").arg(QString::fromLatin1(view), suffix));
    if (!shot.save(file)) std::fprintf(stderr, "veldra-evidence-shots: cannot write %s\n", qPrintable(file));
  };
  // The controls, by the names they carry.
  auto* tabs = window.findChild<QTabWidget*>(QStringLiteral("tabs"));
  auto* reviewMark = window.findChild<QComboBox*>(QStringLiteral("reviewMark"));
  auto* reviewNote = window.findChild<QPlainTextEdit*>(QStringLiteral("reviewNote"));
  auto* saveReview = window.findChild<QPushButton*>(QStringLiteral("saveReviewButton"));
  if (!tabs || !reviewMark || !reviewNote || !saveReview) {
    std::fprintf(stderr, "veldra-evidence-shots: the window lacks a control it names\n");
    return 1;
  }
  tabs->setCurrentIndex(0);
  shoot("pairs");
  // The pair of the first group whose drawings both carry a picture.
  const auto& f = *window.findings();
  for (std::size_t p = 0; p < f.pairs.size(); ++p)
    if (!veldra::previewImage(f.drawings[f.pairs[p].a].preview).isNull() &&
        !veldra::previewImage(f.drawings[f.pairs[p].b].preview).isNull() &&
        f.pairs[p].evidence.sameIdentity == false) {
      window.showPair(static_cast<int>(p));
      break;
    }
  shoot("pair");
  // The teacher's mark and note on that pair.
  reviewMark->setCurrentIndex(2);
  reviewNote->setPlainText(QStringLiteral("Admitted in the talk on Monday."));
  saveReview->click();
  shoot("pair-marked");
  caseSheetPicture(window, QDir(out).filePath(QStringLiteral("evidence-case-sheet%1.png").arg(suffix)));
  // A pair with a drawing that stores no preview: its picture is drawn.
  for (std::size_t p = 0; p < f.pairs.size(); ++p)
    if (veldra::previewImage(f.drawings[f.pairs[p].a].preview).isNull() !=
        veldra::previewImage(f.drawings[f.pairs[p].b].preview).isNull()) {
      window.showPair(static_cast<int>(p));
      shoot("pair-drawn");
      break;
    }
  // A paste that was turned: the overlay lays it back onto its source.
  bool turned = false;
  for (std::size_t p = 0; p < f.pairs.size() && !turned; ++p) {
    const auto& placed = f.pairs[p].evidence.placement;
    if (placed && !placed->mirrored && placed->turnDegrees > 1 && placed->turnDegrees < 359) {
      window.showPair(static_cast<int>(p));
      shoot("pair-turned");
      caseSheetPicture(window, QDir(out).filePath(QStringLiteral("evidence-case-sheet-turned%1.png").arg(suffix)));
      turned = true;
    }
  }
  if (!turned) std::fprintf(stderr, "veldra-evidence-shots: no pair of the class was found turned\n");
  // A paste that was mirrored, told in the copier's words.
  for (std::size_t p = 0; p < f.pairs.size(); ++p) {
    const auto& placed = f.pairs[p].evidence.placement;
    if (placed && placed->mirrored) {
      window.showPair(static_cast<int>(p));
      shoot("pair-mirrored");
      break;
    }
  }
  tabs->setCurrentIndex(2);
  shoot("map");
  tabs->setCurrentIndex(3);
  shoot("problems");
  tabs->setCurrentIndex(4);
  shoot("settings");
  tabs->setCurrentIndex(5);
  shoot("drawings");
  return 0;
}
