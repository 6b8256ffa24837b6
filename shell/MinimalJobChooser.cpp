// SPDX-License-Identifier: GPL-3.0-or-later
// The job and source chooser.
#include "MinimalJobChooser.h"

#include <QButtonGroup>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "JobRunner.h"
#include "KnownTypes.h"
#include "ScanDriver.h"
#include "SignatureFile.h"
#include "SourceGuard.h"

namespace restora {

namespace {

QLineEdit* PathRow(QFormLayout* form, const QString& label, QWidget* owner, bool folder) {
  auto* row = new QHBoxLayout;
  auto* edit = new QLineEdit(owner);
  auto* browse = new QPushButton(QStringLiteral("Browse..."), owner);
  row->addWidget(edit, 1);
  row->addWidget(browse);
  form->addRow(label, row);
  QObject::connect(browse, &QPushButton::clicked, owner, [edit, owner, folder] {
    const QString path = folder ? QFileDialog::getExistingDirectory(owner, QString(), edit->text())
                                : QFileDialog::getOpenFileName(owner, QString(), edit->text(),
                                                               QStringLiteral("Image File (*.qxi);;All Files (*)"));
    if (!path.isEmpty()) edit->setText(path);
  });
  return edit;
}

// Opens the source and prepares the engine for the job. Returns an empty text when ready, the
// reason otherwise.
QString PrepareEngine(EngineState& engine, uint8_t job, const QString& source, uint32_t* typeCount) {
  std::string error;
  if (!OpenJobSource(engine, source.toStdString(), job == 3, &error)) return QString::fromStdString(error);
  if (job == 2 || job == 3) {
    std::vector<SignatureRecord> fullList;
    if (!LoadKnownTypes(engine, fullList, &error)) {
      CleanUp(engine);
      return QString::fromStdString(error);
    }
    for (SignatureRecord& record : fullList) record.selected = 1;
    engine.signatureList = BuildSelectedList(fullList, kDefaultMaxSizeText, *typeCount);
  }
  return {};
}

}  // namespace

WizardOutcome RunMinimalJobChooser(QWidget* parent, EngineState& engine, const LogSender& sendLog) {
  QDialog dialog(parent);
  dialog.setObjectName(QStringLiteral("MinimalJobChooser"));
  dialog.setWindowTitle(QStringLiteral("Ferrolin Restora Wizard"));
  auto* layout = new QVBoxLayout(&dialog);
  auto* jobs = new QButtonGroup(&dialog);
  const char* const kJobs[] = {"Fast File Recovery", "Lost File Recovery", "Advanced File Recovery", "Create Image"};
  for (int job = 1; job <= 4; ++job) {
    auto* button = new QRadioButton(QString::fromLatin1(kJobs[job - 1]), &dialog);
    jobs->addButton(button, job);
    layout->addWidget(button);
  }
  jobs->button(1)->setChecked(true);
  auto* form = new QFormLayout;
  layout->addLayout(form);
  QLineEdit* source = PathRow(form, QStringLiteral("Source (image file or device):"), &dialog, false);
  QLineEdit* imageFolder = PathRow(form, QStringLiteral("Image folder:"), &dialog, true);
  auto* imageName = new QLineEdit(QStringLiteral("Image.qxi"), &dialog);
  form->addRow(QStringLiteral("Image file name:"), imageName);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("Finish"));
  layout->addWidget(buttons);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);

  WizardOutcome outcome;
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, [&] {
    const auto job = static_cast<uint8_t>(jobs->checkedId());
    const QString path = source->text().trimmed();
    const QString imagePath = QDir(imageFolder->text()).filePath(imageName->text());
    if (job == 4) {
      const std::string why = WhyOutputTouchesSource(path.toStdString(), imagePath.toStdString());
      if (imageFolder->text().isEmpty() || imageName->text().isEmpty() || !why.empty()) {
        QMessageBox::warning(&dialog, QStringLiteral("Error"),
                             why.empty() ? QStringLiteral("Choose a folder and a name for the image file.")
                                         : QString::fromStdString(why));
        return;
      }
    }
    uint32_t typeCount = 0;
    std::shared_ptr<EngineState> imaging = job == 4 ? std::make_shared<EngineState>() : nullptr;
    EngineState& target = imaging ? *imaging : engine;
    const QString error = PrepareEngine(target, job, path, &typeCount);
    if (!error.isEmpty()) {
      QMessageBox::warning(&dialog, QStringLiteral("Error"), error);
      return;
    }
    outcome.finished = true;
    outcome.jobChoice = job;
    outcome.sourcePath = path;
    outcome.logEntry = std::make_shared<LogEntry>();
    LogEntry& entry = *outcome.logEntry;
    if (job == 4) {
      outcome.imageFolder = imageFolder->text();
      outcome.imageFileName = imageName->text();
      outcome.imagingEngine = imaging;
      entry.processText = QStringLiteral("Imaging Disk :%1,  Serial:%2")
                              .arg(path, QString::number(target.volumeInfo.serialNumber, 16).toUpper());
      entry.description = QStringLiteral("To Location %1").arg(outcome.imageFolder);
      sendLog(&entry);
    } else {
      entry.processText = QStringLiteral("Selected %1").arg(path);
      entry.description = job == 1 ? QStringLiteral("Disk Processing: Fast File Search")
                                   : QStringLiteral("Disk Processing: Lost File Search");
      sendLog(&entry);
      if (job != 1) {
        entry.description = QStringLiteral("%1 file type(s) to search").arg(typeCount);
        sendLog(&entry);
      }
    }
    dialog.accept();
  });
  dialog.resize(560, dialog.sizeHint().height());
  dialog.exec();
  return outcome;
}

}  // namespace restora
