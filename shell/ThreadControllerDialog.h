// SPDX-License-Identifier: GPL-3.0-or-later
// The modal progress dialog of a running job: bar, percentage, elapsed time and Stop. Only the
// job's end closes it.
#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <QPointer>
#include <atomic>
#include <cstdint>

class QLabel;
class QMessageBox;
class QProgressBar;
class QPushButton;

namespace restora {

class PauseGate;

class CThreadControllerDialog : public QDialog {
  Q_OBJECT

 public:
  explicit CThreadControllerDialog(QWidget* parent = nullptr);

  // The job the Stop button controls: its stop flag and the gate its checkpoints pass.
  void Attach(std::atomic<uint32_t>* keepRunning, PauseGate* gate);

  // Resets the texts and the clock for a new job. Called right before the modal run.
  void Prepare();

  // "HH:MM:SS" of a run of seconds; the hours wrap to 00 after a day.
  static QString ElapsedText(int64_t seconds);

  QString PercentText() const;
  QString ElapsedTimeText() const;
  int BarValue() const;
  // The open "Do you want to stop process?" question, or null.
  QMessageBox* StopQuestion() const { return m_question; }
  QPushButton* StopButton() const { return m_stopButton; }

 public slots:
  void OnSetProgress(quint64 done, quint64 total);
  void OnCloseProgress();
  void OnStop();
  // Shows seconds of elapsed time (the clock tick passes the seconds since the dialog opened).
  void OnElapsed(qint64 seconds);

 protected:
  void reject() override {}  // Escape and the close box do not end a running job
  void timerEvent(QTimerEvent* event) override;

 private:
  uint32_t m_lastPercent = 0;
  int m_timerId = 0;
  QElapsedTimer m_startTime;
  QLabel* m_percent = nullptr;
  QLabel* m_elapsed = nullptr;
  QProgressBar* m_bar = nullptr;
  QPushButton* m_stopButton = nullptr;
  QPointer<QMessageBox> m_question;
  std::atomic<uint32_t>* m_keepRunning = nullptr;
  PauseGate* m_gate = nullptr;
};

}  // namespace restora
