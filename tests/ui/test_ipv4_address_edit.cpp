#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

#include "tests/support/QtTexts.h"
#include "ui/Ipv4AddressEdit.h"

using tavlo::ui::Ipv4AddressEdit;

namespace {

// Types like an operator: every key goes to whichever field has the focus at that moment.
void typeIntoFocus(const QString& keys) {
    for (const QChar c : keys) {
        QTest::keyClick(QApplication::focusWidget(), c.toLatin1());
    }
}

}  // namespace

class TestIpv4AddressEdit : public QObject {
    Q_OBJECT

  private slots:
    void blankReadsAllZeros() {
        Ipv4AddressEdit edit;
        QVERIFY(edit.isBlank());
        QCOMPARE(edit.text(), QStringLiteral("0.0.0.0"));
    }

    void setTextAndRead_data() {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("read");
        QTest::addColumn<QStringList>("fields");
        QTest::newRow("plain") << "198.18.0.10"
                               << "198.18.0.10" << tavlo::test::Texts({"198", "18", "0", "10"});
        QTest::newRow("zeros shown") << "0.0.0.0"
                                     << "0.0.0.0" << tavlo::test::Texts({"0", "0", "0", "0"});
        QTest::newRow("clamped") << "300.1.999.4"
                                 << "255.1.255.4" << tavlo::test::Texts({"255", "1", "255", "4"});
        QTest::newRow("partial") << "10.20"
                                 << "10.20.0.0" << tavlo::test::Texts({"10", "20", "", ""});
        QTest::newRow("stops at blank")
            << "192.0.2.10 (SN0042)"
            << "192.0.2.10" << tavlo::test::Texts({"192", "0", "2", "10"});
        QTest::newRow("leading zeros") << "010.001.000.009"
                                       << "10.1.0.9" << tavlo::test::Texts({"10", "1", "0", "9"});
        QTest::newRow("garbage") << "abc"
                                 << "0.0.0.0" << tavlo::test::Texts({"", "", "", ""});
        QTest::newRow("empty field") << "1..3.4"
                                     << "1.0.3.4" << tavlo::test::Texts({"1", "", "3", "4"});
    }

    void setTextAndRead() {
        QFETCH(QString, input);
        QFETCH(QString, read);
        QFETCH(QStringList, fields);
        Ipv4AddressEdit edit;
        edit.setText(input);
        QCOMPARE(edit.text(), read);
        for (int i = 0; i < Ipv4AddressEdit::kFieldCount; ++i) {
            QCOMPARE(edit.fieldText(i), fields.at(i));
        }
    }

    void clearEmptiesAndSignals() {
        Ipv4AddressEdit edit;
        QSignalSpy spy(&edit, &Ipv4AddressEdit::changed);
        edit.setText(QStringLiteral("1.2.3.4"));
        QCOMPARE(spy.count(), 1);
        edit.setText(QStringLiteral("1.2.3.4"));
        QCOMPARE(spy.count(), 1);  // no change, no signal
        edit.clear();
        QCOMPARE(spy.count(), 2);
        QVERIFY(edit.isBlank());
        QCOMPARE(edit.text(), QStringLiteral("0.0.0.0"));
        edit.clear();
        QCOMPARE(spy.count(), 2);
        // "0.0.0.0" shown differs from blank although both read the same.
        edit.setText(QStringLiteral("0.0.0.0"));
        QCOMPARE(spy.count(), 3);
        QVERIFY(!edit.isBlank());
    }

