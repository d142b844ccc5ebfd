#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QTest>

#include "ui/Cp936LengthLimiter.h"
#include "ui/Cp936Text.h"

using tavlo::ui::Cp936ByteCount;
using tavlo::ui::Cp936LengthLimiter;

class TestCp936Limiter : public QObject {
    Q_OBJECT

  private slots:
    void byteCount_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("bytes");
        QTest::newRow("empty") << QString() << 0;
        QTest::newRow("ascii") << QStringLiteral("Hello") << 5;
        QTest::newRow("hanzi") << QStringLiteral("时钟") << 4;
        QTest::newRow("celsius") << QStringLiteral("\u2103") << 2;
        QTest::newRow("fahrenheit") << QStringLiteral("\u2109") << 2;
        QTest::newRow("mixed") << QStringLiteral("A时B") << 4;
        QTest::newRow("unmapped as one") << QStringLiteral("\u0915") << 1;
        QTest::newRow("astral as one") << QString::fromUcs4(U"\U0001F600") << 1;
    }

    void byteCount() {
        QFETCH(QString, text);
        QFETCH(int, bytes);
        QCOMPARE(Cp936ByteCount(text), static_cast<std::size_t>(bytes));
    }

    void typingStopsAtTheByteLimit() {
        QLineEdit edit;
        Cp936LengthLimiter::attach(&edit, 8);
        edit.show();
        QVERIFY(QTest::qWaitForWindowExposed(&edit));
        edit.setFocus();
        QTest::keyClicks(&edit, QStringLiteral("abcdefghij"));
        QCOMPARE(edit.text(), QStringLiteral("abcdefgh"));
    }

    void wideCharacterThatDoesNotFitIsRefused() {
        QLineEdit edit;
        Cp936LengthLimiter::attach(&edit, 5);
        edit.show();
        QVERIFY(QTest::qWaitForWindowExposed(&edit));
        edit.setFocus();
        edit.insert(QStringLiteral("时钟"));  // 4 bytes, as an input method commits them
        edit.insert(QStringLiteral("表"));    // would make 6
        QCOMPARE(edit.text(), QStringLiteral("时钟"));
        QTest::keyClicks(&edit, QStringLiteral("x"));
        QCOMPARE(edit.text(), QStringLiteral("时钟x"));
    }

    void insertionInTheMiddleKeepsTheTail() {
        QLineEdit edit;
        Cp936LengthLimiter::attach(&edit, 6);
        edit.show();
        QVERIFY(QTest::qWaitForWindowExposed(&edit));
        edit.setFocus();
        QTest::keyClicks(&edit, QStringLiteral("abcde"));
        edit.setCursorPosition(1);
        QTest::keyClicks(&edit, QStringLiteral("XYZ"));
        QCOMPARE(edit.text(), QStringLiteral("aXbcde"));
        QCOMPARE(edit.cursorPosition(), 2);
    }

    void pasteKeepsWhatFits() {
        QLineEdit edit;
        Cp936LengthLimiter::attach(&edit, 4);
        edit.show();
        QVERIFY(QTest::qWaitForWindowExposed(&edit));
        edit.setFocus();
        QApplication::clipboard()->setText(QStringLiteral("a时钟"));
        edit.paste();
        QCOMPARE(edit.text(), QStringLiteral("a时"));
    }

    void programTextIsNotCut() {
        QLineEdit edit;
        auto* limiter = Cp936LengthLimiter::attach(&edit, 3);
        QCOMPARE(Cp936LengthLimiter::of(&edit), limiter);
        QCOMPARE(limiter->maxBytes(), std::size_t{3});
        edit.setText(QStringLiteral("abcdef"));
        QCOMPARE(edit.text(), QStringLiteral("abcdef"));
        // Deleting from an over-long text is always allowed.
        edit.show();
        QVERIFY(QTest::qWaitForWindowExposed(&edit));
        edit.setFocus();
        edit.end(false);
        QTest::keyClick(&edit, Qt::Key_Backspace);
        QCOMPARE(edit.text(), QStringLiteral("abcde"));
    }
};

QTEST_MAIN(TestCp936Limiter)
#include "test_cp936_limiter.moc"
