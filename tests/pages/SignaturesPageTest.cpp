// SPDX-License-Identifier: GPL-3.0-or-later
// The file-type page: ticks live in the records, only a click on a check box ticks, Finish
// follows the ticks, and Finish hands the engine the ticked types.
#include <QComboBox>
#include <QLineEdit>
#include <QTableWidget>
#include <QTest>

#include "CWizardSignaturesPage.h"
#include "PageTestHost.h"
#include "SignatureFile.h"

using namespace restora;
using restora::test::Type;

class SignaturesPageTest : public QObject {
  Q_OBJECT

  struct Shown {
    test::PageTestHost host;
    CWizardSignaturesPage page{host};
    explicit Shown(std::vector<SignatureRecord> types) {
      host.types = std::move(types);
      page.resize(640, 420);
      page.show();
      page.initializePage();
    }
    QTableWidget* list() { return page.typeList(); }
    void filter(const QString& category) {
      page.categoryBox()->setCurrentIndex(page.categoryBox()->findText(category, Qt::MatchExactly | Qt::MatchCaseSensitive));
    }
    void click(int row, int x) {
      const QRect cell = list()->visualRect(list()->model()->index(row, 0));
      QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, QPoint(cell.left() + x, cell.center().y()));
    }
    bool ticked(int row) { return list()->item(row, 0)->checkState() == Qt::Checked; }
  };

 private slots:
  void ticksSurviveTheFilter() {
    Shown shown({Type("JPEG", "jpg", "Pictures"), Type("PDF", "pdf", "Documents"), Type("PNG", "png", "Pictures")});
    shown.filter("Pictures");
    QCOMPARE(shown.list()->rowCount(), 2);
    shown.click(1, 5);
    QVERIFY(shown.page.isComplete());
    shown.filter("Documents");
    shown.filter("Pictures");
    QVERIFY(!shown.ticked(0));
    QVERIFY(shown.ticked(1));
    shown.filter("All");
    QVERIFY(shown.ticked(2));
    QCOMPARE(shown.host.types[2].selected, 1);
  }

  void onlyTheCheckBoxTicks() {
    Shown shown({Type("JPEG", "jpg", "Pictures")});
    shown.click(0, 80);
    QVERIFY(!shown.ticked(0));
    QCOMPARE(shown.host.types[0].selected, 0);
    QVERIFY(!shown.page.isComplete());
    shown.click(0, 5);
    QVERIFY(shown.ticked(0));
    QCOMPARE(shown.host.types[0].selected, 1);
    shown.click(0, 5);
    QCOMPARE(shown.host.types[0].selected, 0);
    QVERIFY(!shown.page.isComplete());
  }

  void equalRowsTickTheirOwnRecords() {
    Shown shown({Type("JPEG", "jpg", "Pictures"), Type("JPEG", "jpg", "Pictures")});
    shown.click(1, 5);
    QCOMPARE(shown.host.types[0].selected, 0);
    QCOMPARE(shown.host.types[1].selected, 1);
  }

  void categoriesMatchExactly() {
    Shown shown({Type("Word", "doc", "Documents"), Type("Text", "txt", "Doc"), Type("RTF", "rtf", "doc")});
    QCOMPARE(shown.page.categoryBox()->count(), 4);  // All, Doc, doc, Documents
    shown.filter("Doc");
    QCOMPARE(shown.list()->rowCount(), 1);
    QCOMPARE(shown.list()->item(0, 1)->text(), QStringLiteral("txt"));
  }

  void finishFollowsTheTicks() {
    // Ticks read from the file show, yet Finish waits for the user.
    Shown shown({Type("JPEG", "jpg", "Pictures", 1), Type("PDF", "pdf", "Documents")});
    QVERIFY(shown.ticked(0));
    QVERIFY(!shown.page.isComplete());
    QVERIFY(!shown.page.validatePage());
    shown.filter("Documents");
    shown.page.onSelectAll();
    QVERIFY(shown.page.isComplete());
    // Deselecting one category keeps Finish while another category holds a tick.
    shown.page.onDeselectAll();
    QVERIFY(shown.page.isComplete());
    shown.filter("Pictures");
    shown.page.onDeselectAll();
    QVERIFY(!shown.page.isComplete());
    // Leaving and coming back switches Finish off again.
    shown.page.onSelectAll();
    shown.page.initializePage();
    QVERIFY(!shown.page.isComplete());
  }

  void withoutTypesNothingCanBeSearched() {
    Shown shown({});
    QCOMPARE(shown.page.categoryBox()->count(), 1);
    QCOMPARE(shown.page.categoryBox()->currentText(), QStringLiteral("All"));
    shown.page.onSelectAll();
    QVERIFY(!shown.page.isComplete());
    QVERIFY(!shown.page.validatePage());
    QVERIFY(shown.host.sent.empty());
  }

  void finishHandsTheTickedTypesToTheEngine() {
    test::PageTestHost host;
    QVERIFY(OpenSignatureFile(host.state, std::filesystem::path(RESTORA_SIGNATURE_FILE).parent_path()));
    QVERIFY(ReadSignatureList(host.state));
    const std::vector<SignatureRecord> known = host.state.signatureList;
    Shown shown(known);
    shown.host.log.processText = QStringLiteral("Selected /dev/loop7 (16.00 MB))");
    shown.page.onDeselectAll();
    shown.click(0, 5);
    shown.click(2, 5);
    shown.page.sizeBox()->setText(QStringLiteral("4096000"));
    QVERIFY(shown.page.validatePage());
    QCOMPARE(shown.host.state.signatureList.size(), 2u);
    QCOMPARE(shown.host.state.signatureList[0].TypeNameText(), known[2].TypeNameText());
    QCOMPARE(shown.host.state.signatureList[0].maxSizeMiB, 4000u);
    QCOMPARE(shown.host.sent.size(), 1u);
    QCOMPARE(shown.host.sent[0].description, QStringLiteral("2 file type(s) to search"));
    QCOMPARE(shown.host.sent[0].processText, QStringLiteral("Selected /dev/loop7 (16.00 MB))"));

    shown.page.onSelectAll();
    QVERIFY(shown.page.validatePage());
    QCOMPARE(shown.host.sent[1].description, QStringLiteral("%1 file type(s) to search").arg(known.size()));
  }
};

QTEST_MAIN(SignaturesPageTest)
#include "SignaturesPageTest.moc"
