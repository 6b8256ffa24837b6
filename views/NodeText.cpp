// SPDX-License-Identifier: GPL-3.0-or-later
// Row texts of the contents list.
#include "NodeText.h"

#include <chrono>

#include "FolderIndex.h"

namespace restora {

namespace {

constexpr uint64_t kFileTimeTicksPerDay = 864000000000ULL;  // 100 ns ticks
// Days from 1601-01-01 (the FILETIME epoch) to 1970-01-01.
constexpr int64_t kFileTimeEpochDays = 134774;

QString DayText(int64_t year, unsigned month, unsigned day) {
  return QString::asprintf("%02u-%02u-%lld", day, month, static_cast<long long>(year));
}

QString DayText(std::chrono::year_month_day date) {
  return DayText(static_cast<int>(date.year()), static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()));
}

// The calendar day of a FILETIME. Computed here in 64 bits, since a FILETIME reaches beyond the
// years a std::chrono::year holds.
QString FileTimeDayText(uint64_t fileTime) {
  // Days counted from 0000-03-01, so that leap days end each 4-, 100- and 400-year cycle.
  const int64_t days = static_cast<int64_t>(fileTime / kFileTimeTicksPerDay) - kFileTimeEpochDays + 719468;
  const int64_t era = days / 146097;
  const int64_t dayOfEra = days - era * 146097;
  const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const int64_t shiftedMonth = (5 * dayOfYear + 2) / 153;
  const auto day = static_cast<unsigned>(dayOfYear - (153 * shiftedMonth + 2) / 5 + 1);
  const auto month = static_cast<unsigned>(shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9);
  return DayText(yearOfEra + era * 400 + (month <= 2 ? 1 : 0), month, day);
}

std::chrono::year_month_day FatDay(uint16_t fatDate) {
  return std::chrono::year_month_day{std::chrono::year{1980 + (fatDate >> 9)},
                                     std::chrono::month{static_cast<unsigned>((fatDate >> 5) & 0x0F)},
                                     std::chrono::day{static_cast<unsigned>(fatDate & 0x1F)}};
}

}  // namespace

QString FileTimeDateText(uint64_t fileTime) { return FileTimeDayText(fileTime); }

QString FatDateText(uint16_t fatDate) {
  const auto day = FatDay(fatDate);
  return day.ok() ? DayText(day) : QString();
}

QString AttributeText(uint16_t attributes, bool ntfsLayout) {
  QString text = QString::fromLatin1(ntfsLayout ? "-EIOC--TNDA--SHR" : "--ADVSHR");
  uint32_t bit = ntfsLayout ? 0x8000 : 0x80;
  for (int i = 0; i < text.size(); ++i, bit >>= 1) {
    if ((attributes & bit) == 0) text[i] = QLatin1Char('_');
  }
  return text;
}

QString CellText(const ScanNode& node, ListColumn column, bool ntfsLayout) {
  switch (column) {
    case ListColumn::Name:
      return QString::fromUtf16(node.name.data(), static_cast<qsizetype>(node.name.size()));
    case ListColumn::Size:
      return IsFolderLike(node) ? QStringLiteral("0") : QString::number(node.size);
    case ListColumn::Modified:
      return ntfsLayout ? FileTimeDateText(node.modified) : FatDateText(node.modifiedDate);
    case ListColumn::Created:
      return ntfsLayout ? FileTimeDateText(node.created) : FatDateText(node.createdDate);
    case ListColumn::Attribute:
      return AttributeText(node.attributes, ntfsLayout);
    case ListColumn::FileId:
      return QString::number(node.id);
    case ListColumn::ParentId:
      return QString::number(node.parentId);
    case ListColumn::Count:
      break;
  }
  return {};
}

uint64_t DateKey(const ScanNode& node, ListColumn column, bool ntfsLayout) {
  const bool modified = column == ListColumn::Modified;
  if (ntfsLayout) return (modified ? node.modified : node.created) / kFileTimeTicksPerDay + 1;
  const auto day = FatDay(modified ? node.modifiedDate : node.createdDate);
  if (!day.ok()) return 0;
  return static_cast<uint64_t>(std::chrono::sys_days{day}.time_since_epoch().count() + kFileTimeEpochDays) + 1;
}

}  // namespace restora
