// One progress bar for a whole interactive run: six phases (address,
// download, unpacking, additional files, package ready, installing), each
// with its weight, and the progress inside the current phase.
//
//   InstallProgress progress;
//   progress.SetPhase(1);
//   progress.SetTotal(1000);
//   progress.SetCurrent(500);
//   progress.Position();  // 1 + 1000 * 500 / 1000 = 501 of Maximum() 1303

#ifndef DESKTOP_WINDOWS_INSTALLER_UI_INSTALL_PROGRESS_H_
#define DESKTOP_WINDOWS_INSTALLER_UI_INSTALL_PROGRESS_H_

#include <cstdint>

namespace installer {

class InstallProgress {
 public:
  static constexpr int kPhaseCount = 6;
  // The phase whose additional files do not move the bar.
  static constexpr int kAdditionalFilesPhase = 3;

  InstallProgress();

  int phase() const { return phase_; }
  // Phases outside 0 to 5 are clamped.
  void SetPhase(int phase);

  // A new amount of work in the current phase: nothing done yet. In the
  // additional-files phase the total stays 0.
  void SetTotal(int64_t total);
  // Ignored while no total is known.
  void SetCurrent(int64_t current);
  // The backend's steps: |total_steps| with the first one done.
  void SetTotalSteps(int total_steps);
  void Step();
  // The current phase is done.
  void Complete();

  // The weights of the phases before the current one plus the current
  // phase's share; never beyond the current phase's end.
  int Position() const;
  // The sum of all weights, at least 1.
  int Maximum() const;

 private:
  int phase_ = 0;
  int64_t total_ = 0;
  int64_t current_ = 0;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_UI_INSTALL_PROGRESS_H_
