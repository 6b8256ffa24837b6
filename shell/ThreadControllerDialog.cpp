// SPDX-License-Identifier: GPL-3.0-or-later
// Progress, elapsed time and the stop question of a running job.
#include "ThreadControllerDialog.h"

#include <QGridLayout>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTimerEvent>
#include <QVBoxLayout>

#include "BusyIndicator.h"
#include "PauseGate.h"
#include "ShellIcons.h"
#include "WholePercent.h"

namespace restora {

CThreadControllerDialog::CThreadControllerDialog(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("ThreadControllerDialog"));
  setWindowTitle(QStringLiteral("Task Progress"));
  setModal(true);
  setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

  auto* banner = new QLabel(this);
  banner->setPixmap(QIcon(QStringLiteral(":/restora/banner.svg")).pixmap(QSize(420, 54)));
  banner->setFixedHeight(54);
  banner->setScaledContents(true);

  QFont labelFont(QStringLiteral("Verdana"));
  labelFont.setPixelSize(12);
  auto* progressLabel = new QLabel(QStringLiteral("Progress"), this);
  progressLabel->setFont(labelFont);
  m_percent = new QLabel(QStringLiteral("0%"), this);
  m_percent->setObjectName(QStringLiteral("percent"));
  m_percent->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  m_bar = new QProgressBar(this);
  m_bar->setRange(0, 100);
  m_bar->setTextVisible(false);
  m_bar->setFixedHeight(14);
  auto* elapsedLabel = new QLabel(QStringLiteral("Elapsed Time"), this);
  elapsedLabel->setFont(labelFont);
  m_elapsed = new QLabel(QStringLiteral("00:00:00"), this);
  m_elapsed->setObjectName(QStringLiteral("elapsed"));
  m_stopButton = new QPushButton(ShellIcon(ShellIconId::Stop), QStringLiteral("&Stop"), this);
  m_stopButton->setAutoDefault(false);
  connect(m_stopButton, &QPushButton::clicked, this, &CThreadControllerDialog::OnStop);

  // The banner spans the dialog; the controls sit below it with a margin.
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->addWidget(banner);
  auto* grid = new QGridLayout;
  grid->setContentsMargins(10, 0, 10, 10);
  grid->setHorizontalSpacing(8);
  outer->addLayout(grid);
  grid->addWidget(new BusyIndicator(this), 0, 3, Qt::AlignRight);
  grid->addWidget(progressLabel, 1, 0);
  grid->addWidget(m_percent, 1, 3);
  grid->addWidget(m_bar, 2, 0, 1, 4);
  grid->addWidget(elapsedLabel, 3, 0);
  grid->addWidget(m_elapsed, 3, 1);
  grid->addWidget(m_stopButton, 3, 3);
  grid->setColumnStretch(2, 1);
  setFixedSize(420, 200);
}

void CThreadControllerDialog::Attach(std::atomic<uint32_t>* keepRunning, PauseGate* gate) {
  m_keepRunning = keepRunning;
  m_gate = gate;
}

void CThreadControllerDialog::Prepare() {
  m_lastPercent = 0;
  m_bar->setValue(0);
  m_percent->setText(QStringLiteral("0%"));
  m_elapsed->setText(QStringLiteral("00:00:00"));
  if (m_timerId != 0) killTimer(m_timerId);
  m_timerId = startTimer(1000);
  m_startTime.start();
}

QString CThreadControllerDialog::ElapsedText(int64_t seconds) {
  const uint64_t e = seconds < 0 ? 0 : static_cast<uint64_t>(seconds);
  const uint64_t hours = e / 3600;
  const uint64_t minutes = e / 60;
  const uint64_t days = e / 86400;
  return QString::asprintf("%02u:%02u:%02u", static_cast<unsigned>(hours - 24 * days),
                           static_cast<unsigned>(minutes - 60 * hours), static_cast<unsigned>(e - 60 * minutes));
}

QString CThreadControllerDialog::PercentText() const { return m_percent->text(); }
QString CThreadControllerDialog::ElapsedTimeText() const { return m_elapsed->text(); }
int CThreadControllerDialog::BarValue() const { return m_bar->value(); }

void CThreadControllerDialog::OnSetProgress(quint64 done, quint64 total) {
  uint32_t percent = 0;
  if (!WholePercent(done, total, &percent) || percent == m_lastPercent) return;
  m_bar->setValue(static_cast<int>(percent));
  m_lastPercent = percent;
  m_percent->setText(QString::asprintf("%u%%", percent));
}

void CThreadControllerDialog::OnElapsed(qint64 seconds) { m_elapsed->setText(ElapsedText(seconds)); }

void CThreadControllerDialog::timerEvent(QTimerEvent* event) {
  if (event->timerId() != m_timerId) return QDialog::timerEvent(event);
  OnElapsed(m_startTime.elapsed() / 1000);
}

void CThreadControllerDialog::OnCloseProgress() {
  if (m_timerId != 0) killTimer(m_timerId);
  m_timerId = 0;
  // A job that ends while the stop question is open takes the question with it.
  if (m_question) m_question->done(QMessageBox::No);
  done(-1);
}

void CThreadControllerDialog::OnStop() {
  if (m_keepRunning == nullptr || m_question) return;
  // The job waits at its next checkpoint while the user decides, so it reads nothing meanwhile.
  if (m_gate != nullptr) m_gate->Close();
  if (m_keepRunning->load() == 1) {
    QMessageBox question(QMessageBox::Question, QStringLiteral("Confirm"), QStringLiteral("Do you want to stop process?"),
                         QMessageBox::Yes | QMessageBox::No, this);
    question.setObjectName(QStringLiteral("StopQuestion"));
    m_question = &question;
    const int answer = question.exec();
    m_question = nullptr;
    if (answer == QMessageBox::Yes) m_keepRunning->store(0);
  }
  if (m_gate != nullptr) m_gate->Open();
}

}  // namespace restora
