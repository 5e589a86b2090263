// Pictures drawn from drawings' entities as SVG: lines as paths, texts as
// their words, so that a browser shows them sharp at any zoom.

#include <cmath>
#include <cstdio>
#include <functional>
#include <map>
#include <numbers>
#include <string>

#include "app/utf8_text.h"
#include "evidence/reports/picture.h"

namespace veldra::evidence {

namespace {

using veldra::sketch::Fit;
using veldra::sketch::Point;
using veldra::sketch::Sketch;

// Room around a drawing, in pixels as shown.
constexpr double kMargin = 6;
// Line width, in pixels as shown.
constexpr double kLineWidth = 1.1;

// A coordinate to a tenth of a pixel.
std::string num(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.1f", v);
  std::string s = buf;
  if (s.size() > 2 && s.compare(s.size() - 2, 2, ".0") == 0) s.resize(s.size() - 2);
  return s == "-0" ? "0" : s;
}

// A text's words as XML character data: markup escaped, control characters
// as spaces, and bytes that are not UTF-8 as question marks (a picture with
// one malformed byte would not show at all).
std::string xmlText(const std::string& text) {
  const bool utf8 = isUtf8(text);
  std::string out;
  for (const char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '&') out += "&amp;";
    else if (c == '<') out += "&lt;";
    else if (c == '>') out += "&gt;";
    else if (u < 0x20 || u == 0x7F) out += ' ';
    else if (u >= 0x80 && !utf8) out += '?';
    else out += c;
  }
  return out;
}

using ColourOf = std::function<Rgb(bool stroke, std::size_t index)>;

// The sketch's strokes, one path per colour, with points nearer than a
// third of a pixel to the last one drawn left out; then its texts.
void paint(std::string& out, const Sketch& s, const Fit& fit, const ColourOf& colourOf) {
  std::map<std::string, std::string> paths;
  for (std::size_t i = 0; i < s.strokes.size(); ++i) {
    const auto& points = s.strokes[i].points;
    if (points.empty()) continue;
    std::string& d = paths[cssColour(colourOf(true, i))];
    Point last = fit(points.front());
    d += "M" + num(last.x) + " " + num(last.y);
    for (std::size_t k = 1; k < points.size(); ++k) {
      const Point p = fit(points[k]);
      if (k + 1 < points.size() && std::hypot(p.x - last.x, p.y - last.y) < 0.33) continue;
      d += "L" + num(p.x) + " " + num(p.y);
      last = p;
    }
  }
  for (const auto& [colour, d] : paths)
    out += "<path fill=\"none\" stroke=\"" + colour + "\" stroke-width=\"" + num(kLineWidth) +
           "\" stroke-linecap=\"round\" stroke-linejoin=\"round\" d=\"" + d + "\"/>";
  for (std::size_t i = 0; i < s.labels.size(); ++i) {
    const auto& l = s.labels[i];
    const Point at = fit(l.at);
    const std::string x = num(at.x), y = num(at.y);
    char size[32];
    std::snprintf(size, sizeof size, "%.2f", std::max(0.01, l.height * kTextEm * fit.scale));
    out += "<text x=\"" + x + "\" y=\"" + y + "\" font-size=\"" + size + "\" fill=\"" + cssColour(colourOf(false, i)) + "\"";
    const double degrees = -l.angle * 180 / std::numbers::pi;
    if (std::fabs(degrees) > 0.05) out += " transform=\"rotate(" + num(degrees) + " " + x + " " + y + ")\"";
    out += ">" + xmlText(l.text) + "</text>";
  }
}

std::string document(int width, int height, const std::string& body) {
  const std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + std::to_string(width) +
                          "\" height=\"" + std::to_string(height) + "\" viewBox=\"0 0 " + std::to_string(width) + " " +
                          std::to_string(height) +
                          "\" font-family=\"DejaVu Sans, Arial, sans-serif\"><rect width=\"100%\" height=\"100%\" "
                          "fill=\"#fff\"/>" +
                          body + "</svg>";
  return "data:image/svg+xml;base64," +
         base64(std::span(reinterpret_cast<const std::uint8_t*>(svg.data()), svg.size()));
}

class SvgPictures : public Pictures {
 public:
  std::string drawing(const Sketch& sketch, int width, int height) const override {
    std::string body;
    paint(body, sketch, Fit::of(sketch.bounds(), width, height, kMargin), [](bool, std::size_t) { return kInk; });
    return document(width, height, body);
  }

  std::string overlay(const LaidPair& pair, int width, int height) const override {
    const Fit fit = Fit::of(pair.bounds(), width, height, kMargin);
    auto colours = [](const std::vector<bool>& strokes, const std::vector<bool>& labels, Rgb own) {
      return [&strokes, &labels, own](bool stroke, std::size_t i) {
        const auto& shared = stroke ? strokes : labels;
        return i < shared.size() && shared[i] ? kBothColour : own;
      };
    };
    std::string body;
    paint(body, pair.second, fit, colours(pair.shared.strokesB, pair.shared.labelsB, kSecondColour));
    paint(body, pair.first, fit, colours(pair.shared.strokesA, pair.shared.labelsA, kFirstColour));
    return document(width, height, body);
  }
};

}  // namespace

const Pictures& svgPictures() {
  static const SvgPictures pictures;
  return pictures;
}

}  // namespace veldra::evidence
