#include "desktop/windows/installer/ui/install_progress.h"

#include <algorithm>

namespace installer {

namespace {

constexpr int kPhaseWeights[InstallProgress::kPhaseCount] = {1, 1000, 200,
                                                             1, 1,    100};

}  // namespace

InstallProgress::InstallProgress() = default;

void InstallProgress::SetPhase(int phase) {
  phase_ = std::clamp(phase, 0, kPhaseCount - 1);
}

void InstallProgress::SetTotal(int64_t total) {
  current_ = 0;
  total_ = phase_ == kAdditionalFilesPhase ? 0 : std::max<int64_t>(total, 0);
}

void InstallProgress::SetCurrent(int64_t current) {
  if (total_ > 0)
    current_ = std::max<int64_t>(current, 0);
}

void InstallProgress::SetTotalSteps(int total_steps) {
  total_ = std::max(total_steps, 0);
  current_ = 1;
}

void InstallProgress::Step() {
  ++current_;
}

void InstallProgress::Complete() {
  current_ = total_;
}

int InstallProgress::Position() const {
  int64_t position = 0;
  for (int phase = 0; phase < phase_; ++phase)
    position += kPhaseWeights[phase];
  // In 64 bits: a weight of 1000 times a byte count passes 2^31 at 2 MB.
  if (total_ > 0) {
    const int64_t done = std::min(current_, total_);
    position += kPhaseWeights[phase_] * done / total_;
  }
  return static_cast<int>(position);
}

int InstallProgress::Maximum() const {
  int maximum = 0;
  for (int weight : kPhaseWeights)
    maximum += weight;
  return std::max(maximum, 1);
}

}  // namespace installer
