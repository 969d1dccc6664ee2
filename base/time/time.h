// Time (wall clock, UTC, microseconds since 1601-01-01 like FILETIME),
// TimeTicks (monotonic) and TimeDelta (a signed span in microseconds).

#ifndef BASE_TIME_TIME_H_
#define BASE_TIME_TIME_H_

#include <windows.h>

#include <compare>
#include <cstdint>
#include <ctime>
#include <limits>

namespace base {

class TimeDelta {
 public:
  constexpr TimeDelta() = default;

  static constexpr TimeDelta FromDays(int64_t days) {
    return TimeDelta(days * kMicrosecondsPerDay);
  }
  static constexpr TimeDelta FromHours(int64_t hours) {
    return TimeDelta(hours * kMicrosecondsPerHour);
  }
  static constexpr TimeDelta FromMinutes(int64_t minutes) {
    return TimeDelta(minutes * kMicrosecondsPerMinute);
  }
  static constexpr TimeDelta FromSeconds(int64_t seconds) {
    return TimeDelta(seconds * kMicrosecondsPerSecond);
  }
  static constexpr TimeDelta FromMilliseconds(int64_t ms) {
    return TimeDelta(ms * kMicrosecondsPerMillisecond);
  }
  static constexpr TimeDelta FromMicroseconds(int64_t us) {
    return TimeDelta(us);
  }
  static constexpr TimeDelta FromSecondsD(double seconds) {
    return TimeDelta(static_cast<int64_t>(seconds * kMicrosecondsPerSecond));
  }
  static constexpr TimeDelta Max() {
    return TimeDelta(std::numeric_limits<int64_t>::max());
  }

  static constexpr int64_t kMicrosecondsPerMillisecond = 1000;
  static constexpr int64_t kMicrosecondsPerSecond = 1000 * 1000;
  static constexpr int64_t kMicrosecondsPerMinute = 60 * kMicrosecondsPerSecond;
  static constexpr int64_t kMicrosecondsPerHour = 60 * kMicrosecondsPerMinute;
  static constexpr int64_t kMicrosecondsPerDay = 24 * kMicrosecondsPerHour;

  constexpr bool is_zero() const { return delta_ == 0; }
  constexpr bool is_max() const { return *this == Max(); }

  constexpr int InDays() const {
    return static_cast<int>(delta_ / kMicrosecondsPerDay);
  }
  constexpr int InHours() const {
    return static_cast<int>(delta_ / kMicrosecondsPerHour);
  }
  constexpr int InMinutes() const {
    return static_cast<int>(delta_ / kMicrosecondsPerMinute);
  }
  constexpr int64_t InSeconds() const {
    return delta_ / kMicrosecondsPerSecond;
  }
  constexpr double InSecondsF() const {
    return static_cast<double>(delta_) / kMicrosecondsPerSecond;
  }
  constexpr int64_t InMilliseconds() const {
    return delta_ / kMicrosecondsPerMillisecond;
  }
  // Rounded towards +infinity, so that a wait of 1 us does not become 0 ms.
  int64_t InMillisecondsRoundedUp() const;
  constexpr int64_t InMicroseconds() const { return delta_; }
  // For Win32 waits: INFINITE for Max(), 0 for negative spans.
  DWORD InMillisecondsForWait() const;

  constexpr TimeDelta operator+(TimeDelta other) const {
    return TimeDelta(SaturatedAdd(delta_, other.delta_));
  }
  constexpr TimeDelta operator-(TimeDelta other) const {
    return TimeDelta(SaturatedAdd(delta_, -other.delta_));
  }
  constexpr TimeDelta operator-() const { return TimeDelta(-delta_); }
  TimeDelta& operator+=(TimeDelta other) { return *this = *this + other; }
  TimeDelta& operator-=(TimeDelta other) { return *this = *this - other; }
  constexpr TimeDelta operator*(int64_t a) const {
    return TimeDelta(delta_ * a);
  }
  constexpr TimeDelta operator/(int64_t a) const {
    return TimeDelta(delta_ / a);
  }

