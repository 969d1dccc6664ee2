#include "base/time/time.h"

#include <cmath>

namespace base {

namespace {

constexpr int64_t kFileTimeUnitsPerMicrosecond = 10;

FILETIME MicrosecondsToFileTime(int64_t us) {
  uint64_t units = static_cast<uint64_t>(us) * kFileTimeUnitsPerMicrosecond;
  FILETIME ft;
  ft.dwLowDateTime = static_cast<DWORD>(units);
  ft.dwHighDateTime = static_cast<DWORD>(units >> 32);
  return ft;
}

int64_t FileTimeToMicroseconds(const FILETIME& ft) {
  uint64_t units =
      (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
  return static_cast<int64_t>(units / kFileTimeUnitsPerMicrosecond);
}

SYSTEMTIME ExplodedToSystemTime(const Time::Exploded& e) {
  SYSTEMTIME st = {};
  st.wYear = static_cast<WORD>(e.year);
  st.wMonth = static_cast<WORD>(e.month);
  st.wDayOfWeek = static_cast<WORD>(e.day_of_week);
  st.wDay = static_cast<WORD>(e.day_of_month);
  st.wHour = static_cast<WORD>(e.hour);
  st.wMinute = static_cast<WORD>(e.minute);
  st.wSecond = static_cast<WORD>(e.second);
  st.wMilliseconds = static_cast<WORD>(e.millisecond);
  return st;
}

}  // namespace

int64_t TimeDelta::InMillisecondsRoundedUp() const {
  int64_t ms = delta_ / kMicrosecondsPerMillisecond;
  if (delta_ > 0 && delta_ % kMicrosecondsPerMillisecond != 0)
    ++ms;
  return ms;
}

DWORD TimeDelta::InMillisecondsForWait() const {
  if (is_max())
    return INFINITE;
  if (delta_ <= 0)
    return 0;
  int64_t ms = InMillisecondsRoundedUp();
  // INFINITE itself is reserved for "no limit".
  return ms >= INFINITE ? INFINITE - 1 : static_cast<DWORD>(ms);
}

bool Time::Exploded::HasValidValues() const {
  return year >= 1601 && year <= 30827 && month >= 1 && month <= 12 &&
         day_of_month >= 1 && day_of_month <= 31 && hour >= 0 && hour <= 23 &&
         minute >= 0 && minute <= 59 && second >= 0 && second <= 59 &&
         millisecond >= 0 && millisecond <= 999;
}

// static
Time Time::Now() {
  FILETIME ft;
  ::GetSystemTimeAsFileTime(&ft);
  return FromFileTime(ft);
}

// static
Time Time::FromFileTime(FILETIME ft) {
  return Time(FileTimeToMicroseconds(ft));
}

// static
Time Time::FromTimeT(time_t t) {
  if (t == 0)
    return Time();
  return Time(static_cast<int64_t>(t) * TimeDelta::kMicrosecondsPerSecond +
              kTimeTToMicrosecondsOffset);
}

FILETIME Time::ToFileTime() const {
  return MicrosecondsToFileTime(us_);
}

time_t Time::ToTimeT() const {
  if (is_null())
    return 0;
  return static_cast<time_t>((us_ - kTimeTToMicrosecondsOffset) /
                             TimeDelta::kMicrosecondsPerSecond);
}

double Time::ToJsTime() const {
  if (is_null())
    return 0;
  return static_cast<double>(us_ - kTimeTToMicrosecondsOffset) /
         TimeDelta::kMicrosecondsPerMillisecond;
}

// static
bool Time::FromUTCExploded(const Exploded& exploded, Time* time) {
  *time = Time();
  if (!exploded.HasValidValues())
    return false;
  SYSTEMTIME st = ExplodedToSystemTime(exploded);
  FILETIME ft;
  if (!::SystemTimeToFileTime(&st, &ft))
    return false;
  *time = FromFileTime(ft);
  return true;
}

// static
bool Time::FromLocalExploded(const Exploded& exploded, Time* time) {
  *time = Time();
  if (!exploded.HasValidValues())
    return false;
  SYSTEMTIME local = ExplodedToSystemTime(exploded);
  SYSTEMTIME utc;
  FILETIME ft;
  if (!::TzSpecificLocalTimeToSystemTime(nullptr, &local, &utc) ||
      !::SystemTimeToFileTime(&utc, &ft)) {
    return false;
  }
  *time = FromFileTime(ft);
  return true;
}

void Time::Explode(bool is_local, Exploded* exploded) const {
  *exploded = Exploded();
  if (us_ < 0)
    return;
  FILETIME ft = ToFileTime();
  SYSTEMTIME utc, st;
  if (!::FileTimeToSystemTime(&ft, &utc))
    return;
  if (is_local) {
    if (!::SystemTimeToTzSpecificLocalTime(nullptr, &utc, &st))
      return;
  } else {
    st = utc;
  }
  exploded->year = st.wYear;
  exploded->month = st.wMonth;
  exploded->day_of_week = st.wDayOfWeek;
  exploded->day_of_month = st.wDay;
  exploded->hour = st.wHour;
  exploded->minute = st.wMinute;
  exploded->second = st.wSecond;
  exploded->millisecond = st.wMilliseconds;
}

// static
TimeTicks TimeTicks::Now() {
  static const int64_t frequency = [] {
    LARGE_INTEGER f;
    ::QueryPerformanceFrequency(&f);
    return f.QuadPart;
  }();
  LARGE_INTEGER counter;
  ::QueryPerformanceCounter(&counter);
  // Split to avoid overflowing counter * 1e6 after long uptimes.
  int64_t whole_seconds = counter.QuadPart / frequency;
  int64_t rest = counter.QuadPart % frequency;
  return TimeTicks(whole_seconds * TimeDelta::kMicrosecondsPerSecond +
                   rest * TimeDelta::kMicrosecondsPerSecond / frequency);
}

}  // namespace base
