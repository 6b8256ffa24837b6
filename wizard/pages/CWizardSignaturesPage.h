// SPDX-License-Identifier: GPL-3.0-or-later
// The file-type page of Lost and Advanced File Recovery: the user ticks the known types to search
// for, narrows the list to one category and gives the largest size of a found file.
#pragma once

#include <QWizardPage>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QTableWidget;

namespace restora {

class StartupCheckBox;
class WizardPageHost;

class CWizardSignaturesPage : public QWizardPage {
  Q_OBJECT
 public:
  explicit CWizardSignaturesPage(WizardPageHost& host, QWidget* parent = nullptr);

  // Activation: shows the known types with their ticks; Finish stays off until the user changes a
  // tick or presses a button, even when types are ticked already.
  void initializePage() override;
  bool isComplete() const override;
  // Finish: builds the engine's list of the ticked types and logs how many there are.
  bool validatePage() override;
  int nextId() const override { return -1; }

  // Whether found files are cut where their format says the file ends (the box below the list).
  bool cutAtFormatEnd() const;
  static constexpr const char* kHelpTopic = "selectfiletypesforrecovery.htm";

  // For tests and the screenshots: the list, the category box and the buttons.
  QTableWidget* typeList() const { return m_typeList; }
  QComboBox* categoryBox() const { return m_categoryBox; }
  QLineEdit* sizeBox() const { return m_sizeBox; }

 public slots:
  void onSelectAll();
  void onDeselectAll();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void fillCategories();
  void showCategory();
  void setAllShown(uint8_t selected);
  void onListClick(const QPoint& position);
  void setFinishEnabled(bool enabled);
  void fitColumns();

  WizardPageHost& m_host;
  QLabel* m_caption;
  QComboBox* m_categoryBox;
  QTableWidget* m_typeList;
  QLineEdit* m_sizeBox;
  QCheckBox* m_cutBox;
  StartupCheckBox* m_startupBox;
  bool m_finishEnabled = false;
};

}  // namespace restora
