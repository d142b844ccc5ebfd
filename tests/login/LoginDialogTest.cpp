// The login dialog on the offscreen platform, with a recording message box seam and a
// password file in a private temporary folder.
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QtTest>
#include <filesystem>
#include <fstream>

#include "login/LoginDialog.h"
#include "login/PasswordFile.h"
#include "tests/support/RecordingPrompter.h"

using tavlo::login::LoginDialog;
using tavlo::test::RecordingPrompter;
namespace fs = std::filesystem;

namespace {

struct Controls {
    QRadioButton* loginRadio;
    QLineEdit* password;
    QPushButton* loginButton;
    QRadioButton* modifyRadio;
    QLineEdit* oldPassword;
    QLineEdit* newPassword;
    QLineEdit* newPasswordAgain;
    QPushButton* modifyButton;
};

template <typename T>
T* child(QWidget& dialog, const char* name) {
    T* widget = dialog.findChild<T*>(QString::fromLatin1(name));
    if (widget == nullptr) {
        qFatal("control %s missing", name);
    }
    return widget;
}

Controls controlsOf(QWidget& d) {
    return {child<QRadioButton>(d, "loginRadio"),        child<QLineEdit>(d, "passwordEdit"),
            child<QPushButton>(d, "loginButton"),        child<QRadioButton>(d, "modifyRadio"),
            child<QLineEdit>(d, "oldPasswordEdit"),      child<QLineEdit>(d, "newPasswordEdit"),
            child<QLineEdit>(d, "newPasswordAgainEdit"), child<QPushButton>(d, "modifyButton")};
}

}  // namespace

