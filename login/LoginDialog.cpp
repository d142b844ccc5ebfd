#include "login/LoginDialog.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QVBoxLayout>

#include "login/PasswordFile.h"
#include "platform/TextCodec.h"
#include "ui/Prompter.h"

namespace tavlo::login {
namespace {

QString text(const char* s) {
    return QString::fromLatin1(s);
}

// A line edit keeps this many pixels free on either side of its text, and draws the cursor
// after the last character.
constexpr int kLineEditInnerMargin = 2;
constexpr int kCursorWidth = 1;

// Wide enough to show the longest password a box takes, masked.
int widthForLongestPassword(const QLineEdit& edit) {
    QStyle* style = edit.style();
    const QChar mask(style->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr, &edit));
    const QMargins margins = edit.textMargins();
    const int content = edit.fontMetrics().horizontalAdvance(QString(kPasswordMaxLength, mask)) +
                        2 * kLineEditInnerMargin + kCursorWidth + margins.left() + margins.right();
    QStyleOptionFrame option;
    option.initFrom(&edit);
    option.lineWidth = style->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, &edit);
    return style
        ->sizeFromContents(QStyle::CT_LineEdit, &option, QSize(content, edit.sizeHint().height()),
                           &edit)
        .width();
}

QLineEdit* makePasswordEdit(const char* objectName) {
    auto* edit = new QLineEdit;
    edit->setObjectName(text(objectName));
    edit->setEchoMode(QLineEdit::Password);
    edit->setMaxLength(kPasswordMaxLength);
    edit->setMinimumWidth(widthForLongestPassword(*edit));
    return edit;
}

QPushButton* makeButton(const char* label, const char* objectName) {
    auto* button = new QPushButton(text(label));
    button->setObjectName(text(objectName));
    // Enter presses the default button of the mode (setMode), not the button with the focus.
    button->setAutoDefault(false);
    return button;
}

}  // namespace

