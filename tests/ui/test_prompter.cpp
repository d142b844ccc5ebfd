#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <vector>

#include "tests/support/QtTexts.h"
#include "tests/support/RecordingPrompter.h"
#include "ui/QtPrompter.h"

using tavlo::test::RecordingPrompter;
using tavlo::ui::QtPrompter;

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

    // While the window runs modally, a modeless box takes the operator's click and a modal
    // question blocks the window; both return at once and call back when closed.
    void openReturnsAtOnceAndCallsBackWhenClosed() {
        QDialog window;
        QtPrompter prompter(&window);
        std::vector<bool> closed;
        auto record = [&](bool accepted) { closed.push_back(accepted); };
        QTimer::singleShot(0, &window, [&] {
            // The checks run in their own function so a failed one still ends the window.
            [&] {
                prompter.open(tavlo::ui::BoxKind::kInform, QStringLiteral("Update Successful!"),
                              QStringLiteral("Update"), tavlo::ui::BoxMode::kModeless, record);
                QVERIFY(closed.empty());
                auto* result = window.findChild<QMessageBox*>();
                QVERIFY(result != nullptr && result->isVisible());
                QCOMPARE(result->windowModality(), Qt::NonModal);
                QVERIFY(QTest::qWaitForWindowExposed(result));
                QWidget* ok = result->button(QMessageBox::Ok);
                QTest::mouseClick(result->windowHandle(), Qt::LeftButton, {},
                                  ok->mapTo(result, ok->rect().center()));
                QCOMPARE(closed, std::vector<bool>{true});

                prompter.open(tavlo::ui::BoxKind::kQuestion,
                              QStringLiteral("Do you want to break update?"),
                              QStringLiteral("TavloAdmin"), tavlo::ui::BoxMode::kModal, record);
                auto* question = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                QVERIFY(question != nullptr);
                QCOMPARE(question->windowModality(), Qt::WindowModal);
                QCOMPARE(question->parentWidget(), &window);
                question->button(QMessageBox::No)->click();
                QVERIFY(!prompter.dismissOpen(QStringLiteral("TavloAdmin")));
            }();
            window.reject();
        });
        window.exec();
        QCOMPARE(closed, (std::vector<bool>{true, false}));
    }

    void boxesAreWideEnoughForTheirCaption() {
        QtPrompter prompter;
        int width = 0;
        QTimer::singleShot(0, this, [&]() {
            QWidget* box = QApplication::activeModalWidget();
            QVERIFY(box != nullptr);
            width = box->width();
            prompter.dismissOpen(QStringLiteral("TavloAdmin"));
        });
        prompter.inform(QStringLiteral("OK"));
        QVERIFY2(width >= QtPrompter::widthForCaption(QStringLiteral("TavloAdmin")),
                 qPrintable(QString::number(width)));
    }

    void recordingPrompterHoldsOpenBoxes() {
        RecordingPrompter prompter;
        prompter.holdOpenBoxes(true);
        std::vector<bool> closed;
        auto record = [&](bool accepted) { closed.push_back(accepted); };
        prompter.open(tavlo::ui::BoxKind::kInform, QStringLiteral("Update False!"),
                      QStringLiteral("Update"), tavlo::ui::BoxMode::kModeless, record);
        prompter.open(tavlo::ui::BoxKind::kQuestion, QStringLiteral("Do you want to break update?"),
                      QStringLiteral("TavloAdmin"), tavlo::ui::BoxMode::kModal, record);
        QCOMPARE(prompter.openCaptions(), tavlo::test::Texts({"Update", "TavloAdmin"}));
        QVERIFY(!prompter.dismissOpen(QStringLiteral("Update ")));
        QVERIFY(prompter.dismissOpen(QStringLiteral("Update")));
        QVERIFY(prompter.closeOpen(QStringLiteral("TavloAdmin"), false));
        QCOMPARE(closed, (std::vector<bool>{true, false}));
        QVERIFY(prompter.openCaptions().isEmpty());
        QVERIFY(prompter.messages()[0].opened);
        QVERIFY(prompter.messages()[0].mode == tavlo::ui::BoxMode::kModeless);
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
