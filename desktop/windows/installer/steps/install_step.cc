#include "desktop/windows/installer/steps/install_step.h"

#include <algorithm>
#include <utility>

#include "base/bind.h"
#include "base/logging.h"
#include "desktop/windows/installer/install_run.h"

namespace installer {

namespace {

StepResult RunOnce(InstallStep::Function function,
                   InstallRun* run,
                   size_t index) {
  DCHECK_EQ(0u, index);
  return function(run);
}

}  // namespace

// static
InstallStep InstallStep::Once(const char* name, Function function) {
  return InstallStep(name, base::BindRepeating(&RunOnce, function), nullptr);
}

// static
InstallStep InstallStep::ForEachEntry(const char* name,
                                      EntryFunction function,
                                      List list) {
  DCHECK(list);
  return InstallStep(name, base::BindRepeating(function), list);
}

// static
InstallStep InstallStep::FromCallback(const char* name, Callback callback) {
  return InstallStep(name, std::move(callback), nullptr);
}

InstallStep::InstallStep(const char* name, Callback callback, List list)
    : name_(name), callback_(std::move(callback)), list_(list) {}

InstallStep::InstallStep(const InstallStep&) = default;
InstallStep& InstallStep::operator=(const InstallStep&) = default;
InstallStep::~InstallStep() = default;

size_t InstallStep::CountCalls(const InstallRun& run) const {
  return list_ ? std::max<size_t>((run.*list_)().size(), 1) : 1;
}

StepResult InstallStep::Run(InstallRun* run, size_t index) const {
  return callback_.Run(run, index);
}

}  // namespace installer