std::vector<std::uint8_t> passwordTextBytes(const QString& password) {
    const QByteArray utf8 = password.toUtf8();
    const std::string cp936 = platform::Utf8ToCp936(
        std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
    return {cp936.begin(), cp936.end()};
}

LoginDialog::LoginDialog(ui::Prompter& prompter, std::optional<std::filesystem::path> passwordFile,
                         MainWindowRunner runMainWindow, QWidget* parent)
    : QDialog(parent),
      prompter_(prompter),
      passwordFile_(std::move(passwordFile)),
      runMainWindow_(std::move(runMainWindow)) {
    setWindowTitle(text(kLoginTitle));
    setObjectName(QStringLiteral("LoginDialog"));

    loginRadio_ = new QRadioButton(text("Login"));
    loginRadio_->setObjectName(QStringLiteral("loginRadio"));
    loginRadio_->setAutoExclusive(false);
    passwordEdit_ = makePasswordEdit("passwordEdit");
    loginButton_ = makeButton("Login", "loginButton");

    modifyRadio_ = new QRadioButton(text("Modify"));
    modifyRadio_->setObjectName(QStringLiteral("modifyRadio"));
    modifyRadio_->setAutoExclusive(false);
    oldPasswordEdit_ = makePasswordEdit("oldPasswordEdit");
    newPasswordEdit_ = makePasswordEdit("newPasswordEdit");
    newPasswordAgainEdit_ = makePasswordEdit("newPasswordAgainEdit");
    modifyButton_ = makeButton("Modify", "modifyButton");

    auto* loginGroup = new QGroupBox;
    auto* loginLayout = new QVBoxLayout(loginGroup);
    loginLayout->addWidget(loginRadio_);
    auto* loginForm = new QFormLayout;
    loginForm->addRow(text("password:"), passwordEdit_);
    loginLayout->addLayout(loginForm);
    loginLayout->addStretch();
    loginLayout->addWidget(loginButton_, 0, Qt::AlignRight);

    auto* modifyGroup = new QGroupBox;
    auto* modifyLayout = new QVBoxLayout(modifyGroup);
    modifyLayout->addWidget(modifyRadio_);
    auto* modifyForm = new QFormLayout;
    modifyForm->addRow(text("Old Password:"), oldPasswordEdit_);
    modifyForm->addRow(text("New Password:"), newPasswordEdit_);
    modifyForm->addRow(text("New Password:"), newPasswordAgainEdit_);
    modifyLayout->addLayout(modifyForm);
    modifyLayout->addWidget(modifyButton_, 0, Qt::AlignRight);

    auto* layout = new QHBoxLayout(this);
    layout->addWidget(loginGroup);
    layout->addWidget(modifyGroup);
    // The dialog keeps the size its contents need; it cannot be resized.
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(loginRadio_, &QRadioButton::clicked, this, &LoginDialog::selectLoginMode);
    connect(modifyRadio_, &QRadioButton::clicked, this, &LoginDialog::selectModifyMode);
    connect(loginButton_, &QPushButton::clicked, this, &LoginDialog::OnLogin);
    connect(modifyButton_, &QPushButton::clicked, this, &LoginDialog::OnModifyPassword);

    selectLoginMode();
    passwordEdit_->setFocus();
}

int LoginDialog::RunLogin() {
    return exec();
}

void LoginDialog::selectLoginMode() {
    setMode(Mode::kLogin);
}

void LoginDialog::selectModifyMode() {
    setMode(Mode::kModify);
}

void LoginDialog::setMode(Mode mode) {
    // One half of the dialog works, the other is locked; all four boxes start empty.
    const bool login = mode == Mode::kLogin;
    loginRadio_->setChecked(login);
    modifyRadio_->setEnabled(true);
    modifyRadio_->setChecked(!login);
    loginButton_->setEnabled(login);
    modifyButton_->setEnabled(!login);
    loginButton_->setDefault(login);
    modifyButton_->setDefault(!login);
    passwordEdit_->clear();
    passwordEdit_->setEnabled(login);
    for (QLineEdit* edit : {oldPasswordEdit_, newPasswordEdit_, newPasswordAgainEdit_}) {
        edit->clear();
        edit->setEnabled(!login);
    }
}

void LoginDialog::OnLogin() {
    const std::vector<std::uint8_t> password = passwordTextBytes(passwordEdit_->text());
    if (checkLogin(passwordFile_, password) != LoginResult::kAccepted) {
        prompter_.inform(text(kPasswordErrorText));
        return;
    }
    prompter_.inform(text(kLoginSuccessfulText));
    hide();
    if (runMainWindow_) {
        runMainWindow_();
    }
    // However the main window ended, the program ends with it.
    done(QDialog::Rejected);
}

void LoginDialog::OnModifyPassword() {
    const auto oldPassword = passwordTextBytes(oldPasswordEdit_->text());
    const auto newPassword = passwordTextBytes(newPasswordEdit_->text());
    const auto newPasswordAgain = passwordTextBytes(newPasswordAgainEdit_->text());
    switch (changePassword(passwordFile_, oldPassword, newPassword, newPasswordAgain)) {
        case ChangeResult::kChanged:
            prompter_.inform(text(kModifySuccessfulText));
            break;
        case ChangeResult::kOldPasswordEmpty:
            prompter_.inform(text(kPasswordIsEmptyText));
            break;
        case ChangeResult::kOldPasswordWrong:
            prompter_.inform(text(kOldPasswordErrorText));
            break;
        case ChangeResult::kNewPasswordsDiffer:
            prompter_.inform(text(kNewPasswordsDifferText));
            break;
        case ChangeResult::kNoRight:
            prompter_.inform(text(kNoRightText));
            break;
    }
}

void LoginDialog::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            // Enter does what the default button does: "Login" (or "Modify" in the Modify
            // mode).
            event->accept();
            (loginButton_->isEnabled() ? loginButton_ : modifyButton_)->click();
            return;
        case Qt::Key_Escape:
            // Escape ends the dialog, and with it the program.
            event->accept();
            done(QDialog::Rejected);
            return;
        default:
            QDialog::keyPressEvent(event);
    }
}

}  // namespace tavlo::login
