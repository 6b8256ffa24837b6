// SPDX-License-Identifier: GPL-3.0-or-later
// Image Processing on an image of a whole disk with two partitions: the program asks which one
// to scan (or all), scans what was chosen, and does nothing on Cancel; an image of one volume is
// scanned without a question.
#include <QListWidget>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <fstream>

#include "ProcessLogList.h"
#include "ShellTestSupport.h"

using namespace restora;
using namespace restora::test;

namespace {

constexpr uint32_t kFirstStart = 2048;
constexpr uint32_t kFirstSectors = 16384;
constexpr uint32_t kSecondStart = kFirstStart + kFirstSectors;
constexpr uint32_t kSecondSectors = 8192;

void Put32(std::vector<uint8_t>& bytes, size_t offset, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

// An MBR disk: the shell's FAT16 volume as partition 1 and a FAT32 volume holding the deleted
// "Second.txt" as partition 2.
std::vector<uint8_t> TwoPartitionDisk(const ShellVolume& first) {
  FatImageBuilder second = FatImageBuilder::Fat32(kSecondSectors);
  FatEntry entry;
  entry.longName = u"Second.txt";
  entry.deleted = true;
  second.AddFile(second.RootFolder(), entry, FatImageBuilder::Pattern(2000, 7));
  std::vector<uint8_t> disk(size_t{kSecondStart + kSecondSectors} * 512);
  const struct { uint8_t type; uint32_t start, count; } entries[] = {{0x0E, kFirstStart, kFirstSectors},
                                                                     {0x0C, kSecondStart, kSecondSectors}};
  for (size_t i = 0; i < 2; ++i) {
    disk[446 + 16 * i + 4] = entries[i].type;
    Put32(disk, 446 + 16 * i + 8, entries[i].start);
    Put32(disk, 446 + 16 * i + 12, entries[i].count);
  }
  disk[510] = 0x55;
  disk[511] = 0xAA;
  std::copy(first.bytes.begin(), first.bytes.end(), disk.begin() + size_t{kFirstStart} * 512);
  const std::vector<uint8_t> secondBytes = second.Take();
  std::copy(secondBytes.begin(), secondBytes.end(), disk.begin() + size_t{kSecondStart} * 512);
  return disk;
}

QString Write(const QString& path, const std::vector<uint8_t>& bytes) {
  std::ofstream(path.toStdString(), std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                            static_cast<std::streamsize>(bytes.size()));
  return path;
}

std::u16string Names(const ScanNode* folder) {
  std::u16string names;
  for (const ScanNode* child = folder->firstChild; child != nullptr; child = child->next) names += child->name + u";";
  return names;
}

}  // namespace

class PartitionChoiceTest : public QObject {
  Q_OBJECT

 private slots:
  void imageProcessingAsksWhichPartition() {
    QTemporaryDir dir;
    const ShellVolume volume = BuildShellVolume();
    const QString diskImage = Write(dir.filePath(QStringLiteral("disk.img")), TwoPartitionDisk(volume));
    const QString volumeImage = Write(dir.filePath(QStringLiteral("volume.qxi")), volume.bytes);

    // answer: the partition to pick (0 for all), or -1 to cancel.
    const struct {
      int answer;
      SourceKind kind;
      std::u16string rootNames;
    } cases[] = {
        {2, SourceKind::Fat32, u"Second.txt;"},
        {0, SourceKind::Disk, u"Partition 1 (FAT16);Partition 2 (FAT32);"},
        {-1, SourceKind::Disk, u""},
    };
    for (const auto& c : cases) {
      CMainFrame frame;
      Answers answers;
      answers.Install(frame);
      int rows = 0;
      frame.SetPartitionHook([&](CPartitionChoiceDialog& dialog) {
        rows = dialog.findChild<QListWidget*>()->count();
        if (c.answer < 0) return int(QDialog::Rejected);
        dialog.Select(static_cast<uint32_t>(c.answer));
        return int(QDialog::Accepted);
      });
      QCOMPARE(frame.ProcessImageFile(diskImage), c.answer >= 0);
      QCOMPARE(rows, 3);  // "All partitions" and the two
      QVERIFY(!frame.JobRunning());
      QCOMPARE(frame.Engine().volumeInfo.kind, c.kind);
      if (c.answer < 0) {
        QVERIFY(!frame.ProcessLog()->HasRows());
        continue;
      }
      QVERIFY(frame.Engine().scanRoot != nullptr);
      QVERIFY(Names(frame.Engine().scanRoot) == c.rootNames);
      QVERIFY(answers.texts.isEmpty());
    }

    // One volume: no question, scanned as before.
    CMainFrame frame;
    Answers answers;
    answers.Install(frame);
    bool asked = false;
    frame.SetPartitionHook([&](CPartitionChoiceDialog&) { return asked = true, int(QDialog::Rejected); });
    QVERIFY(frame.ProcessImageFile(volumeImage));
    QVERIFY(!asked);
    QCOMPARE(frame.Engine().volumeInfo.kind, SourceKind::Fat16);
  }
};

int main(int argc, char** argv) {
  QStandardPaths::setTestModeEnabled(true);
  QApplication app(argc, argv);
  QApplication::setOrganizationName(QStringLiteral("Ferrolin Restora 1.0"));
  QApplication::setApplicationName(QStringLiteral("Ferrolin Restora"));
  Q_INIT_RESOURCE(restora);
  PartitionChoiceTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "PartitionChoiceTest.moc"
