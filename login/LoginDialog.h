// The login dialog: the first window of the program. In Login mode it checks the tool's
// password and then runs the main window; in Modify mode it changes that password.
#pragma once

#include <QDialog>
#include <QString>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <vector>

class QLineEdit;
class QPushButton;
class QRadioButton;

namespace tavlo::ui {
class Prompter;
}

namespace tavlo::login {

inline constexpr char kLoginTitle[] = "LOGIN";
inline constexpr char kPasswordErrorText[] = "Password Error";
inline constexpr char kLoginSuccessfulText[] = "Login Successful!";
inline constexpr char kPasswordIsEmptyText[] = "Password Is Empty";
inline constexpr char kOldPasswordErrorText[] = "Old Password Error";
inline constexpr char kNewPasswordsDifferText[] = "Password Error!";
inline constexpr char kNoRightText[] = "No Right!";
inline constexpr char kModifySuccessfulText[] = "Modify Password Successful!";
// Longest text any of the four password boxes takes.
inline constexpr int kPasswordMaxLength = 20;

// The password text as the bytes that are hashed (code page 936).
std::vector<std::uint8_t> passwordTextBytes(const QString& text);

class LoginDialog final : public QDialog {
    Q_OBJECT

  public:
    // Runs the main window modally and returns when it has been closed.
    using MainWindowRunner = std::function<void()>;

    // `passwordFile` is where the digest lives; nothing when no folder for it could be found
    // (then the default password applies and no change can be stored).
    LoginDialog(ui::Prompter& prompter, std::optional<std::filesystem::path> passwordFile,
                MainWindowRunner runMainWindow, QWidget* parent = nullptr);

    // Shows the dialog modally; returns when it is closed (Escape, the window's close button,
    // or after the main window has ended). Enter presses "Login" ("Modify" in the Modify
    // mode).
    int RunLogin();

    // "Login" button: checks the password; on success runs the main window.
    void OnLogin();
    // "Modify" button: replaces the stored password.
    void OnModifyPassword();

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    enum class Mode { kLogin, kModify };
    void selectLoginMode();
    void selectModifyMode();
    void setMode(Mode mode);

    ui::Prompter& prompter_;
    std::optional<std::filesystem::path> passwordFile_;
    MainWindowRunner runMainWindow_;

    QRadioButton* loginRadio_ = nullptr;
    QLineEdit* passwordEdit_ = nullptr;
    QPushButton* loginButton_ = nullptr;
    QRadioButton* modifyRadio_ = nullptr;
    QLineEdit* oldPasswordEdit_ = nullptr;
    QLineEdit* newPasswordEdit_ = nullptr;
    QLineEdit* newPasswordAgainEdit_ = nullptr;
    QPushButton* modifyButton_ = nullptr;
};

}  // namespace tavlo::login
