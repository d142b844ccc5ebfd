// The main window: the device tree and the search controls on the left, the tab control with
// the three settings pages on the right, the command buttons below.
#pragma once

#include <QDialog>
#include <functional>
#include <map>
#include <memory>
#include <set>

#include "app/ModifyPlan.h"
#include "app/QueuedSearchReporter.h"
#include "app/TreeRead.h"
#include "app/UpdateMonitor.h"
#include "firmware/UpdateWorker.h"
#include "firmware/page/SystemPage.h"
#include "protocol/Discovery.h"
#include "protocol/ProtocolState.h"
#include "workflow/ClockRead.h"
#include "workflow/ClockWrite.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QTreeWidgetItem;

namespace tavlo::platform {
class Network;
}
namespace tavlo::firmware {
struct UpdateState;
}  // namespace tavlo::firmware
namespace tavlo::settings {
class BasicPage;
}
namespace tavlo::wifi {
class WifiPage;
}
namespace tavlo::workflow {
struct PageModels;
}
namespace tavlo::ui {
class Prompter;
class Ipv4AddressEdit;
}  // namespace tavlo::ui

namespace tavlo::app {

class ClockJobRunner;
class DeviceTree;
class TabControl;

inline constexpr char kSocketInitErrorText[] = "Socket Init Error!";
inline constexpr char kAboutMenuText[] = "About TavloAdmin(&A)...";

// The tab control's tabs, in the order of PageTab.
inline constexpr char kBasicTabText[] = "Basic  Information ";
inline constexpr char kWifiTabText[] = "WIFI   Information ";
inline constexpr char kSystemTabText[] = "System  Information ";

// The status line beside "Modify" ("%1": the address): while a read runs, after a read that
// got an answer (the clock the pages show), and after a read or write nobody answered.
inline constexpr char kReadingFormat[] = "Reading %1...";
inline constexpr char kShowingFormat[] = "Showing %1";
inline constexpr char kNoAnswerFormat[] = "No answer from %1";
// Closing the window while a firmware update runs asks first.
inline constexpr char kCloseDuringUpdateQuestion[] =
    "A firmware update is running. Stop it and close?";

// A firmware update that the update monitor runs from Modify (single) or Batch Modify (batch).
using UpdateOperation = UpdateMonitor::Operation;

// What the main window shares with the rest of the program; all of it outlives the window.
struct MainDialogContext {
    platform::Network& network;
    protocol::ProtocolState& protocol;
    protocol::SearchState& search;
    firmware::UpdateState& update;
    ui::Prompter& prompter;
    // Starts the sockets layer; false when it cannot be started.
    std::function<bool()> startSockets;
    // A clock's hardware address from the neighbour table (normally
    // platform::LookupMacAddress; it may take a second, so it runs off the GUI thread).
    // Empty: every lookup fails.
    firmware::MacLookupFunction lookupMac;
    // How often the update monitor looks at a firmware update (tests shorten it).
    std::chrono::milliseconds updateMonitorInterval = kUpdateMonitorInterval;
};

// The three pages, children of the tab control.
struct MainDialogPages {
    settings::BasicPage* basic = nullptr;
    wifi::WifiPage* wifi = nullptr;
    firmware::SystemPage* system = nullptr;
};

class MainWindow final : public QDialog, private SearchView, private UpdateMonitorHost {
    Q_OBJECT

  public:
    // Result of runModal when the sockets layer could not be started.
    static constexpr int kSocketInitFailed = -1;