  constexpr auto operator<=>(const TimeDelta&) const = default;

 private:
  friend class Time;
  friend class TimeTicks;
  constexpr explicit TimeDelta(int64_t us) : delta_(us) {}

  static constexpr int64_t SaturatedAdd(int64_t a, int64_t b) {
    if (b > 0 && a > std::numeric_limits<int64_t>::max() - b)
      return std::numeric_limits<int64_t>::max();
    if (b < 0 && a < std::numeric_limits<int64_t>::min() - b)
      return std::numeric_limits<int64_t>::min();
    return a + b;
  }

  int64_t delta_ = 0;
};

class Time {
 public:
  // Calendar fields; month 1-12, day_of_week 0 (Sunday) to 6.
  struct Exploded {
    int year = 0;
    int month = 0;
    int day_of_week = 0;
    int day_of_month = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;

    // Whether the fields name a real date and time.
    bool HasValidValues() const;
  };

  constexpr Time() = default;

  static Time Now();
  static constexpr Time UnixEpoch() { return Time(kTimeTToMicrosecondsOffset); }
  static constexpr Time FromInternalValue(int64_t us) { return Time(us); }
  static Time FromFileTime(FILETIME ft);
  static Time FromTimeT(time_t t);
  // Returns false, and a null time, for fields that name no time.
  static bool FromUTCExploded(const Exploded& exploded, Time* time);
  static bool FromLocalExploded(const Exploded& exploded, Time* time);

  constexpr bool is_null() const { return us_ == 0; }
  constexpr int64_t ToInternalValue() const { return us_; }
  FILETIME ToFileTime() const;
  time_t ToTimeT() const;
  // Milliseconds since the Unix epoch, as a double.
  double ToJsTime() const;

  void UTCExplode(Exploded* exploded) const { Explode(false, exploded); }
  void LocalExplode(Exploded* exploded) const { Explode(true, exploded); }

  constexpr Time operator+(TimeDelta d) const { return Time(us_ + d.delta_); }
  constexpr Time operator-(TimeDelta d) const { return Time(us_ - d.delta_); }
  constexpr TimeDelta operator-(Time other) const {
    return TimeDelta(us_ - other.us_);
  }
  Time& operator+=(TimeDelta d) { return *this = *this + d; }
  Time& operator-=(TimeDelta d) { return *this = *this - d; }
  constexpr auto operator<=>(const Time&) const = default;

  // Microseconds from 1601-01-01 to 1970-01-01.
  static constexpr int64_t kTimeTToMicrosecondsOffset = 11644473600000000LL;

 private:
  constexpr explicit Time(int64_t us) : us_(us) {}
  void Explode(bool is_local, Exploded* exploded) const;

  int64_t us_ = 0;
};

// A monotonic clock for measuring spans; not related to wall time.
class TimeTicks {
 public:
  constexpr TimeTicks() = default;
  static TimeTicks Now();
  static constexpr TimeTicks FromInternalValue(int64_t us) {
    return TimeTicks(us);
  }

  constexpr bool is_null() const { return us_ == 0; }
  constexpr int64_t ToInternalValue() const { return us_; }

  constexpr TimeTicks operator+(TimeDelta d) const {
    return TimeTicks(TimeDelta::SaturatedAdd(us_, d.delta_));
  }
  constexpr TimeTicks operator-(TimeDelta d) const {
    return TimeTicks(TimeDelta::SaturatedAdd(us_, -d.delta_));
  }
  constexpr TimeDelta operator-(TimeTicks other) const {
    return TimeDelta(us_ - other.us_);
  }
  TimeTicks& operator+=(TimeDelta d) { return *this = *this + d; }
  constexpr auto operator<=>(const TimeTicks&) const = default;

 private:
  constexpr explicit TimeTicks(int64_t us) : us_(us) {}
  int64_t us_ = 0;
};

}  // namespace base

#endif  // BASE_TIME_TIME_H_
