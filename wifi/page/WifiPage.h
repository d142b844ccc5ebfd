#pragma once

#include <array>
#include <cstddef>

#include "ui/PageWidget.h"

class QButtonGroup;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace tavlo::protocol {
struct ProtocolState;
}  // namespace tavlo::protocol

namespace tavlo::wifi {

// The scan table: rows and result columns (the "Num" column holds the row buttons).
inline constexpr int kScanRows = 6;
inline constexpr int kScanColumns = 6;  // SSID, Channel, Rssi, Cipher, Auth, Bss_type

inline constexpr std::size_t kSsidMaxBytes = 32;
inline constexpr std::size_t kWifiPasswordMaxBytes = 20;

// Every control of the WIFI Information page, for the routines that show a clock's wireless
// association and store it into a request.
struct WifiPageControls {
    // group box "Wired": the scan area (it stays empty and locked)
    QRadioButton* wiredPattern = nullptr;               // "Wired_Pattern"
    QPushButton* wifiSearch = nullptr;                  // "Wifi_Search", never shown
    std::array<QRadioButton*, kScanRows> rowButtons{};  // "1" ... "6"
    std::array<std::array<QLabel*, kScanColumns>, kScanRows> cells{};
    // group box "Wifi": the association
    QRadioButton* wifiPattern = nullptr;  // "Wifi_Pattern"
    QLineEdit* ssid = nullptr;            // "SSID:"
    QComboBox* cipher = nullptr;          // "Cipher:"
    QComboBox* auth = nullptr;            // "Auth:"
    QLineEdit* password = nullptr;        // "Wifi Password:"
};

// The WIFI Information page: a clock's network name, cipher, authentication and Wi-Fi
// password. After a reset or after a clock was shown the association is locked; selecting
// "Wifi_Pattern" unlocks it for editing. It shares the protocol frames with the rest of the
// program.
class WifiPage final : public ui::PageWidget {
    Q_OBJECT

  public:
    explicit WifiPage(protocol::ProtocolState& protocol, QWidget* parent = nullptr);
    ~WifiPage() override;

    // Empties and locks the page.
    void ResetWifiPage();

    const WifiPageControls& controls() const { return c_; }

  private:
    QWidget* buildScanGroup();
    QWidget* buildWifiGroup();
    void OnWifiPattern();

    protocol::ProtocolState& protocol_;
    WifiPageControls c_;
    QButtonGroup* patternGroup_ = nullptr;
    QButtonGroup* rowGroup_ = nullptr;
};

}  // namespace tavlo::wifi
