// Each profile of a turned rectangle runs along two of its sides, meeting at the corner that lies
// furthest out; each side shows in two profiles. A profile is cut at its outermost point, 15 % is
// trimmed from both ends of each half (corners are rounded by the scan), and a straight line is
// fitted by least squares, refitted without the points more than 1.5 pixels off it. Halves with
// fewer than 20 points or a poor fit are dropped; the tilts of the rest are weighed by their
// points, after dropping those more than half a degree from the median.
#include "side_fit.h"

#include <algorithm>
#include <cmath>

namespace imgfilt {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr size_t kLeastPoints = 20;

struct Estimate {
  double tilt;
  double weight;
};

double Reduce(double degrees) {
  while (degrees > 45) degrees -= 90;
  while (degrees <= -45) degrees += 90;
  return degrees;
}

// Least-squares line depth = a + b position over the points with `use` set; false when singular.
bool Line(const std::vector<double>& p, const std::vector<double>& d, const std::vector<bool>& use,
          double& a, double& b) {
  double n = 0, sp = 0, sd = 0, spp = 0, spd = 0;
  for (size_t i = 0; i < p.size(); ++i) {
    if (!use[i]) continue;
    n += 1, sp += p[i], sd += d[i], spp += p[i] * p[i], spd += p[i] * d[i];
  }
  const double det = n * spp - sp * sp;
  if (n < 2 || std::fabs(det) < 1e-9) return false;
  b = (n * spd - sp * sd) / det;
  a = (sd - b * sp) / n;
  return true;
}

// Fits positions [begin, end) of a profile; appends an estimate when the stretch is good.
void FitStretch(const Profile& prof, size_t begin, size_t end, std::vector<Estimate>& out) {
  const size_t trim = (end - begin) * 15 / 100;
  std::vector<double> p, d;
  for (size_t i = begin + trim; i + trim < end; ++i) {
    if (prof.depth[i] < 0) continue;
    p.push_back(double(i)), d.push_back(prof.depth[i]);
  }
  if (p.size() < kLeastPoints) return;
  std::vector<bool> use(p.size(), true);
  double a = 0, b = 0;
  if (!Line(p, d, use, a, b)) return;
  size_t kept = 0;
  for (size_t i = 0; i < p.size(); ++i) {
    use[i] = std::fabs(a + b * p[i] - d[i]) <= 1.5;
    kept += use[i];
  }
  if (kept < kLeastPoints || kept * 4 < p.size() * 3 || !Line(p, d, use, a, b)) return;
  // A top profile gives rows against columns: slope tan(tilt). A left one gives columns against
  // rows: slope -tan(tilt). Depths counted from the far side turn the sign.
  const double slope = std::atan(b) * 180 / kPi;
  const bool negate = prof.across == prof.flipped;
  out.push_back({Reduce(negate ? -slope : slope), double(kept)});
}

}  // namespace

bool FitTilt(const std::vector<Profile>& profiles, double& tilt) {
  std::vector<Estimate> estimates;
  for (const Profile& prof : profiles) {
    // The outermost point: the least depth (first found from the lower end).
    size_t corner = prof.depth.size();
    for (size_t i = 0; i < prof.depth.size(); ++i) {
      if (prof.depth[i] >= 0 && (corner == prof.depth.size() || prof.depth[i] < prof.depth[corner])) corner = i;
    }
    if (corner == prof.depth.size()) continue;
    FitStretch(prof, 0, corner + 1, estimates);
    FitStretch(prof, corner, prof.depth.size(), estimates);
  }
  if (estimates.empty()) return false;
  std::vector<double> tilts;
  for (const Estimate& e : estimates) tilts.push_back(e.tilt);
  std::nth_element(tilts.begin(), tilts.begin() + tilts.size() / 2, tilts.end());
  const double median = tilts[tilts.size() / 2];
  double sum = 0, weight = 0;
  for (const Estimate& e : estimates) {
    if (std::fabs(e.tilt - median) > 0.5) continue;
    sum += e.tilt * e.weight, weight += e.weight;
  }
  tilt = sum / weight;
  return true;
}

}  // namespace imgfilt
