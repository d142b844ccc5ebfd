#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "settings/ClockSettings.h"
#include "ui/PageWidget.h"
#include "wifi/WifiPageModel.h"

class QButtonGroup;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace tavlo::wifi {

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

// The password box's placeholder while a clock is shown.
inline constexpr char kUnchangedPlaceholder[] = "unchanged";

// The WIFI Information page: a clock's network name, cipher, authentication and Wi-Fi
// password. After a reset or after a clock was shown the association is locked; selecting
// "Wifi_Pattern" unlocks it for editing. While a clock is shown the empty password box reads
// "unchanged": the store keeps the clock's password. What it shows and stores is its
// WifiPageModel: the page only moves the model to and from its widgets.
class WifiPage final : public ui::PageWidget {
    Q_OBJECT

  public:
    explicit WifiPage(QWidget* parent = nullptr);
    ~WifiPage() override;

    // What the controls hold now, and showing a model.
    WifiPageModel model() const;
    void setModel(const WifiPageModel& model);

    // Empties and locks the page.
    void ResetWifiPage();
    // Shows a current clock's association from its read reply (frame type 1).
    void ShowWifiPage(settings::ConstSettingsBytes frame);
    // Writes the page into a Wi-Fi write request; always 0.
    std::int8_t StoreWifiPage(settings::SettingsBytes frame);

    const WifiPageControls& controls() const { return controls_; }

  private:
    QWidget* buildScanGroup();
    QWidget* buildWifiGroup();

    // Pairs every widget with its control in the model, for reading or writing.
    template <typename Model, typename Visitor>
    void visit(Model& model, const Visitor& visitor) const;
    // Runs a model routine on what the page holds and shows the result.
    template <typename Routine>
    void update(Routine routine);

    WifiPageControls controls_;
    QButtonGroup* patternGroup_ = nullptr;
    QButtonGroup* rowGroup_ = nullptr;
    // The Wi-Fi fields of the clock shown (WifiPageModel::read).
    std::optional<WifiFields> read_;
};

}  // namespace tavlo::wifi
