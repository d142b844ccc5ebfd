#pragma once

#include <QString>
#include <array>
#include <cstddef>

#include "ui/PageWidget.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QRadioButton;

namespace tavlo::protocol {
struct ProtocolState;
struct SearchState;
}  // namespace tavlo::protocol

namespace tavlo::ui {
class Ipv4AddressEdit;
class Prompter;
}  // namespace tavlo::ui

namespace tavlo::settings {

inline constexpr int kTimeServerRows = 5;
// Rows whose domain-name box can be used (rows 1 and 2); the others keep it empty.
inline constexpr int kDomainRows = 2;

// Edit limits of the page, in code-page-936 bytes (digits are one byte each).
inline constexpr std::size_t kPortMaxChars = 5;
inline constexpr std::size_t kKeyIdMaxChars = 5;
inline constexpr std::size_t kKeyMaxBytes = 8;
inline constexpr std::size_t kDomainMaxBytes = 30;
inline constexpr std::size_t kPasswordMaxBytes = 8;
inline constexpr std::size_t kDisplayTextMaxBytes = 32;
inline constexpr int kMaxPortOrKeyId = 65535;

// Texts of the typing guards.
inline constexpr char kPortRangeMessage[] = "Port Number Must be 1~65535!";
inline constexpr char kKeyIdRangeMessage[] = "NTP key ID Must be 1~65535!";
// The counter beside the display text: bytes used of kDisplayTextMaxBytes.
inline constexpr char kDisplayTextCounterFormat[] = "%d/32";

// One row of the "NTP Setting" group.
struct TimeServerRowControls {
    QLabel* marker = nullptr;  // "*" beside the server in use
    ui::Ipv4AddressEdit* address = nullptr;
    QLineEdit* domain = nullptr;
    QLineEdit* port = nullptr;
    QLineEdit* keyId = nullptr;
    QLineEdit* key = nullptr;
};

// One daylight-saving rule edge: "Start at" or "End at".
struct DstEdgeControls {
    QComboBox* hour = nullptr;     // "0" to "23"
    QComboBox* week = nullptr;     // "First" ... "Last"
    QComboBox* weekday = nullptr;  // "Mon" ... "Sun"
    QComboBox* month = nullptr;    // "Jan" ... "Dec"
};

// Every control of the Basic Information page, for the routines that show a clock on the
// page and store the page into a request.
struct BasicPageControls {
    // "Versions Information"
    QLabel* version = nullptr;
    QLabel* serialNumber = nullptr;
    // "Time Setting"
    QRadioButton* format12 = nullptr;
    QRadioButton* format24 = nullptr;
    QComboBox* timeZone = nullptr;
    // "Clock IP Setting"
    QRadioButton* dynamicIp = nullptr;
    QRadioButton* staticIp = nullptr;
    ui::Ipv4AddressEdit* ipAddress = nullptr;
    ui::Ipv4AddressEdit* subnetMask = nullptr;
    ui::Ipv4AddressEdit* gateway = nullptr;
    ui::Ipv4AddressEdit* dnsServer = nullptr;
    // "NTP Setting"
    QRadioButton* timeServerIp = nullptr;
    QRadioButton* domain = nullptr;
    std::array<TimeServerRowControls, kTimeServerRows> servers{};
    // "Count Down Setting"
    QComboBox* countDownStartHour = nullptr;
    QComboBox* countDownStartMinute = nullptr;
    QComboBox* countDownStartSecond = nullptr;
    QComboBox* countDownDurationHours = nullptr;
    QComboBox* countDownDurationMinutes = nullptr;
    QComboBox* countDownDurationSeconds = nullptr;
    // "Energy Saving Setting"
    QComboBox* energySavingFrom = nullptr;  // labelled "Energy\nSaving :\nPeriod"
    QComboBox* energySavingTo = nullptr;    // "To"
    QRadioButton* displayDim = nullptr;
    QRadioButton* displayClose = nullptr;
    // "Brightness Setting"
    QComboBox* brightness = nullptr;
    // "Daylight Saving Time Setting"
    QCheckBox* dstEnable = nullptr;
    DstEdgeControls dstStart{};
    DstEdgeControls dstEnd{};
    // "Text Display"
    QLineEdit* displayText = nullptr;
    QLabel* displayTextCounter = nullptr;
    QRadioButton* roll = nullptr;
    QRadioButton* alternate = nullptr;
    QComboBox* alternateSeconds = nullptr;  // editable
    // "Humiture and Temperature Setting"
    QRadioButton* celsius = nullptr;
    QRadioButton* fahrenheit = nullptr;
    QLabel* humidity = nullptr;                // value beside "Humiture:"
    QLabel* humitureSpare = nullptr;           // small text between "Humiture:" and "Temp:"
    QLabel* temperature = nullptr;             // value beside "Temp:"
    QComboBox* timeDuration = nullptr;         // "Time:", editable
    QComboBox* humidityDuration = nullptr;     // "Hum.:", editable
    QComboBox* temperatureDuration = nullptr;  // "Temp.:", editable
    // "Password Information"
    QLineEdit* userPassword = nullptr;
    QLineEdit* globalPassword = nullptr;

    // The eight daylight-saving lists in the order the enable box walks them.
    std::array<QComboBox*, 8> dstLists() const;
    // "IP Address :", "Subnet Mask :", "Default Gateway :", "DNS Server  :".
    std::array<ui::Ipv4AddressEdit*, 4> clockAddresses() const;
};

// The Basic Information page: one clock's network, time, display and sensor settings. The
// page is created once by the main window, shows the clock read last, and turns its contents
// back into a write request. It shares the protocol frames and the search state with the rest
// of the program and tells the operator everything through the Prompter.
class BasicPage final : public ui::PageWidget {
    Q_OBJECT

  public:
    BasicPage(protocol::ProtocolState& protocol, protocol::SearchState& search,
              ui::Prompter& prompter, QWidget* parent = nullptr);
    ~BasicPage() override;

    // Empties the page: no clock shown.
    void ClearBasicPage();

    const BasicPageControls& controls() const { return c_; }

    QSize sizeHint() const override;

  private:
    QWidget* buildVersionGroup();
    QWidget* buildTimeGroup();
    QWidget* buildIpGroup();
    QWidget* buildNtpGroup();
    QWidget* buildCountDownGroup();
    QWidget* buildEnergyGroup();
    QWidget* buildBrightnessGroup();
    QWidget* buildDstGroup();
    QWidget* buildTextGroup();
    QWidget* buildHumitureGroup();
    QWidget* buildPasswordGroup();
    void setInitialStates();

    void OnDynamicIp();
    void OnStaticIp();
    void OnTimeServerIp();
    void OnDomain();
    void OnDstEnable();
    void OnRoll();
    void OnAlternate();
    // Locks or unlocks the four clock address fields.
    void enableClockAddresses(bool enabled);
    // Unlocks the server address fields (by address) or the domain-name boxes of rows 1 and 2
    // (by name) and locks the others.
    void enableServerEntries(bool byAddress);
    void guardRange(QLineEdit* box, const char* message);
    void updateTextCounter();

    protocol::ProtocolState& protocol_;
    protocol::SearchState& search_;
    ui::Prompter& prompter_;
    BasicPageControls c_;
    QButtonGroup* formatGroup_ = nullptr;
    QButtonGroup* ipModeGroup_ = nullptr;
    QButtonGroup* serverModeGroup_ = nullptr;
    QButtonGroup* dimGroup_ = nullptr;
    QButtonGroup* textModeGroup_ = nullptr;
    QButtonGroup* unitGroup_ = nullptr;
};

}  // namespace tavlo::settings
