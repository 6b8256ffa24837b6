// SPDX-License-Identifier: GPL-3.0-or-later
// The process log: one row per job start and end and per confirmed wizard choice, saved on
// request as a text file.
#pragma once

#include <QDateTime>
#include <QTreeWidget>
#include <functional>

#include "LogEntry.h"

namespace restora {

class ProcessLogList : public QTreeWidget {
  Q_OBJECT

 public:
  explicit ProcessLogList(QWidget* parent = nullptr);

  // The time text of a row, "Tue Dec 05 2006 14:03:59": English day and month names whatever
  // the locale, two-digit day, then year, then the time.
  static QString LogTimeText(const QDateTime& time);

  // The whole saved file: banner, hyphen lines and three lines per row, CR LF line breaks.
  QByteArray SavedText() const;

  // Writes SavedText to path. Returns true when every byte was written.
  bool SaveTo(const QString& path) const;

  bool HasRows() const { return topLevelItemCount() > 0; }
  // Where new rows take their time from (the local clock unless replaced).
  void SetClock(std::function<QDateTime()> clock) { m_clock = std::move(clock); }

 public slots:
  // Appends a row with copies of the entry's texts; sets the entry's timeText to now.
  void OnLogAddRow(restora::LogEntry* entry);
  void OnClear();

 private:
  void MarkNewestRow();
  std::function<QDateTime()> m_clock = [] { return QDateTime::currentDateTime(); };
};

}  // namespace restora
