// The main window: the device tree and the search controls on the left, the tab control with
// the three settings pages on the right, the command buttons below.
#pragma once

#include <QDialog>
#include <functional>
#include <memory>

#include "app/QueuedSearchReporter.h"
#include "protocol/Discovery.h"
#include "protocol/ProtocolState.h"

class QCheckBox;
class QGroupBox;
class QPushButton;
class QRadioButton;

namespace tavlo::platform {
class Network;
}
namespace tavlo::firmware {
struct UpdateState;
class SystemPage;
}  // namespace tavlo::firmware
namespace tavlo::settings {
class BasicPage;
}
namespace tavlo::wifi {
class WifiPage;
}
namespace tavlo::ui {
class Prompter;
class Ipv4AddressEdit;
}  // namespace tavlo::ui

namespace tavlo::app {

class DeviceTree;
class TabControl;

inline constexpr char kAppName[] = "TavloAdmin";
inline constexpr char kSocketInitErrorText[] = "Socket Init Error!";
inline constexpr char kAboutMenuText[] = "About TavloAdmin(&A)...";

// Tabs of the tab control, in order.
enum class PageTab : int { kBasic = 0, kWifi = 1, kSystem = 2 };
inline constexpr char kBasicTabText[] = "Basic  Information ";
inline constexpr char kWifiTabText[] = "WIFI   Information ";
inline constexpr char kSystemTabText[] = "System  Information ";

// What the main window shares with the rest of the program; all of it outlives the window.
struct MainDialogContext {
    platform::Network& network;
    protocol::ProtocolState& protocol;
    protocol::SearchState& search;
    firmware::UpdateState& update;
    ui::Prompter& prompter;
    // Starts the sockets layer; false when it cannot be started.
    std::function<bool()> startSockets;
};

// The three pages, children of the tab control.
struct MainDialogPages {
    settings::BasicPage* basic = nullptr;
    wifi::WifiPage* wifi = nullptr;
    firmware::SystemPage* system = nullptr;
};

class MainWindow final : public QDialog, private SearchView {
    Q_OBJECT

  public:
    // Result of RunModal when the sockets layer could not be started.
    static constexpr int kSocketInitFailed = -1;

    explicit MainWindow(MainDialogContext context, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Starts the sockets layer and runs the window modally. When the sockets cannot be
    // started it shows "Socket Init Error!" and returns kSocketInitFailed without showing the
    // window.
    int RunModal();

    // Opens the About box.
    void OnAbout();

    // Search controls (the handlers of the buttons and radio buttons).
    void OnSearch();
    void OnStopSearch();
    bool searchRunning() const;

    // Command buttons and tree: reading and writing clocks attach here.
    void OnModify();
    void OnBatchModify();
    void OnTreeSelectionChanged();

    const MainDialogPages& pages() const { return pages_; }
    DeviceTree* deviceTree() const { return tree_; }
    TabControl* tabControl() const { return tabs_; }

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
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

    // SearchView (GUI thread).
    void applySearchControls(const protocol::SearchControls& controls) override;
    void showSearchMessage(const QString& text) override;
    void onSearchStarted() override;
    void showProbedAddress(const QString& dotted) override;
    void addGroup(protocol::SearchGroup group, const QString& text) override;
    void addItem(protocol::SearchGroup group, const QString& text) override;
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

    // The search under way (or finished and not yet dropped). The worker is destroyed
    // (stopped and joined) before its reporter; `live` turns false when the search is dropped,
    // so its reports still queued are ignored.
    struct ActiveSearch {
        std::shared_ptr<bool> live;
        std::unique_ptr<QueuedSearchReporter> reporter;
        std::unique_ptr<protocol::SearchWorker> worker;
        ~ActiveSearch();
    };
    std::unique_ptr<ActiveSearch> search_;
};

}  // namespace tavlo::app
