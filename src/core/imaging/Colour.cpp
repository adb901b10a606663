#include "imaging/Colour.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace quillane {

namespace {

// sRGB's curve undone for each byte once: a photo asks for many thousand colours.
const std::array<double, 256>& Linear() {
  static const std::array<double, 256> table = [] {
    std::array<double, 256> t{};
    for (int i = 0; i < 256; ++i) {
      const double c = i / 255.0;
      t[static_cast<size_t>(i)] = c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    }
    return t;
  }();
  return table;
}

double LabCurve(double t) {
  constexpr double delta = 6.0 / 29.0;
  return t > delta * delta * delta ? std::cbrt(t) : t / (3 * delta * delta) + 4.0 / 29.0;
}

constexpr double Degrees = 180.0 / std::numbers::pi;

double Pow7(double x) {
  const double x2 = x * x, x3 = x2 * x;
  return x3 * x3 * x;
}

} // namespace

TLab LabOf(uint32_t colour) {
  const auto& lin = Linear();
  const double r = lin[colour & 0xFF], g = lin[(colour >> 8) & 0xFF],
               b = lin[(colour >> 16) & 0xFF];
  // D65 white: X 0.95047, Y 1, Z 1.08883.
  const double x = (0.4124564 * r + 0.3575761 * g + 0.1804375 * b) / 0.95047;
  const double y = 0.2126729 * r + 0.7151522 * g + 0.0721750 * b;
  const double z = (0.0193339 * r + 0.1191920 * g + 0.9503041 * b) / 1.08883;
  const double fx = LabCurve(x), fy = LabCurve(y), fz = LabCurve(z);
  return {116 * fy - 16, 500 * (fx - fy), 200 * (fy - fz)};
}

namespace {

double LabCurveInverse(double t) {
  constexpr double delta = 6.0 / 29.0;
  return t > delta ? t * t * t : 3 * delta * delta * (t - 4.0 / 29.0);
}

// Linear sRGB of a L*a*b* colour, each channel possibly outside 0..1.
std::array<double, 3> LinearOf(const TLab& lab) {
  const double fy = (lab.L + 16) / 116, fx = fy + lab.A / 500, fz = fy - lab.B / 200;
  const double x = LabCurveInverse(fx) * 0.95047, y = LabCurveInverse(fy),
               z = LabCurveInverse(fz) * 1.08883;
  return {3.2404542 * x - 1.5371385 * y - 0.4985314 * z,
          -0.9692660 * x + 1.8760108 * y + 0.0415560 * z,
          0.0556434 * x - 0.2040259 * y + 1.0572252 * z};
}

bool InGamut(const std::array<double, 3>& rgb) {
  constexpr double slack = 1e-9;
  for (double c : rgb)
    if (c < -slack || c > 1 + slack)
      return false;
  return true;
}

int ByteOf(double linear) {
  const double c = std::clamp(linear, 0.0, 1.0);
  const double v = c <= 0.0031308 ? 12.92 * c : 1.055 * std::pow(c, 1 / 2.4) - 0.055;
  return static_cast<int>(std::lround(v * 255));
}

} // namespace

uint32_t ColourOfLab(const TLab& lab) {
  const TLab grey{std::clamp(lab.L, 0.0, 100.0), 0, 0};
  std::array<double, 3> rgb = LinearOf({grey.L, lab.A, lab.B});
  if (!InGamut(rgb)) {
    // The greys are all inside, so the chroma that still fits lies between none and all.
    double low = 0, high = 1;
    for (int i = 0; i < 40; ++i) {
      const double mid = (low + high) / 2;
      (InGamut(LinearOf({grey.L, lab.A * mid, lab.B * mid})) ? low : high) = mid;
    }
    rgb = LinearOf({grey.L, lab.A * low, lab.B * low});
  }
  return RGBOf(ByteOf(rgb[0]), ByteOf(rgb[1]), ByteOf(rgb[2]));
}

namespace {
double LightnessWeight(double meanL) {
  const double l50 = (meanL - 50) * (meanL - 50);
  return 1 + 0.015 * l50 / std::sqrt(20 + l50);
}
} // namespace

double LightnessTerm(const TLab& one, const TLab& two) {
  return std::abs((two.L - one.L) / LightnessWeight((one.L + two.L) / 2));
}

double DeltaE2000(const TLab& one, const TLab& two) {
  constexpr double pow25to7 = 6103515625.0;
  const double c1 = std::hypot(one.A, one.B), c2 = std::hypot(two.A, two.B);
  const double meanC7 = Pow7((c1 + c2) / 2);
  const double g = 0.5 * (1 - std::sqrt(meanC7 / (meanC7 + pow25to7)));
  const double a1 = (1 + g) * one.A, a2 = (1 + g) * two.A;
  const double cp1 = std::hypot(a1, one.B), cp2 = std::hypot(a2, two.B);
  auto hue = [](double b, double a) {
    if (a == 0 && b == 0)
      return 0.0;
    const double h = std::atan2(b, a) * Degrees;
    return h < 0 ? h + 360 : h;
  };
  const double h1 = hue(one.B, a1), h2 = hue(two.B, a2);
  const bool grey = cp1 * cp2 == 0; // a hue means nothing without chroma

  double dh = 0;
  if (!grey) {
    dh = h2 - h1;
    if (dh > 180)
      dh -= 360;
    else if (dh < -180)
      dh += 360;
  }
  const double dL = two.L - one.L, dC = cp2 - cp1;
  const double dH = 2 * std::sqrt(cp1 * cp2) * std::sin(dh / 2 / Degrees);

  const double meanL = (one.L + two.L) / 2, meanCp = (cp1 + cp2) / 2;
  double meanH = h1 + h2;
  if (!grey) {
    if (std::abs(h1 - h2) <= 180)
      meanH /= 2;
    else
      meanH = meanH < 360 ? (meanH + 360) / 2 : (meanH - 360) / 2;
  }
  const double t =
      1 - 0.17 * std::cos((meanH - 30) / Degrees) + 0.24 * std::cos(2 * meanH / Degrees) +
      0.32 * std::cos((3 * meanH + 6) / Degrees) - 0.20 * std::cos((4 * meanH - 63) / Degrees);
  const double dTheta = 30 * std::exp(-std::pow((meanH - 275) / 25, 2));
  const double meanCp7 = Pow7(meanCp);
  const double rc = 2 * std::sqrt(meanCp7 / (meanCp7 + pow25to7));
  const double sl = LightnessWeight(meanL);
  const double sc = 1 + 0.045 * meanCp, sh = 1 + 0.015 * meanCp * t;
  const double rt = -std::sin(2 * dTheta / Degrees) * rc;
  const double l = dL / sl, c = dC / sc, h = dH / sh;
  return std::sqrt(l * l + c * c + h * h + rt * c * h);
}

} // namespace quillane
