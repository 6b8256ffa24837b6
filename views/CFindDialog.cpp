// SPDX-License-Identifier: GPL-3.0-or-later
// Find dialog controls and their rules.
#include "CFindDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpressionValidator>

namespace restora {

namespace {
constexpr int kWidth = 372;
constexpr int kHeightHidden = 166;
constexpr int kHeightShown = 246;
}  // namespace

CFindDialog::CFindDialog(QWidget* parent)
    : QDialog(parent),
      pattern_(new QLineEdit(this)),
      search_(new QPushButton(QStringLiteral("&Search Now"), this)),
      cancel_(new QPushButton(QStringLiteral("Cancel"), this)),
      options_(new QPushButton(QStringLiteral("Show Options"), this)),
      matchCase_(new QCheckBox(QStringLiteral("&Match Case"))),
      sizeOn_(new QCheckBox(QStringLiteral("&Size"))),
      sizeMode_(new QComboBox),
      size_(new QLineEdit(QStringLiteral("1"))),
      kb_(new QLabel(QStringLiteral("KB"))),
      optionsPanel_(new QWidget(this)) {
  setWindowTitle(QStringLiteral("Find"));
  auto* banner = new QLabel(this);
  banner->setFixedHeight(36);
  banner->setAutoFillBackground(true);
  banner->setText(QStringLiteral("  Find entries of the scan by name and size"));
  QPalette palette = banner->palette();
  palette.setColor(QPalette::Window, QColor(0x4b, 0x6e, 0xaf));
  palette.setColor(QPalette::WindowText, Qt::white);
  banner->setPalette(palette);

  auto* findWhat = new QLabel(QStringLiteral("&Find What"), this);
  findWhat->setBuddy(pattern_);
  search_->setDefault(true);
  search_->setEnabled(false);
  sizeMode_->addItems({QStringLiteral("At most"), QStringLiteral("At least")});
  sizeMode_->setEnabled(false);
  size_->setEnabled(false);
  size_->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,9}")), size_));
  size_->installEventFilter(this);

  auto* optionsLayout = new QGridLayout(optionsPanel_);
  optionsLayout->setContentsMargins(0, 0, 0, 0);
  optionsLayout->addWidget(matchCase_, 0, 0, 1, 3);
  optionsLayout->addWidget(sizeOn_, 1, 0);
  optionsLayout->addWidget(sizeMode_, 1, 1);
  optionsLayout->addWidget(size_, 1, 2);
  optionsLayout->addWidget(kb_, 1, 3);
  optionsPanel_->hide();

  auto* layout = new QGridLayout(this);
  layout->addWidget(banner, 0, 0, 1, 3);
  layout->addWidget(findWhat, 1, 0);
  layout->addWidget(pattern_, 1, 1, 1, 2);
  layout->addWidget(options_, 2, 0);
  layout->addWidget(search_, 2, 1);
  layout->addWidget(cancel_, 2, 2);
  layout->addWidget(optionsPanel_, 3, 0, 1, 3);
  layout->setRowStretch(4, 1);
  layout->setSizeConstraint(QLayout::SetNoConstraint);
  setFixedSize(kWidth, kHeightHidden);

  connect(pattern_, &QLineEdit::textChanged, this, [this](const QString& text) { search_->setEnabled(!text.isEmpty()); });
  connect(options_, &QPushButton::clicked, this, &CFindDialog::OnToggleOptions);
  connect(sizeOn_, &QCheckBox::toggled, this, &CFindDialog::OnSizeFilterToggled);
  connect(search_, &QPushButton::clicked, this, [this] {
    if (ValidateSize()) accept();
  });
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
}

void CFindDialog::OnToggleOptions() {
  optionsShown_ = !optionsShown_;
  optionsPanel_->setVisible(optionsShown_);
  options_->setText(optionsShown_ ? QStringLiteral("&Hide Options") : QStringLiteral("&Show Options"));
  setFixedSize(kWidth, optionsShown_ ? kHeightShown : kHeightHidden);
}

void CFindDialog::OnSizeFilterToggled(bool on) {
  sizeMode_->setEnabled(on);
  size_->setEnabled(on);
}

QString CFindDialog::SizeError(const QString& text) {
  if (text.isEmpty()) return QStringLiteral("Please provide file size in KB.");
  bool ok = false;
  const qulonglong value = text.toULongLong(&ok, 10);
  if (!ok || value < 1) return QStringLiteral("Please enter value greater then zero.");
  return {};
}

bool CFindDialog::ValidateSize() {
  if (!sizeOn_->isChecked()) return true;
  const QString error = SizeError(size_->text());
  if (error.isEmpty()) {
    sizeKB_ = size_->text().toUInt();
    return true;
  }
  QMessageBox::critical(this, QStringLiteral("Error"), error);
  size_->setFocus();
  return false;
}

bool CFindDialog::eventFilter(QObject* watched, QEvent* event) {
  // Leaving the size edit checks it; a bad value keeps the focus there.
  if (watched == size_ && event->type() == QEvent::FocusOut && size_->isEnabled() && isVisible()) {
    const QString error = SizeError(size_->text());
    if (error.isEmpty()) {
      sizeKB_ = size_->text().toUInt();
    } else {
      QMetaObject::invokeMethod(this, [this] { ValidateSize(); }, Qt::QueuedConnection);
    }
  }
  return QDialog::eventFilter(watched, event);
}

FindSettings CFindDialog::Settings() const {
  FindSettings settings;
  const QString text = pattern_->text();
  settings.findText.assign(reinterpret_cast<const char16_t*>(text.utf16()), static_cast<size_t>(text.size()));
  settings.matchCase = matchCase_->isChecked();
  settings.sizeFilterOn = sizeOn_->isChecked();
  settings.sizeMode = sizeMode_->currentIndex() == 1 ? SizeMode::AtLeast : SizeMode::AtMost;
  settings.sizeKB = sizeKB_;
  return settings;
}

}  // namespace restora