class LoginDialogTest : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir dir_;
    fs::path file_;
    RecordingPrompter prompter_;
    int mainWindowRuns_ = 0;

    std::unique_ptr<LoginDialog> makeDialog() {
        auto dialog =
            std::make_unique<LoginDialog>(prompter_, file_, [this] { ++mainWindowRuns_; });
        dialog->show();
        return dialog;
    }

    void changePassword(LoginDialog& dialog, const QString& oldPw, const QString& newPw,
                        const QString& again) {
        const Controls c = controlsOf(dialog);
        c.modifyRadio->click();
        c.oldPassword->setText(oldPw);
        c.newPassword->setText(newPw);
        c.newPasswordAgain->setText(again);
        c.modifyButton->click();
    }

    void writeFile(std::size_t size) {
        fs::create_directories(file_.parent_path());
        std::ofstream out(file_, std::ios::binary);
        const auto digest = tavlo::login::passwordDigest({});
        out.write(reinterpret_cast<const char*>(digest.data()), static_cast<long>(size));
    }

  private slots:
    void init() {
        QVERIFY(dir_.isValid());
        file_ = fs::path(dir_.path().toStdString()) / "TavloAdmin" / "ORX.dat";
        fs::remove_all(file_.parent_path());
        prompter_.clear();
        mainWindowRuns_ = 0;
    }

    void opensInLoginMode() {
        auto dialog = makeDialog();
        QCOMPARE(dialog->windowTitle(), QStringLiteral("LOGIN"));
        const Controls c = controlsOf(*dialog);
        QVERIFY(c.loginRadio->isChecked() && c.loginRadio->isEnabled());
        QVERIFY(!c.modifyRadio->isChecked() && c.modifyRadio->isEnabled());
        QVERIFY(c.loginButton->isEnabled());
        QVERIFY(!c.modifyButton->isEnabled());
        QVERIFY(c.password->isEnabled() && c.password->text().isEmpty());
        for (QLineEdit* e : {c.oldPassword, c.newPassword, c.newPasswordAgain}) {
            QVERIFY(!e->isEnabled() && e->text().isEmpty());
        }
        for (QLineEdit* e : {c.password, c.oldPassword, c.newPassword, c.newPasswordAgain}) {
            QCOMPARE(e->echoMode(), QLineEdit::Password);
        }
    }

    void modeSwitchClearsAllBoxes() {
        auto dialog = makeDialog();
        const Controls c = controlsOf(*dialog);
        c.password->setText(QStringLiteral("typed"));
        c.modifyRadio->click();
        QVERIFY(c.modifyRadio->isChecked());
        QVERIFY(!c.loginButton->isEnabled() && c.modifyButton->isEnabled());
        QVERIFY(!c.password->isEnabled() && c.password->text().isEmpty());
        for (QLineEdit* e : {c.oldPassword, c.newPassword, c.newPasswordAgain}) {
            QVERIFY(e->isEnabled());
            e->setText(QStringLiteral("x"));
        }
        c.loginRadio->click();
        QVERIFY(c.loginRadio->isChecked() && !c.modifyRadio->isChecked());
        QVERIFY(c.loginButton->isEnabled() && !c.modifyButton->isEnabled());
        for (QLineEdit* e : {c.oldPassword, c.newPassword, c.newPasswordAgain}) {
            QVERIFY(!e->isEnabled() && e->text().isEmpty());
        }
    }

    void twentyCharactersInEveryBox() {
        auto dialog = makeDialog();
        QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
        const Controls c = controlsOf(*dialog);
        const QString typed = QStringLiteral("WWWWWWWWWW0123456789Z");  // 21 characters
        // Each box takes 20 characters and shows all of them: with the cursor after the
        // last one, the first is still at the box's left edge (nothing scrolled away).
        auto check = [&](QLineEdit* e) {
            QTest::keyClicks(e, typed);
            QCOMPARE(e->text(), typed.left(20));
            QCOMPARE(e->cursorPosition(), 20);
            e->repaint();  // the box scrolls its text when it paints
            QCOMPARE(e->cursorPositionAt(QPoint(e->contentsRect().left() + 4, e->height() / 2)), 0);
        };
        check(c.password);
        c.modifyRadio->click();
        for (QLineEdit* e : {c.oldPassword, c.newPassword, c.newPasswordAgain}) {
            check(e);
        }
    }

    void dialogCannotBeResized() {
        auto dialog = makeDialog();
        QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
        QCOMPARE(dialog->minimumSize(), dialog->maximumSize());
        const QSize size = dialog->size();
        dialog->resize(size * 2);
        QCoreApplication::processEvents();
        QCOMPARE(dialog->size(), size);
    }

    void defaultPasswordLogsInAndRunsMainWindow() {
        auto dialog = makeDialog();
        const Controls c = controlsOf(*dialog);
        c.password->setText(QStringLiteral("XKVnoctilumeX"));
        c.loginButton->click();
        QCOMPARE(prompter_.texts(), QStringList{QStringLiteral("Password Error")});
        QVERIFY(dialog->isVisible());
        QCOMPARE(mainWindowRuns_, 0);

        c.password->setText(QStringLiteral("XKVnoctilume"));
        c.loginButton->click();
        QCOMPARE(prompter_.lastText(), QStringLiteral("Login Successful!"));
        QCOMPARE(prompter_.messages().back().caption, QStringLiteral("TavloAdmin"));
        QCOMPARE(mainWindowRuns_, 1);
        // Once the main window has ended, so has the login dialog.
        QVERIFY(!dialog->isVisible());
        QCOMPARE(dialog->result(), int(QDialog::Rejected));
    }

    void loginDialogIsHiddenWhileMainWindowRuns() {
        bool hiddenDuringRun = false;
        LoginDialog dialog(prompter_, file_, [&] { hiddenDuringRun = !dialog.isVisible(); });
        dialog.show();
        const Controls c = controlsOf(dialog);
        c.password->setText(QStringLiteral("XKVnoctilume"));
        c.loginButton->click();
        QVERIFY(hiddenDuringRun);
    }

    void changedPasswordReplacesDefault() {
        auto dialog = makeDialog();
        changePassword(*dialog, QStringLiteral("XKVnoctilume"), QStringLiteral("room-7"),
                       QStringLiteral("room-7"));
        QCOMPARE(prompter_.lastText(), QStringLiteral("Modify Password Successful!"));
        QCOMPARE(fs::file_size(file_), std::uintmax_t{16});
        // The dialog stays in Modify mode with its boxes as they were.
        const Controls c = controlsOf(*dialog);
        QVERIFY(c.modifyRadio->isChecked());
        QCOMPARE(c.newPassword->text(), QStringLiteral("room-7"));

        c.loginRadio->click();
        c.password->setText(QStringLiteral("XKVnoctilume"));
        c.loginButton->click();
        QCOMPARE(prompter_.lastText(), QStringLiteral("Password Error"));
        c.password->setText(QStringLiteral("room-7"));
        c.loginButton->click();
        QCOMPARE(prompter_.lastText(), QStringLiteral("Login Successful!"));
    }

    void emptyPasswordCanBeSetAndUsed() {
        auto dialog = makeDialog();
        changePassword(*dialog, QStringLiteral("XKVnoctilume"), QString(), QString());
        QCOMPARE(prompter_.lastText(), QStringLiteral("Modify Password Successful!"));
        const Controls c = controlsOf(*dialog);
        c.loginRadio->click();
        c.loginButton->click();
        QCOMPARE(prompter_.lastText(), QStringLiteral("Login Successful!"));
    }

    void modifyMessages() {
        auto dialog = makeDialog();
        changePassword(*dialog, QString(), QStringLiteral("a"), QStringLiteral("a"));
        QCOMPARE(prompter_.lastText(), QStringLiteral("Password Is Empty"));
        changePassword(*dialog, QStringLiteral("wrong"), QStringLiteral("a"), QStringLiteral("a"));
        QCOMPARE(prompter_.lastText(), QStringLiteral("Old Password Error"));
        changePassword(*dialog, QStringLiteral("XKVnoctilume"), QStringLiteral("a"),
                       QStringLiteral("b"));
        QCOMPARE(prompter_.lastText(), QStringLiteral("Password Error!"));
        QVERIFY(!fs::exists(file_));
        for (const auto& m : prompter_.messages()) {
            QCOMPARE(m.caption, QStringLiteral("TavloAdmin"));
        }
    }

    void shortFileRefusesLogin() {
        writeFile(15);
        auto dialog = makeDialog();
        controlsOf(*dialog).loginButton->click();  // empty password, digest prefix matches
        QCOMPARE(prompter_.lastText(), QStringLiteral("Password Error"));
        QCOMPARE(mainWindowRuns_, 0);
    }

    void longerFileWorks() {
        writeFile(16);
        std::ofstream(file_, std::ios::binary | std::ios::app) << "tail";
        auto dialog = makeDialog();
        controlsOf(*dialog).loginButton->click();
        QCOMPARE(prompter_.lastText(), QStringLiteral("Login Successful!"));
    }

    void unwritableFolderSaysNoRight() {
        // A file where the folder should be: nothing can be created there, even by root.
        std::ofstream(file_.parent_path()) << "in the way";
        auto dialog = makeDialog();
        changePassword(*dialog, QStringLiteral("XKVnoctilume"), QStringLiteral("n"),
                       QStringLiteral("n"));
        QCOMPARE(prompter_.lastText(), QStringLiteral("No Right!"));
        fs::remove(file_.parent_path());
    }

    void passwordTextIsHashedAsCodePage936() {
        const QString chinese = QString::fromUtf8("\xE6\x97\xB6\xE9\x92\x9F");  // "clock"
        const std::vector<std::uint8_t> gbk = {0xCA, 0xB1, 0xD6, 0xD3};
        QCOMPARE(tavlo::login::passwordTextBytes(chinese), gbk);
        QCOMPARE(tavlo::login::passwordTextBytes(QStringLiteral("XKVnoctilume")),
                 std::vector<std::uint8_t>(
                     {'X', 'K', 'V', 'n', 'o', 'c', 't', 'i', 'l', 'u', 'm', 'e'}));
        auto dialog = makeDialog();
        changePassword(*dialog, QStringLiteral("XKVnoctilume"), chinese, chinese);
        QCOMPARE(prompter_.lastText(), QStringLiteral("Modify Password Successful!"));
        std::ifstream in(file_, std::ios::binary);
        std::vector<std::uint8_t> stored((std::istreambuf_iterator<char>(in)),
                                         std::istreambuf_iterator<char>());
        const auto digest = tavlo::login::passwordDigest(gbk);
        QCOMPARE(stored, std::vector<std::uint8_t>(digest.begin(), digest.end()));
    }

    // Enter does what "Login" does (a wrong password leaves the dialog open); Escape ends the
    // dialog without a word.
    void enterLogsInAndEscapeEnds_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("focus");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<int>("runs");
        const QString right = QStringLiteral("XKVnoctilume");
        const QStringList loggedIn{QStringLiteral("Login Successful!")};
        QTest::newRow("Enter in password")
            << int(Qt::Key_Return) << QStringLiteral("passwordEdit") << right << loggedIn << 1;
        QTest::newRow("keypad Enter")
            << int(Qt::Key_Enter) << QStringLiteral("passwordEdit") << right << loggedIn << 1;
        QTest::newRow("Enter on Login")
            << int(Qt::Key_Return) << QStringLiteral("loginButton") << right << loggedIn << 1;
        QTest::newRow("Enter, wrong password")
            << int(Qt::Key_Return) << QStringLiteral("passwordEdit") << QStringLiteral("x")
            << QStringList{QStringLiteral("Password Error")} << 0;
        QTest::newRow("Escape") << int(Qt::Key_Escape) << QStringLiteral("passwordEdit") << right
                                << QStringList{} << 0;
    }

    void enterLogsInAndEscapeEnds() {
        QFETCH(int, key);
        QFETCH(QString, focus);
        QFETCH(QString, password);
        QFETCH(QStringList, texts);
        QFETCH(int, runs);
        auto dialog = makeDialog();
        auto* target = dialog->findChild<QWidget*>(focus);
        QVERIFY(target != nullptr);
        controlsOf(*dialog).password->setText(password);
        QTest::keyClick(target, Qt::Key(key));
        QCOMPARE(prompter_.texts(), texts);
        QCOMPARE(mainWindowRuns_, runs);
        // Only a wrong password keeps the dialog; the program ends after the main window.
        QCOMPARE(dialog->isVisible(), texts == QStringList{QStringLiteral("Password Error")});
    }

    // In the Modify mode Enter presses "Modify".
    void enterInModifyModeChangesThePassword() {
        auto dialog = makeDialog();
        const Controls c = controlsOf(*dialog);
        c.modifyRadio->click();
        c.oldPassword->setText(QStringLiteral("XKVnoctilume"));
        c.newPassword->setText(QStringLiteral("n"));
        c.newPasswordAgain->setText(QStringLiteral("n"));
        QTest::keyClick(c.newPasswordAgain, Qt::Key_Return);
        QCOMPARE(prompter_.texts(), QStringList{QStringLiteral("Modify Password Successful!")});
        QVERIFY(dialog->isVisible());
    }
};

QTEST_MAIN(LoginDialogTest)
#include "LoginDialogTest.moc"
