#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include "ui/QtPrompter.h"
#include "ui/testing/RecordingPrompter.h"

using tavlo::ui::QtPrompter;
using tavlo::ui::testing::RecordingPrompter;

class TestPrompter : public QObject {
    Q_OBJECT

  private slots:
    void recordingPrompterRecordsAndAnswers() {
        RecordingPrompter prompter;
        prompter.inform(QStringLiteral("Select file error!"));
        prompter.queueAnswer(true);
        QVERIFY(prompter.askYesNo(QStringLiteral("Do you want to break update?")));
        QVERIFY(!prompter.askYesNo(QStringLiteral("again")));
        prompter.inform(QStringLiteral("Update False!"), QStringLiteral("Update"));
        QCOMPARE(prompter.messages().size(), std::size_t{4});
        QCOMPARE(prompter.messages()[0].caption, QStringLiteral("TavloAdmin"));
        QVERIFY(prompter.messages()[1].kind == RecordingPrompter::Kind::Question);
        QCOMPARE(prompter.messages()[3].caption, QStringLiteral("Update"));
        QCOMPARE(prompter.lastText(), QStringLiteral("Update False!"));
        QVERIFY(!prompter.dismissOpen(QStringLiteral("Update")));
        QCOMPARE(prompter.dismissRequests().size(), std::size_t{1});
    }

    void qtPrompterShowsCaptionAndText() {
        QtPrompter prompter;
        QString seenTitle;
        QString seenText;
        QMessageBox::StandardButtons seenButtons;
        QTimer::singleShot(0, this, [&]() {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box != nullptr);
            seenTitle = box->windowTitle();
            seenText = box->text();
            seenButtons = box->standardButtons();
            QVERIFY(prompter.dismissOpen(QStringLiteral("TavloAdmin")));
        });
        prompter.inform(QStringLiteral("Select file error!"));
        QCOMPARE(seenTitle, QStringLiteral("TavloAdmin"));
        QCOMPARE(seenText, QStringLiteral("Select file error!"));
        QCOMPARE(seenButtons, QMessageBox::StandardButtons(QMessageBox::Ok));
    }

    void qtPrompterQuestionAnswers() {
        QtPrompter prompter;
        QTimer::singleShot(0, this, [&]() {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box != nullptr);
            box->button(QMessageBox::No)->click();
        });
        QVERIFY(!prompter.askYesNo(QStringLiteral("Do you want to break update?")));
        QTimer::singleShot(0, this, [&]() { prompter.dismissOpen(QStringLiteral("TavloAdmin")); });
        QVERIFY(prompter.askYesNo(QStringLiteral("Do you want to break update?")));
    }

    void dismissOnlyMatchesTheExactCaption() {
        QtPrompter prompter;
        bool wrongCaptionClosed = true;
        QTimer::singleShot(0, this, [&]() {
            wrongCaptionClosed = prompter.dismissOpen(QStringLiteral("Updat"));
            QVERIFY(prompter.dismissOpen(QStringLiteral("Update")));
        });
        prompter.inform(QStringLiteral("Update Successful!"), QStringLiteral("Update"));
        QVERIFY(!wrongCaptionClosed);
        QVERIFY(!prompter.dismissOpen(QStringLiteral("Update")));
    }
};

QTEST_MAIN(TestPrompter)
#include "test_prompter.moc"
