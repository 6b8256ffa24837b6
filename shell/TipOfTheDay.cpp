// SPDX-License-Identifier: GPL-3.0-or-later
// Reading, creating and showing the tips.
#include "TipOfTheDay.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QTextStream>
#include <QVBoxLayout>
#include <memory>

namespace restora {

namespace {

const char* const kSupportTip =
    "Did you know... if a recovery does not find what you lost, our technical support helps: call +1 555 0100 "
    "or write to support@ferrolin.example.";

const QString kShowAtStartupKey = QStringLiteral("Tips/StartUp");

std::unique_ptr<QSettings> UserSettings() {
  return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Ferrolin Restora 1.0"),
                                     QStringLiteral("Ferrolin Restora"));
}

QStringList ReadTips(const QString& path) {
  QFileInfo info(path);
  if (!info.exists() || info.isDir()) {
    QDir().mkpath(info.absolutePath());
    QFile file(path);
    if (!info.isDir() && file.open(QIODevice::WriteOnly | QIODevice::Text)) file.write(QByteArray(kSupportTip) + '\n');
  }
  QStringList tips;
  QFile file(path);
  if (file.open(QIODevice::ReadOnly | QIODevice::Text)) {
    QTextStream in(&file);
    while (!in.atEnd()) {
      const QString line = in.readLine().trimmed();
      if (!line.isEmpty() && !line.startsWith(QLatin1Char(';'))) tips << line;
    }
  }
  if (tips.isEmpty()) tips << QString::fromLatin1(kSupportTip);
  return tips;
}

}  // namespace

bool TipOfTheDay::ShowAtStartup() { return UserSettings()->value(kShowAtStartupKey, 1).toInt() != 0; }

QString TipOfTheDay::DefaultTipsFile() {
  return QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)).filePath(QStringLiteral("stips.txt"));
}

TipOfTheDay::TipOfTheDay(const QString& tipsFile, QWidget* parent) : QDialog(parent), m_tips(ReadTips(tipsFile)) {
  setObjectName(QStringLiteral("TipOfTheDay"));
  setWindowTitle(QStringLiteral("Tip of the Day"));
  auto* layout = new QVBoxLayout(this);
  auto* heading = new QLabel(QStringLiteral("<b>Did you know...</b>"), this);
  m_text = new QLabel(this);
  m_text->setWordWrap(true);
  m_text->setMinimumSize(360, 90);
  m_text->setAlignment(Qt::AlignTop | Qt::AlignLeft);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  QPushButton* next = buttons->addButton(QStringLiteral("&Next Tip"), QDialogButtonBox::ActionRole);
  layout->addWidget(heading);
  layout->addWidget(m_text, 1);
  auto* atStartup = new QCheckBox(QStringLiteral("&Show tips on startup"), this);
  atStartup->setChecked(ShowAtStartup());
  connect(atStartup, &QCheckBox::toggled, this, [](bool on) { UserSettings()->setValue(kShowAtStartupKey, on ? 1 : 0); });
  layout->addWidget(atStartup);
  layout->addWidget(buttons);
  connect(next, &QPushButton::clicked, this, &TipOfTheDay::ShowNext);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::accept);
  m_text->setText(m_tips.front());
}

QString TipOfTheDay::CurrentTip() const { return m_tips.at(m_index); }

void TipOfTheDay::ShowNext() {
  m_index = (m_index + 1) % m_tips.size();
  m_text->setText(m_tips.at(m_index));
}

}  // namespace restora
