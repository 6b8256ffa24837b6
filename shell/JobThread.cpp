// SPDX-License-Identifier: GPL-3.0-or-later
// The four job bodies and their log rows.
#include "JobThread.h"

#include "WholePercent.h"

namespace restora {

// Passes progress on only when the whole percent changes (all the dialog can show), so the
// engine does not wait for the window at every step; holds the job at the pause gate.
class JobThread::Sink final : public ProgressSink {
 public:
  explicit Sink(JobThread& thread) : m_thread(thread) {}
  void Progress(uint64_t done, uint64_t total) override {
    uint32_t percent = 0;
    const bool shown = WholePercent(done, total, &percent);
    if (m_sent && total == m_lastTotal && shown == m_lastShown && percent == m_lastPercent) return;
    m_sent = true;
    m_lastTotal = total;
    m_lastShown = shown;
    m_lastPercent = percent;
    emit m_thread.umProgress(done, total);
  }
  void Checkpoint() override { m_thread.m_gate.Pass(); }

 private:
  JobThread& m_thread;
  bool m_sent = false;
  bool m_lastShown = false;
  uint64_t m_lastTotal = 0;
  uint32_t m_lastPercent = 0;
};

// Logs every entry the save could not write whole, as its own row.
class JobThread::SaveLog final : public SaveListener {
 public:
  explicit SaveLog(JobThread& thread) : m_thread(thread) {}
  void EntrySaved(const SavedEntry& saved) override {
    if (saved.outcome == SaveOutcome::Written && saved.leftOut == 0) return;
    LogEntry row;
    row.state = LogState::Aborted;
    row.processText = QStringLiteral("Failed to save ") + QString::fromStdString(saved.path);
    switch (saved.outcome) {
      case SaveOutcome::Written:
        row.description = QStringLiteral("%1 entries below it not saved").arg(saved.leftOut);
        break;
      case SaveOutcome::Incomplete: row.description = QStringLiteral("a read or write failed; the file is incomplete"); break;
      case SaveOutcome::NotCreated: row.description = QString::fromStdString(saved.reason); break;
      case SaveOutcome::NotEntered:
        row.description = QStringLiteral("cannot enter: ") + QString::fromStdString(saved.reason);
        break;
    }
    emit m_thread.umLogEntry(&row);
  }

 private:
  JobThread& m_thread;
};

JobThread::JobThread(EngineState& engine, JobKind kind, std::shared_ptr<LogEntry> entry, PauseGate& gate,
                     QObject* parent)
    : QThread(parent), m_engine(engine), m_entry(std::move(entry)), m_gate(gate) {
  m_request.kind = kind;
  if (!m_entry) m_entry = std::make_shared<LogEntry>();
}

JobThread::~JobThread() = default;

void JobThread::SetDestination(std::unique_ptr<Destination> destination, const QString& folder) {
  m_destination = std::move(destination);
  m_destinationFolder = folder;
  m_request.destination = m_destination.get();
}

void JobThread::run() {
  Sink sink(*this);
  ProgressSink* previous = m_engine.progress;
  m_engine.progress = &sink;
  switch (m_request.kind) {
    case JobKind::DirectoryScanJob: RunDirectoryScan(); break;
    case JobKind::SaveJob: RunSave(); break;
    case JobKind::SignatureSearchJob: RunSignatureSearch(); break;
    case JobKind::ImagingJob: RunImaging(); break;
  }
  m_engine.progress = previous;
  emit umJobDone();
}

void JobThread::RunDirectoryScan() {
  // The wizard leaves "Selected " and the drive's label; an image opened by Image Processing
  // has its text already.
  if (!m_imageSourceOpened) {
    m_entry->processText = QStringLiteral("Processing directory structure for ") + m_entry->processText.mid(9);
  }
  RunWithLogRow(m_entry->processText);
  emit umFillTree();
}

void JobThread::RunSignatureSearch() {
  m_entry->processText = QStringLiteral("Searching for known file type(s)");
  m_entry->description = QString(28, QLatin1Char('-'));
  RunWithLogRow(QStringLiteral("searching for known file type(s)"));
  emit umFillTree();
}

void JobThread::RunSave() {
  m_entry->processText = QStringLiteral("Saving checked entries to ") + m_destinationFolder;
  m_entry->description = QString(28, QLatin1Char('-'));
  m_entry->state = LogState::Running;
  SendEntry();
  SaveLog log(*this);
  m_request.listener = &log;
  m_result = RunJob(m_engine, m_request, &m_report);
  m_request.listener = nullptr;
  const SaveSummary& summary = m_report.save;
  const bool whole = m_result == 1 && summary.Failures() == 0 && summary.destinationError.empty();
  m_entry->state = whole ? LogState::Completed : LogState::Aborted;
  m_entry->processText = (whole ? QStringLiteral("Completed saving checked entries to ")
                                : QStringLiteral("Aborted saving checked entries to ")) +
                         m_destinationFolder;
  m_entry->description = QStringLiteral("%1 written, %2 incomplete, %3 failed")
                             .arg(summary.written)
                             .arg(summary.incomplete)
                             .arg(summary.failed);
  if (!summary.destinationError.empty()) m_entry->description += QStringLiteral("; ") + QString::fromStdString(summary.destinationError);
  SendEntry();
}

void JobThread::RunImaging() { RunWithLogRow(m_entry->processText); }

void JobThread::RunWithLogRow(QString text) {
  m_entry->state = LogState::Running;
  SendEntry();
  m_result = RunJob(m_engine, m_request, &m_report);
  m_entry->state = m_result == 1 ? LogState::Completed : LogState::Aborted;
  m_entry->processText = (m_result == 1 ? QStringLiteral("Completed ") : QStringLiteral("Aborted ")) + text;
  SendEntry();
}

}  // namespace restora
