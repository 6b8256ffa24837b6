// SPDX-License-Identifier: GPL-3.0-or-later
// The Find dialog: a name pattern, and behind "Show Options" the case and size filters.
#pragma once

#include <QDialog>

#include "FindSession.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace restora {

class CFindDialog final : public QDialog {
  Q_OBJECT
 public:
  explicit CFindDialog(QWidget* parent = nullptr);

  FindSettings Settings() const;
  bool OptionsShown() const { return optionsShown_; }

  // The message for a size text, empty when the text is a valid size.
  static QString SizeError(const QString& text);

  QLineEdit* PatternEdit() const { return pattern_; }
  QPushButton* SearchButton() const { return search_; }
  QPushButton* OptionsButton() const { return options_; }
  QCheckBox* MatchCaseBox() const { return matchCase_; }
  QCheckBox* SizeBox() const { return sizeOn_; }
  QComboBox* SizeModeList() const { return sizeMode_; }
  QLineEdit* SizeEdit() const { return size_; }

 public slots:
  void OnToggleOptions();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void OnSizeFilterToggled(bool on);
  bool ValidateSize();

  QLineEdit* pattern_;
  QPushButton* search_;
  QPushButton* cancel_;
  QPushButton* options_;
  QCheckBox* matchCase_;
  QCheckBox* sizeOn_;
  QComboBox* sizeMode_;
  QLineEdit* size_;
  QLabel* kb_;
  QWidget* optionsPanel_;
  uint32_t sizeKB_ = 1;
  bool optionsShown_ = false;
};

}  // namespace restora
