#pragma once

#include <QString>
#include <array>
#include <cstddef>
#include <functional>
#include <initializer_list>
#include <utility>

#include "ui/PageWidget.h"

class QButtonGroup;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace tavlo::protocol {
struct SearchState;
}  // namespace tavlo::protocol

namespace tavlo::ui {
class Ipv4AddressEdit;
class Prompter;
}  // namespace tavlo::ui

namespace tavlo::firmware {

struct UpdateState;

inline constexpr std::size_t kMacAddressMaxBytes = 17;
// The firmware file must name one of these (a case-sensitive test anywhere in the path).
inline constexpr char kBinFileMark[] = ".bin";
inline constexpr char kHexFileMark[] = ".hex";
// The chooser offers two filters, "*.bin" first.
inline constexpr char kFirmwareFileFilter[] = "*.bin (*.bin);;*.hex (*.hex)";
inline constexpr char kSelectFileError[] = "Select file error!";

// True when a firmware path names a ".bin" or ".hex" file in the way the page checks it.
bool IsFirmwarePath(const QString& path);

// Every control of the System Information page.
struct SystemPageControls {
    // "User Password Setting" group (inert, always disabled)
    QRadioButton* userPasswordSetting = nullptr;
    QLineEdit* currentPassword = nullptr;         // "Current Password"
    QLineEdit* newUserPassword = nullptr;         // "New User Password"
    QLineEdit* confirmNewUserPassword = nullptr;  // "Confirm New\nUser Password"
    // "Global Password Setting" group (inert, always disabled)
    QRadioButton* globalPasswordSetting = nullptr;
    QLineEdit* currentUserPassword = nullptr;       // "Current User Password"
    QLineEdit* currentGlobalPassword = nullptr;     // "Current Global Password"
    QLineEdit* newGlobalPassword = nullptr;         // "New Global Password"
    QLineEdit* confirmNewGlobalPassword = nullptr;  // "Confirm New\nGlobal Password"
    // "Update Control" group
    QRadioButton* updateControl = nullptr;
    ui::Ipv4AddressEdit* address = nullptr;  // target clock
    QLineEdit* macAddress = nullptr;         // "MAC Address:"
    QLineEdit* firmwareFile = nullptr;       // full path of the firmware file
    QPushButton* browse = nullptr;           // "..."
    QLabel* counterLine = nullptr;           // "Total Update: %d"
    QPushButton* breakButton = nullptr;      // "Break"
    QLabel* progressLine = nullptr;          // "Waiting", block progress, or nothing

    // The seven password fields of both groups.
    std::array<QLineEdit*, 7> passwordFields() const;
};

// The System Information page: the operator's panel for loading firmware into a wired clock.
// It holds the target clock's address and MAC address, the firmware file, the counter and
// progress lines and "Break". It shares the search state (clock family) and the update state
// (counter and break flag) with the rest of the program.
class SystemPage final : public ui::PageWidget {
    Q_OBJECT

  public:
    // Asks the operator for a firmware file; returns the chosen path, or an empty string when
    // the operator cancelled.
    using FileChooser = std::function<QString(QWidget* parent)>;

    SystemPage(protocol::SearchState& search, UpdateState& update, ui::Prompter& prompter,
               QWidget* parent = nullptr);
    ~SystemPage() override;

    const SystemPageControls& controls() const { return c_; }

    // Replaces the system file-open dialog behind "..." (tests script the choice).
    void setFileChooser(FileChooser chooser);
    // The system file-open dialog with the firmware filters.
    static QString ChooseFirmwareFile(QWidget* parent);

  private:
    // A caption and the field it labels.
    using PasswordField = std::pair<const char*, QLineEdit**>;
    // A group box headed by a disabled mode button, with one masked, disabled field a row.
    QWidget* buildPasswordGroup(const char* mode, QRadioButton*& button,
                                std::initializer_list<PasswordField> fields);
    QWidget* buildUserPasswordGroup();
    QWidget* buildGlobalPasswordGroup();
    QWidget* buildUpdateGroup();

    void OnUpdateControl();
    void OnBrowse();
    void OnBreak();

    protocol::SearchState& search_;
    UpdateState& update_;
    ui::Prompter& prompter_;
    FileChooser chooseFile_;
    SystemPageControls c_;
    QButtonGroup* modeGroup_ = nullptr;
};

}  // namespace tavlo::firmware
