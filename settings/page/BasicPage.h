#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "settings/BasicPageModel.h"
#include "ui/PageWidget.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QRadioButton;

namespace tavlo::ui {
class Ipv4AddressEdit;
class Prompter;
}  // namespace tavlo::ui

namespace tavlo::settings {

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
// page is created once by the main window and shows the clock read last. What it shows and
// stores is its BasicPageModel: the page only moves the model to and from its widgets, tells
// the operator a store's refusal through the Prompter and guards what the operator types.
class BasicPage final : public ui::PageWidget {
    Q_OBJECT

  public:
    explicit BasicPage(ui::Prompter& prompter, QWidget* parent = nullptr);
    ~BasicPage() override;

    // What the controls hold now, and showing a model. A model taken here can be stored on
    // another thread; setModel() shows it unchanged.
    BasicPageModel model() const;
    void setModel(const BasicPageModel& model);

    // Empties the page: no clock shown.
    void ClearBasicPage();
    // Shows a current clock's read reply (frame type 1); a text display mode outside 2 to 5
    // is written back into the frame as 2.
    void ShowClockSettings(SettingsBytes frame, protocol::ClockFamily family);
    // Clears the page and shows an early-version clock's read reply (command code 1).
    void ShowEarlyClockSettings(ConstCommandBytes commandFrame);
    // Writes the page into a write request: 0, or -1 after the refusal was shown.
    std::int8_t StoreClockSettings(SettingsBytes frame);
    std::int8_t StoreEarlyClockSettings(CommandBytes commandFrame);
    // Tells the operator why a store was refused and moves the focus to the entry.
    void showRefusal(const Refusal& refusal);

    const BasicPageControls& controls() const { return controls_; }

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

    // Pairs every widget with its control in the model, for reading or writing.
    template <typename Model, typename Visitor>
    void visit(Model& model, const Visitor& visitor) const;
    // Runs a model routine (a handler, a show) on what the page holds and shows the result.
    template <typename Routine>
    void update(Routine routine);
    std::int8_t finishStore(const StoreResult& result);
    QWidget* focusTarget(const BasicFocus& focus) const;
    void guardRange(QLineEdit* box, std::string_view message);
    void updateTextCounter();

    ui::Prompter& prompter_;
    BasicPageControls controls_;
    // What the widgets do not show: the list items and the brightness the clock reported.
    BasicPageModel shown_;
    QButtonGroup* formatGroup_ = nullptr;
    QButtonGroup* ipModeGroup_ = nullptr;
    QButtonGroup* serverModeGroup_ = nullptr;
    QButtonGroup* dimGroup_ = nullptr;
    QButtonGroup* textModeGroup_ = nullptr;
    QButtonGroup* unitGroup_ = nullptr;
};

}  // namespace tavlo::settings
