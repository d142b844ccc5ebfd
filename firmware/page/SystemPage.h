#pragma once

#include <QString>
#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "firmware/UpdateWorker.h"
#include "firmware/page/QueuedUpdateReporter.h"
#include "platform/MacLookup.h"
#include "protocol/ClockFamily.h"
#include "ui/PageWidget.h"

class QAction;
class QButtonGroup;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTimer;

namespace tavlo::platform {
class Network;
}  // namespace tavlo::platform

namespace tavlo::ui {
class Ipv4AddressEdit;
class Prompter;
}  // namespace tavlo::ui

namespace tavlo::firmware {

struct UpdateState;

inline constexpr std::size_t kMacAddressMaxBytes = 17;
// The chooser offers two filters, "*.bin" first.
inline constexpr char kFirmwareFileFilter[] = "*.bin (*.bin);;*.hex (*.hex)";
inline constexpr char kSelectModeMessage[] = "Select at least one Mode!";
inline constexpr char kWaitingText[] = "Waiting";
// The page's context menu: resend a data block after a fixed second, as clocks have always
// seen, instead of after the measured round trip (for a clock that misbehaves with quicker
// resends). Off at start; it holds for the run.
inline constexpr char kFixedWaitAction[] = "Fixed 1 s wait before a resend";

// StoreSystemPage's flag.
enum class StoreFlag : std::uint8_t {
    kFreshStart = 0,  // forget the remembered worker and start a new one
    kPoll = 1,        // report on the remembered worker (start one when none is remembered)
};
// StoreSystemPage's result.
enum class UpdateStatus : std::int8_t {
    kRunning = 1,          // the worker runs, or one has just been started
    kEndedOrRefused = -1,  // a check refused (its message shown), or the worker has ended
};

// The page draws the progress line of a running update this often (not once a block).
inline constexpr std::chrono::milliseconds kProgressRepaintInterval{100};
// The close-box timer: one shot, this long after it was started.
inline constexpr std::chrono::milliseconds kCloseBoxDelay{500};

// What SetUpdateTarget does with the "Update Control" check when the wired family is chosen.
enum class UpdateControlCheck : std::uint8_t {
    kCleared,  // the operator chose a clock: the mode must be chosen again
    kKept,     // a batch update takes its next clock: the mode stays selected
};

// What the page shares with the rest of the program; all of it outlives the page.
struct SystemPageContext {
    UpdateState& update;
    ui::Prompter& prompter;
    // The network the update worker sends through.
    platform::Network& network;
    // The clock's hardware address from its IPv4 address (the neighbour table).
    MacLookupFunction lookupMac;
};

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
    QAction* fixedWait = nullptr;            // the context menu's check, kFixedWaitAction

    // The seven password fields of both groups.
    std::array<QLineEdit*, 7> passwordFields() const;
};

// The System Information page: the operator's panel for loading firmware into a wired clock.
// It holds the target clock's address and MAC address, the firmware file, the counter and
// progress lines and "Break", and it starts and watches the update worker. It shares the
// update state (counter and break flag) with the rest of the program.
//
// The worker runs on its own thread: it takes the fields as they are when it starts
// (UpdateTarget) and reaches the page only through a QueuedUpdateReporter, which posts its
// lines and boxes to the GUI thread. The GUI
// thread never waits for a worker, except when the page stops its workers for good
// (stopUpdates, and the destructor).
class SystemPage final : public ui::PageWidget, private UpdateView {
    Q_OBJECT

  public:
    // Asks the operator for a firmware file; returns the chosen path, or an empty string when
    // the operator cancelled.
    using FileChooser = std::function<QString(QWidget* parent)>;

    explicit SystemPage(SystemPageContext context, QWidget* parent = nullptr);
    // Stops and joins every worker first.
    ~SystemPage() override;

    const SystemPageControls& controls() const { return controls_; }

    // Checks the page and starts or polls the update worker (an empty "MAC Address:" field is
    // refused unless the target's MAC address is unknown, see SetUpdateTarget). kFreshStart
    // forgets the remembered worker and starts a new one; kPoll reports on the remembered
    // worker, or starts one when none is remembered. kRunning while the worker runs or when one
    // has just been started; kEndedOrRefused when a check refused (its message shown) or the
    // remembered worker has ended (it is forgotten). Never waits for the worker.
    UpdateStatus StoreSystemPage(StoreFlag flag);
    // True while a worker started by this page runs (remembered or forgotten).
    bool updateRunning() const;