    explicit MainWindow(MainDialogContext context, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Starts the sockets layer and runs the window modally. When the sockets cannot be
    // started it shows "Socket Init Error!" and returns kSocketInitFailed without showing the
    // window.
    int runModal();

    // Opens the About box.
    void onAbout();

    // Closing the window: while a firmware update runs (a worker, or a batch between two
    // clocks) the operator is asked first, and No keeps the window and the update.
    void reject() override;

    // Search controls (the handlers of the buttons and radio buttons).
    void onSearch();
    void onStopSearch();
    bool searchRunning() const;

    // The command buttons. The page in front is written to the selected clock (Modify) or by
    // broadcast to every clock of the selected clock's generation (Batch Modify): the page is
    // read into its model here, the write runs as a clock job (workflow::RunWrite), and its
    // message box and a refusal's focus follow when the job ends. With the System page in
    // front and "Update Control" checked they start a firmware update instead, of the clock
    // the System page names (Modify) or of the selected clock and the clocks after it in its
    // group (Batch Modify; a selected group starts at its first clock), which the update
    // monitor then owns. See ModifyPlan.h.
    void OnModify();
    void OnBatchModify();

    // The device tree's two read paths: a click (`hit` nullptr for empty space) and a move of
    // the current item made with the keyboard. See TreeRead.h.
    void onTreeClicked(QTreeWidgetItem* hit);
    void onTreeKeyboardMove(QTreeWidgetItem* current);

    // The device tree's context menu, "Read all clocks": every clock of the tree read into
    // a table (ReadAllDialog), with the tree and the buttons locked until the dialog closes.
    void onReadAllClocks();
    // The clocks of the tree, in its order, each as the window reaches it.
    std::vector<ClockIdentity> treeClocks() const;

    // Makes `address` the System page's update target (SystemPage::SetUpdateTarget): the rule
    // of the clock's `family` for "Update Control" with `check`, the address, and the MAC
    // address from the neighbour table. The lookup (up to a second) runs as a clock job (see
    // jobs()), so the page changes when the job ends, not at once; `then` runs on the GUI
    // thread right after the page was filled. For a batch firmware update:
    //   - Batch Modify: lookUpUpdateTarget(first, family, kKept, [..] { StoreSystemPage(...) })
    //     so that the worker starts with the new address and MAC address;
    //   - the update monitor (UpdateMonitorHost::aimUpdateAt): select the next sibling in
    //     the tree (the program's selection reads nothing), then lookUpUpdateTarget(next, its
    //     group's family, kKept); while jobRunning() (UpdateMonitorHost::readingSelectedClock)
    //     no worker may start, or it would take the clock still in the page.
    void lookUpUpdateTarget(platform::Ipv4 address, protocol::ClockFamily family,
                            firmware::UpdateControlCheck check, std::function<void()> then = {});

    // The firmware update the update monitor owns, if any. While one runs the device tree and
    // "Modify", "Batch Modify" and "Search" stay disabled; kNone gives them back (unless a
    // search or a clock job still holds them: UpdateMonitorHost::giveControlsBack).
    void setUpdateOperation(UpdateOperation operation);
    UpdateOperation updateOperation() const { return updateOperation_; }

    // The clock jobs of the window (reads, writes, MAC lookups): one at a time, off the GUI
    // thread, with the tree and the three buttons disabled and a wait cursor while any runs.
    ClockJobRunner& jobs() const { return *jobs_; }
    bool jobRunning() const;

    // The user and global password of the clock read last (zeros before any read, and after
    // a read nobody answered); Modify checks the page against them.
    const workflow::KnownPasswords& knownPasswords() const { return knownPasswords_; }
    // The clock the pages were filled from: set by a read that got an answer, cleared by a
    // read nobody answered and by a search.
    const std::optional<ClockIdentity>& shownClock() const { return shown_; }
    // The window's status line ("Reading ADDRESS...", "Showing ADDRESS", "No answer from
    // ADDRESS", or empty).
    QString statusText() const;
    // The monitor of the firmware update that Modify or Batch Modify started.
    const UpdateMonitor& updateMonitor() const { return *monitor_; }

    const MainDialogPages& pages() const { return pages_; }
    DeviceTree* deviceTree() const { return tree_; }
    TabControl* tabControl() const { return tabs_; }

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void done(int result) override;

  private:
    void createControls();
    MainDialogPages createPages();
    void layOut();
    void showPage(int index);
    void stopSearchAndWait();
    void setSearchUiRunning(bool running);
    protocol::SearchOptions searchOptions() const;
    // The "WIRED" / "WIFI" choice.
    protocol::ClockFamily radios() const;

    // The tree and the three buttons are enabled only when no search, clock job or update
    // holds them.
    void refreshCommandControls();
    bool commandsFree() const;
    void onJobsBusy(bool busy);
    // The wait cursor shows while a clock job runs, except while a box of a finished job waits
    // for the operator (showJobBox runs `show`, which opens it).
    void syncWaitCursor();
    void showJobBox(const std::function<void()>& show);
    void startTreeRead(const TreeReadPlan& plan);
    struct TreeReadOutcome;
    void showTreeRead(const TreeReadPlan& plan, const TreeReadOutcome& outcome);
    // Runs a routine on the models of the Basic and WIFI pages and shows the result.
    void updatePageModels(const std::function<void(workflow::PageModels&)>& routine);
    firmware::UpdateControlCheck updateControlCheck() const;
    void showNoAnswer(platform::Ipv4 address, const std::string& failure);
    // "Showing ADDRESS" for the clock the pages show, or nothing.
    void showShownClock();
    void showStatus(const char* format, platform::Ipv4 address);

    // Modify and Batch Modify.
    QTreeWidgetItem* selectedItem() const;
    void startModify(workflow::WriteScope scope);
    void startWrite(workflow::WriteRequest request);
    void showWrite(const workflow::WriteRequest& request, const workflow::WriteOutcome& outcome);
    void startSingleUpdate();
    void startBatchUpdate(const ModifyPlan& plan);

    // UpdateMonitorHost (GUI thread).
    bool hasNextClock() const override;
    int followingClocks() const override;
    void selectNextClock() override;
    platform::Ipv4 selectedClockAddress() const override;
    bool readingSelectedClock() const override;
    void aimUpdateAt(platform::Ipv4 address) override;
    void giveControlsBack() override;
    firmware::UpdateStatus StoreSystemPage(firmware::StoreFlag flag) override;
    bool updateRunning() const override;
    void startCloseBoxTimer() override;
    void setBreakEnabled(bool enabled) override;

    // SearchView (GUI thread).
    void applySearchControls(const protocol::SearchControls& controls) override;
    void showSearchMessage(const QString& text) override;
    void onSearchStarted() override;
    void showProbedAddress(const QString& dotted) override;
    void addGroup(protocol::SearchGroup group, const QString& text) override;
    void addItem(protocol::SearchGroup group, const QString& text) override;
    void noteItemInterface(protocol::SearchGroup group, const std::string& interfaceName) override;
    void finishGroup(protocol::SearchGroup group, const QStringList& items,
                     const QString& label) override;
    void expandGroup(protocol::SearchGroup group) override;
    void onSearchEnded() override;

    MainDialogContext context_;

    DeviceTree* tree_ = nullptr;
    TabControl* tabs_ = nullptr;
    MainDialogPages pages_;
    QGroupBox* onlineClient_ = nullptr;
    QPushButton* modifyButton_ = nullptr;
    QPushButton* batchModifyButton_ = nullptr;
    QPushButton* searchButton_ = nullptr;
    QPushButton* stopSearchButton_ = nullptr;
    ui::Ipv4AddressEdit* ipAddress_ = nullptr;
    QRadioButton* broadcastRadio_ = nullptr;
    QRadioButton* unicastRadio_ = nullptr;
    QRadioButton* wiredRadio_ = nullptr;
    QRadioButton* wifiRadio_ = nullptr;
    QCheckBox* earlyVersionsCheck_ = nullptr;
    QCheckBox* v32Check_ = nullptr;
    QLabel* statusLine_ = nullptr;

    ClockJobRunner* jobs_ = nullptr;
    UpdateMonitor* monitor_ = nullptr;
    bool waitCursor_ = false;
    bool jobBoxOpen_ = false;
    // The tree had the keyboard focus when a job locked it; it gets it back afterwards.
    bool treeHadFocus_ = false;
    bool searchUiRunning_ = false;
    bool readingAll_ = false;
    UpdateOperation updateOperation_ = UpdateOperation::kNone;
    std::optional<ClockIdentity> shown_;
    workflow::KnownPasswords knownPasswords_;
    // The local interfaces on which the last search heard the clocks of each group: Batch
    // Modify broadcasts there alone (everywhere when none is known).
    std::map<protocol::SearchGroup, std::set<std::string>> searchInterfaces_;

    // The search under way (or finished and not yet dropped). The worker is destroyed
    // (stopped and joined) before its reporter; `live` turns false when the search is dropped,
    // so its reports still queued are ignored.
    struct ActiveSearch {
        std::shared_ptr<bool> live;
        std::unique_ptr<QueuedSearchReporter> reporter;
        std::unique_ptr<protocol::SearchWorker> worker;
        // The first address of a sweep as the operator typed it: the IP-address control shows
        // the address being probed while the sweep runs and this one again when it ends, so a
        // second "Search" sweeps the same range. Empty for a broadcast.
        QString sweepStart;
        ~ActiveSearch();
    };
    std::unique_ptr<ActiveSearch> search_;
};

}  // namespace tavlo::app
