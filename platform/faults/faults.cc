#include "platform/faults/faults.h"

#include <algorithm>

namespace platform {

bool Faults::Covers(std::string_view outer, std::string_view point) {
  if (outer == point) return true;
  return point.size() > outer.size() && point.substr(0, outer.size()) == outer &&
         point[outer.size()] == '.';
}

void Faults::Add(Switch s) {
  std::lock_guard lock(mutex_);
  switches_.push_back(std::move(s));
}

void Faults::FailNth(std::string_view point, uint64_t n, int error) {
  if (n == 0) return;
  Add(Switch{std::string(point), Kind::kNth, n, {}, error});
}

void Faults::FailEvery(std::string_view point, int error) {
  Add(Switch{std::string(point), Kind::kEvery, 0, {}, error});
}

void Faults::FailMatching(std::string_view point, std::string text, int error) {
  Add(Switch{std::string(point), Kind::kMatching, 0, std::move(text), error});
}

void Faults::Clear(std::string_view point) {
  std::lock_guard lock(mutex_);
  std::erase_if(switches_, [&](const Switch& s) { return s.point == point; });
}

void Faults::ClearAll() {
  std::lock_guard lock(mutex_);
  switches_.clear();
  for (auto& [key, device] : devices_) device->Clear();
}

std::optional<int> Faults::Check(std::string_view point, std::string_view subject) {
  std::lock_guard lock(mutex_);
  ++checks_[std::string(point)];
  std::optional<int> result;
  // Every Nth switch that covers the point counts this check, whether or not another fails it.
  for (auto it = switches_.begin(); it != switches_.end();) {
    bool fires = false;
    bool spent = false;
    if (Covers(it->point, point)) {
      switch (it->kind) {
        case Kind::kNth: fires = spent = --it->n == 0; break;
        case Kind::kEvery: fires = true; break;
        case Kind::kMatching: fires = subject.find(it->text) != std::string_view::npos; break;
      }
    }
    if (fires && !result) result = it->error;
    it = spent ? switches_.erase(it) : it + 1;
  }
  if (result) ++failures_[std::string(point)];
  return result;
}

uint64_t Faults::Checks(std::string_view point) const {
  std::lock_guard lock(mutex_);
  uint64_t total = 0;
  for (const auto& [name, count] : checks_) {
    if (Covers(point, name)) total += count;
  }
  return total;
}

uint64_t Faults::Failures(std::string_view point) const {
  std::lock_guard lock(mutex_);
  uint64_t total = 0;
  for (const auto& [name, count] : failures_) {
    if (Covers(point, name)) total += count;
  }
  return total;
}

DeviceFaults& Faults::Device(std::string_view bus, int target) {
  std::lock_guard lock(mutex_);
  auto& slot = devices_[{std::string(bus), target}];
  if (!slot) slot = std::make_unique<DeviceFaults>();
  return *slot;
}

}  // namespace platform