    // Makes the clock at `address` the update target. First "Update Control" by the clock's
    // `family`: Wi-Fi disables it and clears its check (firmware goes to wired clocks only);
    // wired enables it and clears its check unless `check` is kKept; none leaves it as it
    // is. Then, unless `address` is 255.255.255.255, the dotted address goes into the address
    // control and `mac` into "MAC Address:" as six upper-case hexadecimal pairs joined by
    // hyphens. `mac` is what the caller found in the neighbour table (off the GUI thread);
    // without it the field is emptied (it never keeps another clock's MAC address) and the
    // target's MAC address counts as unknown: StoreSystemPage then lets an empty field through
    // to the worker, which looks the clock up once more and, finding nothing, fails that
    // clock's update with "No MAC address known for ADDRESS (no answer to ARP)", sending
    // nothing.
    void SetUpdateTarget(platform::Ipv4 address, const std::optional<platform::MacAddress>& mac,
                         UpdateControlCheck check, protocol::ClockFamily family);

    // Closes the result box titled exactly "Update" kCloseBoxDelay from now, once; starting
    // it again before it fired starts the wait again.
    void startCloseBoxTimer();
    // "Break" is disabled at start; the batch update enables it.
    void setBreakEnabled(bool enabled);
    // The "Update Control" radio button.
    bool updateControlChecked() const;
    void setUpdateControlState(bool enabled, bool checked);

    // Sets the break flag when an update runs, answers every box its workers wait for, asks
    // them to stop and joins them (about a second at most). The page stays usable.
    void stopUpdates();

    // The interfaces an update sent to a broadcast address leaves by (their names; empty:
    // every interface with a broadcast address): those where the last search heard clocks.
    void setBroadcastInterfaces(std::vector<std::string> names) {
        broadcastInterfaces_ = std::move(names);
    }

    // Replaces the system file-open dialog behind "..." (tests script the choice).
    void setFileChooser(FileChooser chooser);
    // The system file-open dialog with the firmware filters.
    static QString chooseFirmwareFile(QWidget* parent);

  private:
    // A caption and the field it labels.
    using PasswordField = std::pair<const char*, QLineEdit**>;
    // A group box headed by a disabled mode button, with one masked, disabled field a row.
    QWidget* buildPasswordGroup(const char* mode, QRadioButton*& button,
                                std::initializer_list<PasswordField> fields);
    QWidget* buildUserPasswordGroup();
    QWidget* buildGlobalPasswordGroup();
    QWidget* buildUpdateGroup();

    void onUpdateControl();
    void onBrowse();
    void onBreak();
    void onCloseBoxTimer();

    // One update worker and the reporter it reports through; the worker is destroyed
    // (joined) first.
    struct WorkerRun {
        std::shared_ptr<QueuedUpdateReporter> reporter;
        std::unique_ptr<UpdateWorker> worker;
    };
    void startWorker();
    // Forgets the remembered worker: one that still runs is kept until it ends.
    void forgetWorker();
    // Draws the latest block progress and lets go of forgotten workers that have ended.
    void onProgressTick();
    void stopRunsAndJoin(std::vector<std::unique_ptr<WorkerRun>> runs);

    // UpdateView (GUI thread).
    void showMacAddressText(const QString& text) override;
    void showProgressLine(const QString& text) override;
    void showCounterLine(const QString& text) override;
    void focusAddressControl() override;
    void focusMacAddressField() override;
    void openWorkerBox(WorkerBox box, const QString& text, boxClosed closed) override;

    SystemPageContext context_;
    std::vector<std::string> broadcastInterfaces_;
    UpdateState& update_;
    ui::Prompter& prompter_;
    FileChooser chooseFile_;
    SystemPageControls controls_;
    QButtonGroup* modeGroup_ = nullptr;
    QTimer* progressTimer_ = nullptr;
    QTimer* closeBoxTimer_ = nullptr;
    // The remembered worker (the "handle"), and forgotten ones that still run.
    std::unique_ptr<WorkerRun> current_;
    std::vector<std::unique_ptr<WorkerRun>> forgotten_;
    // Captions of the workers' boxes open now, with how many of each.
    std::map<QString, int> openWorkerBoxes_;
    // The neighbour table knew no MAC address for the target when it was set.
    bool targetMacUnknown_ = false;
};

}  // namespace tavlo::firmware