    void typingDotMovesOn() {
        Ipv4AddressEdit edit;
        edit.show();
        QVERIFY(QTest::qWaitForWindowExposed(&edit));
        edit.field(0)->setFocus();
        QTest::keyClicks(edit.field(0), QStringLiteral("10"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Period);
        QVERIFY(edit.field(1)->hasFocus());
        typeIntoFocus(QStringLiteral("1.2.3"));
        QCOMPARE(edit.text(), QStringLiteral("10.1.2.3"));
        QVERIFY(edit.field(3)->hasFocus());
        QVERIFY(edit.containsFocus());
    }

    void dotInEmptyFieldStays() {
        Ipv4AddressEdit edit;
        edit.show();
        QVERIFY(QTest::qWaitForWindowExposed(&edit));
        edit.field(0)->setFocus();
        QTest::keyClick(edit.field(0), Qt::Key_Period);
        QVERIFY(edit.field(0)->hasFocus());
        QVERIFY(edit.isBlank());
    }

    void thirdDigitMovesOnAndValuesClamp() {
        Ipv4AddressEdit edit;
        edit.show();
        QVERIFY(QTest::qWaitForWindowExposed(&edit));
        edit.field(0)->setFocus();
        QTest::keyClicks(edit.field(0), QStringLiteral("192"));
        QVERIFY(edit.field(1)->hasFocus());
        typeIntoFocus(QStringLiteral("999"));
        QCOMPARE(edit.fieldText(1), QStringLiteral("255"));
        QVERIFY(edit.field(2)->hasFocus());
        typeIntoFocus(QStringLiteral("a-7"));
        QCOMPARE(edit.fieldText(2), QStringLiteral("7"));
    }

    void backspaceAndArrowsCrossFields() {
        Ipv4AddressEdit edit;
        edit.show();
        QVERIFY(QTest::qWaitForWindowExposed(&edit));
        edit.setText(QStringLiteral("1.2.3.4"));
        edit.field(1)->setFocus();
        edit.field(1)->setCursorPosition(0);
        QTest::keyClick(edit.field(1), Qt::Key_Backspace);
        QVERIFY(edit.field(0)->hasFocus());
        QTest::keyClick(edit.field(0), Qt::Key_Right);
        QVERIFY(edit.field(1)->hasFocus());
        QTest::keyClick(edit.field(1), Qt::Key_Left);
        QVERIFY(edit.field(0)->hasFocus());
        QCOMPARE(edit.text(), QStringLiteral("1.2.3.4"));
    }

    // A click on a dot puts the caret at the start of the field after it.
    void clickOnADotEntersTheNextField() {
        Ipv4AddressEdit edit;
        edit.show();
        QVERIFY(QTest::qWaitForWindowExposed(&edit));
        edit.setText(QStringLiteral("1.22.3.44"));
        for (int dot = 0; dot + 1 < Ipv4AddressEdit::kFieldCount; ++dot) {
            const QRect before = edit.field(dot)->geometry();
            const QRect after = edit.field(dot + 1)->geometry();
            const QPoint at((before.right() + after.left()) / 2, before.center().y());
            QWidget* between = edit.childAt(at);
            QVERIFY(between != nullptr);
            QTest::mouseClick(between, Qt::LeftButton);
            QVERIFY2(edit.field(dot + 1)->hasFocus(), qPrintable(QString::number(dot)));
            QCOMPARE(edit.field(dot + 1)->cursorPosition(), 0);
        }
        QCOMPARE(edit.text(), QStringLiteral("1.22.3.44"));
    }

    void tabLeavesTheControl() {
        QWidget window;
        auto* before = new QLineEdit(&window);
        auto* edit = new Ipv4AddressEdit(&window);
        auto* after = new QLineEdit(&window);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        before->setFocus();
        QTest::keyClick(before, Qt::Key_Tab);
        QVERIFY(edit->field(0)->hasFocus());
        QTest::keyClick(edit->field(0), Qt::Key_Tab);
        QVERIFY(after->hasFocus());
        edit->field(2)->setFocus();
        QTest::keyClick(edit->field(2), Qt::Key_Tab);
        QVERIFY(after->hasFocus());
    }

    void pasteFillsAllFields() {
        Ipv4AddressEdit edit;
        edit.show();
        QVERIFY(QTest::qWaitForWindowExposed(&edit));
        QApplication::clipboard()->setText(QStringLiteral(" 198.18.0.77 "));
        edit.field(0)->setFocus();
        QTest::keyClick(edit.field(0), Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(edit.text(), QStringLiteral("198.18.0.77"));
    }

    void enableDisableReachesFields() {
        Ipv4AddressEdit edit;
        edit.setEnabled(false);
        for (int i = 0; i < Ipv4AddressEdit::kFieldCount; ++i) {
            QVERIFY(!edit.field(i)->isEnabled());
        }
        edit.setEnabled(true);
        QVERIFY(edit.field(3)->isEnabled());
        QVERIFY(edit.field(-1) == nullptr);
        QVERIFY(edit.field(4) == nullptr);
    }

    void operatorEditSignals() {
        Ipv4AddressEdit edit;
        QSignalSpy spy(&edit, &Ipv4AddressEdit::changed);
        edit.show();
        QVERIFY(QTest::qWaitForWindowExposed(&edit));
        edit.field(2)->setFocus();
        QTest::keyClicks(edit.field(2), QStringLiteral("5"));
        QCOMPARE(spy.count(), 1);
        QCOMPARE(edit.text(), QStringLiteral("0.0.5.0"));
    }
};

QTEST_MAIN(TestIpv4AddressEdit)
#include "test_ipv4_address_edit.moc"
