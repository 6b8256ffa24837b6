// SPDX-License-Identifier: GPL-3.0-or-later
// The worker thread of one job. It reaches the window only through its signals, each connected
// blocking, so it waits while the window handles them, as a sent message makes a sender wait.
#pragma once

#include <QThread>
#include <memory>

#include "EngineState.h"
#include "JobRunner.h"
#include "LogEntry.h"
#include "PauseGate.h"

namespace restora {

class JobThread : public QThread {
  Q_OBJECT

 public:
  // entry is the job's log entry; the thread changes its texts and sends it.
  JobThread(EngineState& engine, JobKind kind, std::shared_ptr<LogEntry> entry, PauseGate& gate,
            QObject* parent = nullptr);
  ~JobThread() override;

  JobKind Kind() const { return m_request.kind; }
  // A DirectoryScanJob on an image file opened by Image Processing keeps the entry's text.
  void SetImageSourceOpened(bool opened) { m_imageSourceOpened = opened; }
  void SetImageFilePath(const std::string& path) { m_request.imageFilePath = path; }
  // The destination of a SaveJob; the thread keeps it until it ends.
  void SetDestination(std::unique_ptr<Destination> destination, const QString& folder);

  // After the job: the engine's result and what the job reported.
  int Result() const { return m_result; }
  const JobReport& Report() const { return m_report; }

 signals:
  void umLogEntry(restora::LogEntry* entry);
  void umProgress(quint64 done, quint64 total);
  void umFillTree();
  void umJobDone();

 protected:
  void run() override;

 private:
  class Sink;
  class SaveLog;
  void RunDirectoryScan();
  void RunSignatureSearch();
  void RunSave();
  void RunImaging();
  // Runs the request with the log row running, then marks it "Completed TEXT" or "Aborted TEXT".
  void RunWithLogRow(QString text);
  void SendEntry() { emit umLogEntry(m_entry.get()); }

  EngineState& m_engine;
  JobRequest m_request;
  JobReport m_report;
  std::shared_ptr<LogEntry> m_entry;
  PauseGate& m_gate;
  std::unique_ptr<Destination> m_destination;
  QString m_destinationFolder;
  bool m_imageSourceOpened = false;
  int m_result = 0;
};

}  // namespace restora
