// SPDX-License-Identifier: GPL-3.0-or-later
// Converting NTFS and FAT entry times to times of the saved file.
#include "EntryTimes.h"

#include <ctime>

#include "FatDirEntry.h"

namespace restora {

namespace {

constexpr uint64_t kFiletimePerSecond = 10000000;           // 100-ns steps
constexpr uint64_t kFiletimeOf1970 = 116444736000000000ull;  // 1970-01-01 in FILETIME steps

bool FromFiletime(uint64_t filetime, int64_t& seconds, uint32_t& nanos) {
  if (filetime < kFiletimeOf1970) return false;
  const uint64_t since1970 = filetime - kFiletimeOf1970;
  seconds = static_cast<int64_t>(since1970 / kFiletimePerSecond);
  nanos = static_cast<uint32_t>(since1970 % kFiletimePerSecond * 100);
  return true;
}

// A FAT date (and time of day) in the local time zone. Returns false for a date that is no
// calendar day (month or day 0, a day past 31).
bool FromFatLocal(uint16_t date, uint16_t timeOfDay, int64_t& seconds) {
  const int day = date & 0x1F;
  const int month = (date >> 5) & 0x0F;
  if (day == 0 || month == 0 || month > 12) return false;
  std::tm local{};
  local.tm_year = 80 + (date >> 9);
  local.tm_mon = month - 1;
  local.tm_mday = day;
  local.tm_hour = timeOfDay >> 11;
  local.tm_min = (timeOfDay >> 5) & 0x3F;
  local.tm_sec = (timeOfDay & 0x1F) * 2;
  local.tm_isdst = -1;  // whatever daylight saving held on that day
  const std::time_t t = std::mktime(&local);
  if (t == static_cast<std::time_t>(-1)) return false;
  seconds = static_cast<int64_t>(t);
  return true;
}

}  // namespace

EntryTimes EntryTimesOf(const EngineState& state, const ScanNode& node) {
  EntryTimes times;
  if (node.carveSource != kCarveNone) return times;
  if (state.NtfsLayout()) {
    times.known = FromFiletime(node.modified, times.modifiedSeconds, times.modifiedNanos);
    times.accessedSeconds = times.modifiedSeconds;
    times.accessedNanos = times.modifiedNanos;
    return times;
  }
  // The full stamp when the scan kept it, else the stored last-write date alone.
  const bool stamped = FatStampDate(node.modified) == node.modifiedDate && node.modified != 0;
  const uint16_t time = stamped ? FatStampTime(node.modified) : 0;
  times.known = FromFatLocal(node.modifiedDate, time, times.modifiedSeconds);
  if (!times.known) return times;
  if (!stamped || !FromFatLocal(FatStampAccessDate(node.created), 0, times.accessedSeconds)) {
    times.accessedSeconds = times.modifiedSeconds;
  }
  return times;
}

}  // namespace restora
