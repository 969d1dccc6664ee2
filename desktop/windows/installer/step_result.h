// What a step of a run, or a stage of the engine before its steps, tells
// the engine when it returns. Only the engine acts on it: it goes on with
// the next step, reports the outcome to its observers, or waits.
//
//   StepResult StepInstallLauncher(InstallRun* run) {
//     if (!run->transaction()->Execute(...))
//       return StepResult::Error(IDS_ERROR_COPY_FILE, destination.value(),
//                                "Failed copying the launcher");
//     return StepResult::Next();
//   }

#ifndef DESKTOP_WINDOWS_INSTALLER_STEP_RESULT_H_
#define DESKTOP_WINDOWS_INSTALLER_STEP_RESULT_H_

#include <string>
#include <utility>

namespace installer {

class StepResult {
 public:
  enum class Kind {
    // Done; the run goes on.
    kNext,
    // The run goes on after this task; its owner tells the engine how it
    // ended (a wait for the package).
    kLater,
    // The run is done: another installer process did the work.
    kSucceeded,
    // The run failed with an error for the user.
    kError,
    // The run was interrupted, or its front end ended, during the step.
    kCancelled,
  };

  static StepResult Next() { return StepResult(Kind::kNext); }
  static StepResult Later() { return StepResult(Kind::kLater); }
  static StepResult Succeeded() { return StepResult(Kind::kSucceeded); }
  static StepResult Cancelled() { return StepResult(Kind::kCancelled); }
  // |code| is the string id of the message to show, |argument| the text
  // for its "$1", |message| the English text for the log.
  static StepResult Error(int code,
                          std::wstring argument,
                          std::string message) {
    StepResult result(Kind::kError);
    result.code_ = code;
    result.argument_ = std::move(argument);
    result.message_ = std::move(message);
    return result;
  }
  static StepResult Error(int code, std::string message) {
    return Error(code, std::wstring(), std::move(message));
  }

  Kind kind() const { return kind_; }
  bool is_next() const { return kind_ == Kind::kNext; }
  int code() const { return code_; }
  const std::wstring& argument() const { return argument_; }
  const std::string& message() const { return message_; }

 private:
  explicit StepResult(Kind kind) : kind_(kind) {}

  Kind kind_;
  int code_ = 0;
  std::wstring argument_;
  std::string message_;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_STEP_RESULT_H_
