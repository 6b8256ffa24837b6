// SPDX-License-Identifier: GPL-3.0-or-later
// Rows, colours and the saved text of the process log.
#include "ProcessLogList.h"

#include <QFile>
#include <QHeaderView>

#include "ShellIcons.h"

namespace restora {

namespace {

const QColor kNewestRowColour(200, 200, 200);
const QString kHyphenLine(68, QLatin1Char('-'));

}  // namespace

ProcessLogList::ProcessLogList(QWidget* parent) : QTreeWidget(parent) {
  setObjectName(QStringLiteral("ProcessLogList"));
  setColumnCount(3);
  setHeaderLabels({QStringLiteral("Process Name"), QStringLiteral("Description"), QStringLiteral("Log Time")});
  setRootIsDecorated(false);
  setUniformRowHeights(true);
  setSelectionMode(QAbstractItemView::SingleSelection);
  header()->resizeSection(0, 265);
  header()->resizeSection(1, 299);
  header()->resizeSection(2, 576);
  header()->setStretchLastSection(true);
  setIconSize(QSize(16, 16));
}

QString ProcessLogList::LogTimeText(const QDateTime& time) {
  static const char* const kDays[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  const QDate date = time.date();
  const QTime clock = time.time();
  return QString::asprintf("%s %s %02d %04d %02d:%02d:%02d", kDays[date.dayOfWeek() - 1], kMonths[date.month() - 1],
                           date.day(), date.year(), clock.hour(), clock.minute(), clock.second());
}

void ProcessLogList::OnLogAddRow(LogEntry* entry) {
  if (entry == nullptr) return;
  entry->timeText = LogTimeText(m_clock());
  auto* row = new QTreeWidgetItem({entry->processText, entry->description, entry->timeText});
  row->setIcon(0, LogStateIcon(entry->state));
  row->setData(0, Qt::UserRole, static_cast<int>(entry->state));
  addTopLevelItem(row);
  MarkNewestRow();
  scrollToItem(row);
}

void ProcessLogList::OnClear() { clear(); }

void ProcessLogList::MarkNewestRow() {
  const int count = topLevelItemCount();
  for (int i = 0; i < count; ++i) {
    QTreeWidgetItem* row = topLevelItem(i);
    for (int column = 0; column < 3; ++column) {
      row->setBackground(column, i == count - 1 ? QBrush(kNewestRowColour) : QBrush(Qt::white));
      row->setForeground(column, QBrush(Qt::black));
    }
  }
}

QByteArray ProcessLogList::SavedText() const {
  QString text = QStringLiteral("------------------------Ferrolin Norvex v1.0.1  Process Log------------------------");
  text += QStringLiteral("\n\n\n") + kHyphenLine;
  for (int i = 0; i < topLevelItemCount(); ++i) {
    const QTreeWidgetItem* row = topLevelItem(i);
    text += QStringLiteral("\n") + row->text(0);
    text += QStringLiteral("\n\t\t") + row->text(1);
    text += QStringLiteral("\n\t\t") + row->text(2);
    text += QStringLiteral("\n") + kHyphenLine;
  }
  text.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
  return text.toUtf8();
}

bool ProcessLogList::SaveTo(const QString& path) const {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
  const QByteArray bytes = SavedText();
  if (file.write(bytes) != bytes.size()) return false;
  return file.flush() && file.error() == QFileDevice::NoError;
}

}  // namespace restora
