#include <QApplication>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include "PageTestSupport.h"
#include "firmware/UpdateState.h"
#include "firmware/page/SystemPage.h"
#include "protocol/Discovery.h"
#include "ui/Ipv4AddressEdit.h"
#include "ui/testing/RecordingPrompter.h"

using tavlo::firmware::SystemPage;
using tavlo::firmware::SystemPageControls;
using tavlo::ui::testing::RecordingPrompter;

namespace {

struct Fixture {
    tavlo::protocol::SearchState search;
    tavlo::firmware::UpdateState update;
    RecordingPrompter prompter;
    SystemPage page{search, update, prompter};
    const SystemPageControls& c = page.controls();
};

}  // namespace

class TestSystemPage : public QObject {
    Q_OBJECT

  private slots:
    void controlsAtCreation() {
        Fixture f;
        const SystemPageControls& c = f.c;
        QCOMPARE(c.userPasswordSetting->text(), QStringLiteral("User Password Setting"));
        QCOMPARE(c.globalPasswordSetting->text(), QStringLiteral("Global Password Setting"));
        QCOMPARE(c.updateControl->text(), QStringLiteral("Update Control"));
        QCOMPARE(c.browse->text(), QStringLiteral("..."));
        QCOMPARE(c.breakButton->text(), QStringLiteral("Break"));
        for (const QRadioButton* radio : {c.userPasswordSetting, c.globalPasswordSetting}) {
            QVERIFY(!radio->isEnabled());
            QVERIFY(!radio->isChecked());
        }
        QVERIFY(c.updateControl->isEnabled());
        QVERIFY(!c.updateControl->isChecked());
        for (const QLineEdit* field : c.passwordFields()) {
            QVERIFY(!field->isEnabled());
            QCOMPARE(field->echoMode(), QLineEdit::Password);
        }
        QVERIFY(c.address->isEnabled());
        QVERIFY(c.address->isBlank());
        for (const QLineEdit* field : {c.macAddress, c.firmwareFile}) {
            QVERIFY(field->isEnabled());
            QVERIFY(field->text().isEmpty());
        }
        QVERIFY(c.browse->isEnabled());
        QVERIFY(!c.breakButton->isEnabled());
        QVERIFY(c.counterLine->text().isEmpty());
        QVERIFY(c.counterLine->alignment().testFlag(Qt::AlignHCenter));
        QVERIFY(c.progressLine->text().isEmpty());

        QStringList labels;
        for (const QLabel* label : f.page.findChildren<QLabel*>()) {
            // The address field's own dots are not labels of the page.
            if (!label->text().isEmpty() && label->text() != QStringLiteral(".")) {
                labels << label->text();
            }
        }
        QCOMPARE(labels, (QStringList{"Current Password", "New User Password",
                                      "Confirm New\nUser Password", "Current User Password",
                                      "Current Global Password", "New Global Password",
                                      "Confirm New\nGlobal Password", "MAC Address:"}));
        QCOMPARE(f.page.findChildren<QGroupBox*>().size(), 3);
    }

    void updateControlUnlocksTheUpdateFields() {
        Fixture f;
        const SystemPageControls& c = f.c;
        // As if something had enabled the password fields and locked the update fields.
        for (QLineEdit* field : c.passwordFields()) {
            field->setEnabled(true);
        }
        for (QWidget* w :
             std::initializer_list<QWidget*>{c.address, c.browse, c.macAddress, c.firmwareFile}) {
            w->setEnabled(false);
        }
        c.updateControl->click();
        QVERIFY(c.updateControl->isChecked());
        for (QWidget* w :
             std::initializer_list<QWidget*>{c.address, c.browse, c.macAddress, c.firmwareFile}) {
            QVERIFY(w->isEnabled());
        }
        for (const QLineEdit* field : c.passwordFields()) {
            QVERIFY(!field->isEnabled());
        }
    }

    void fileChooser_data() {
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("message");
        const QString before = QStringLiteral("/fw/old.bin");
        const QString error = QStringLiteral("Select file error!");
        QTest::newRow("bin") << "/fw/clock.bin"
                             << "/fw/clock.bin" << QString();
        QTest::newRow("hex") << "/fw/clock.hex"
                             << "/fw/clock.hex" << QString();
        QTest::newRow("bin in a folder name") << "/fw.bin/readme.txt"
                                              << "/fw.bin/readme.txt" << QString();
        QTest::newRow("capitals refused") << "/fw/CLOCK.BIN" << before << error;
        QTest::newRow("other extension") << "/fw/clock.img" << before << error;
        QTest::newRow("cancelled") << "" << before << QString();
    }

    void fileChooser() {
        QFETCH(QString, chosen);
        QFETCH(QString, field);
        QFETCH(QString, message);
        Fixture f;
        f.c.firmwareFile->setText(QStringLiteral("/fw/old.bin"));
        int asked = 0;
        f.page.setFileChooser([&](QWidget* parent) {
            ++asked;
            [&]() { QCOMPARE(parent, &f.page); }();
            return chosen;
        });
        f.c.browse->click();
        QCOMPARE(asked, 1);
        QCOMPARE(f.c.firmwareFile->text(), field);
        QCOMPARE(f.prompter.texts(), message.isEmpty() ? QStringList() : QStringList{message});
    }

    void systemFileDialogOffersBothFilters() {
        QStringList filters;
        QTimer::singleShot(0, this, [&]() {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog != nullptr);
            filters = dialog->nameFilters();
            QVERIFY(dialog->testOption(QFileDialog::HideNameFilterDetails));
            dialog->reject();
        });
        QVERIFY(SystemPage::ChooseFirmwareFile(nullptr).isEmpty());
        QCOMPARE(filters, (QStringList{"*.bin (*.bin)", "*.hex (*.hex)"}));
    }

    void breakSetsTheFlag() {
        Fixture f;
        f.c.breakButton->setEnabled(true);  // the update monitor enables it during a batch
        QVERIFY(!f.update.breakFlag);
        f.c.breakButton->click();
        QVERIFY(f.update.breakFlag);
        f.c.breakButton->click();
        QVERIFY(f.update.breakFlag);
    }

    void macAddressTakesSeventeenCharacters() {
        Fixture f;
        f.page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.page));
        f.c.macAddress->setFocus();
        QTest::keyClicks(f.c.macAddress, QStringLiteral("00-00-5E-00-53-01-FF"));
        QCOMPARE(f.c.macAddress->text(), QStringLiteral("00-00-5E-00-53-01"));
    }

    void screenshot() {
        Fixture f;
        QVERIFY(
            tavlo::ui::testing::FitsTabAreaAndIsSaved(f.page, QStringLiteral("system-page.png")));
    }
};

QTEST_MAIN(TestSystemPage)
#include "test_system_page.moc"
