#include "app/MainWindow.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QVBoxLayout>
#include <initializer_list>

#include "app/AboutDialog.h"
#include "app/AppIcon.h"
#include "app/ClockJobRunner.h"
#include "app/DeviceTree.h"
#include "app/ReadAllDialog.h"
#include "app/TabControl.h"
#include "platform/Ipv4.h"
#include "protocol/Exchanges.h"
#include "settings/page/BasicPage.h"
#include "ui/Ipv4AddressEdit.h"
#include "ui/PageWidget.h"
#include "ui/ProgramName.h"
#include "ui/Prompter.h"
#include "wifi/page/WifiPage.h"
#include "workflow/ClockLine.h"
#include "workflow/PageModels.h"

namespace tavlo::app {
namespace {

// The window as designed (client area, pixels): the device tree 200 wide on the left above
// the "Online Client" group, the tab control filling the rest, "Modify" and "Batch Modify" at
// the bottom right. Extra room goes to the tree (height) and to the tab control; the window
// is never smaller than designed, or than its pages need when fonts are larger.
constexpr QSize kClientSize(924, 733);
constexpr int kOuterMargin = 10;
constexpr int kBottomMargin = 15;
constexpr int kColumnGap = 10;
constexpr int kTreeToGroupGap = 8;
constexpr int kTabsToCommandsGap = 16;
constexpr int kCommandGap = 14;
constexpr int kLeftColumnWidth = 200;
constexpr int kTreeMinimumHeight = 120;
constexpr QSize kCommandButtonSize(140, 34);
constexpr int kSearchButtonHeight = 32;
constexpr int kGroupMargin = 11;

QString text(const char* s) {
    return QString::fromLatin1(s);
}

// The clocks that acknowledged a batch, one address a line, in the order of their addresses.
QString acknowledgersText(const std::vector<platform::Ipv4>& clocks) {
    QStringList lines;
    for (const platform::Ipv4 clock : workflow::ByAddress(clocks)) {
        lines << QString::fromStdString(platform::FormatIpv4(clock));
    }
    return lines.join(QLatin1Char('\n'));
}

template <typename W>
W* named(W* widget, const char* objectName) {
    widget->setObjectName(text(objectName));
    return widget;
}

QPushButton* makeButton(QWidget* parent, const char* label, const char* objectName) {
    auto* button = named(new QPushButton(text(label), parent), objectName);
    // Enter never presses a button of this window.
    button->setAutoDefault(false);
    return button;
}

// One of a pair of radio buttons where clicking one clears the other and neither is checked
// at the start.
QButtonGroup* makePair(QWidget* parent, QRadioButton* a, QRadioButton* b) {
    auto* group = new QButtonGroup(parent);
    group->setExclusive(true);
    group->addButton(a);
    group->addButton(b);
    return group;
}

void setPair(QRadioButton* a, bool aChecked, QRadioButton* b, bool bChecked) {
    QButtonGroup* group = a->group();
    const bool exclusive = group != nullptr && group->exclusive();
    if (exclusive) {
        group->setExclusive(false);
    }
    a->setChecked(aChecked);
    b->setChecked(bChecked);
    if (exclusive) {
        group->setExclusive(true);
    }
}

}  // namespace

MainWindow::MainWindow(MainDialogContext context, QWidget* parent)
    : QDialog(parent), context_(std::move(context)) {
    setObjectName(QStringLiteral("MainWindow"));
    setWindowTitle(text(ui::kProgramName));
    setWindowIcon(applicationIcon());
    // A sizeable frame with the system menu and a minimise box.
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    createControls();
    pages_ = createPages();
    UpdateMonitorHost& host = *this;
    monitor_ = new UpdateMonitor(host, context_.update, context_.prompter,
                                 context_.updateMonitorInterval, this);
    tabs_->addTab(text(kBasicTabText));
    tabs_->addTab(text(kWifiTabText));
    tabs_->addTab(text(kSystemTabText));
    layOut();

    // The designed size, or what the pages need when larger fonts make them grow; never less.
    const QSize designed = kClientSize.expandedTo(layout()->totalMinimumSize());
    setMinimumSize(designed);
    resize(designed);
    showPage(static_cast<int>(PageTab::kBasic));
    tabs_->setCurrentIndexSilently(static_cast<int>(PageTab::kBasic));

    connect(tabs_, &TabControl::selectionChanged, this, &MainWindow::showPage);
    auto* about = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(about, &QShortcut::activated, this, &MainWindow::onAbout);
}

MainWindow::~MainWindow() {
    monitor_->abandon();
    jobs_->stopAndJoin();
    stopSearchAndWait();
    if (waitCursor_) {
        QApplication::restoreOverrideCursor();
    }
}

void MainWindow::createControls() {
    tree_ = named(new DeviceTree(this), "deviceTree");
    tabs_ = named(new TabControl(this), "tabControl");

    onlineClient_ = named(new QGroupBox(text("Online Client"), this), "onlineClientGroup");
    ipAddress_ = named(new ui::Ipv4AddressEdit(onlineClient_), "ipAddress");
    broadcastRadio_ = named(new QRadioButton(text("Broadcast"), onlineClient_), "broadcastRadio");
    unicastRadio_ = named(new QRadioButton(text("Unicast"), onlineClient_), "unicastRadio");
    wiredRadio_ = named(new QRadioButton(text("WIRED"), onlineClient_), "wiredRadio");
    wifiRadio_ = named(new QRadioButton(text("WIFI"), onlineClient_), "wifiRadio");
    makePair(this, broadcastRadio_, unicastRadio_);
    makePair(this, wiredRadio_, wifiRadio_);
    earlyVersionsCheck_ =
        named(new QCheckBox(text("Early versions"), onlineClient_), "earlyVersionsCheck");
    v32Check_ = named(new QCheckBox(text("V3.2"), onlineClient_), "v32Check");
    // Created hidden and never shown; the search still reads and sets them.
    earlyVersionsCheck_->hide();
    v32Check_->hide();

    searchButton_ = makeButton(onlineClient_, "Search", "searchButton");
    stopSearchButton_ = makeButton(onlineClient_, "Stop to Search", "stopSearchButton");
    stopSearchButton_->hide();
    modifyButton_ = makeButton(this, "Modify", "modifyButton");
    batchModifyButton_ = makeButton(this, "Batch Modify", "batchModifyButton");
    statusLine_ = named(new QLabel(this), "statusLine");
    // A long text is cut; it never widens the window.
    statusLine_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    statusLine_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    jobs_ = new ClockJobRunner(this);
    connect(jobs_, &ClockJobRunner::busyChanged, this, &MainWindow::onJobsBusy);

    connect(searchButton_, &QPushButton::clicked, this, &MainWindow::onSearch);
    connect(stopSearchButton_, &QPushButton::clicked, this, &MainWindow::onStopSearch);
    connect(modifyButton_, &QPushButton::clicked, this, &MainWindow::OnModify);
    connect(batchModifyButton_, &QPushButton::clicked, this, &MainWindow::OnBatchModify);
    connect(broadcastRadio_, &QRadioButton::clicked, this, [this] {
        setPair(broadcastRadio_, true, unicastRadio_, false);
        ipAddress_->setEnabled(false);
    });
    connect(unicastRadio_, &QRadioButton::clicked, this, [this] {
        setPair(unicastRadio_, true, broadcastRadio_, false);
        ipAddress_->setEnabled(true);
    });
    connect(wiredRadio_, &QRadioButton::clicked, this, [this] {
        setPair(wiredRadio_, true, wifiRadio_, false);
        context_.search.WifiFamilySelected = 0;
        context_.search.WiredFamilySelected = 1;
    });
    connect(wifiRadio_, &QRadioButton::clicked, this, [this] {
        setPair(wifiRadio_, true, wiredRadio_, false);
        context_.search.WifiFamilySelected = 1;
        context_.search.WiredFamilySelected = 0;
    });
    connect(tree_, &DeviceTree::keyboardMoved, this, &MainWindow::onTreeKeyboardMove);
    connect(tree_, &DeviceTree::treeClicked, this, &MainWindow::onTreeClicked);
    // The right button on the tree opens the tree's own menu; elsewhere the window's.
    tree_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(tree_, &DeviceTree::customContextMenuRequested, this, [this](const QPoint& at) {
        QMenu menu(this);
        QAction* readAll = menu.addAction(text(kReadAllMenuText));
        readAll->setEnabled(commandsFree() && !treeClocks().empty());
        connect(readAll, &QAction::triggered, this, &MainWindow::onReadAllClocks);
        menu.exec(tree_->viewport()->mapToGlobal(at));
    });
}

void MainWindow::layOut() {
    // "Online Client": the address, the two radio pairs, the hidden check boxes and "Search"
    // with "Stop to Search" in the same place, kept together at their own height.
    auto* group = new QGridLayout(onlineClient_);
    group->setContentsMargins(kGroupMargin, kGroupMargin, kGroupMargin, kGroupMargin);
    group->addWidget(ipAddress_, 0, 0, 1, 2);
    group->addWidget(broadcastRadio_, 1, 0);
    group->addWidget(unicastRadio_, 1, 1);
    group->addWidget(wiredRadio_, 2, 0);
    group->addWidget(wifiRadio_, 2, 1);
    group->addWidget(earlyVersionsCheck_, 3, 0);
    group->addWidget(v32Check_, 3, 1);
    for (QPushButton* button : {searchButton_, stopSearchButton_}) {
        QSizePolicy policy = button->sizePolicy();
        policy.setRetainSizeWhenHidden(true);  // both keep the one place
        button->setSizePolicy(policy);
        button->setMinimumHeight(kSearchButtonHeight);
        group->addWidget(button, 4, 0, 1, 2);
    }
    onlineClient_->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);

    // Left: the tree takes the height the group leaves.
    tree_->setFixedWidth(kLeftColumnWidth);
    tree_->setMinimumHeight(kTreeMinimumHeight);
    onlineClient_->setFixedWidth(kLeftColumnWidth);
    auto* left = new QVBoxLayout;
    left->setSpacing(kTreeToGroupGap);
    left->addWidget(tree_, 1);
    left->addWidget(onlineClient_);

    auto* top = new QHBoxLayout;
    top->setSpacing(kColumnGap);
    top->addLayout(left);
    top->addWidget(tabs_, 1);

    // The status line takes the room left of the command buttons.
    auto* commands = new QHBoxLayout;
    commands->setSpacing(kCommandGap);
    commands->addWidget(statusLine_, 1);
    for (QPushButton* button : {modifyButton_, batchModifyButton_}) {
        button->setFixedSize(kCommandButtonSize);
        commands->addWidget(button);
    }

    auto* window = new QVBoxLayout(this);
    window->setContentsMargins(kOuterMargin, kOuterMargin, kOuterMargin, kBottomMargin);
    window->setSpacing(kTabsToCommandsGap);
    window->addLayout(top, 1);
    window->addLayout(commands);
}

MainDialogPages MainWindow::createPages() {
    MainDialogPages pages;
    pages.basic = new settings::BasicPage(context_.prompter, tabs_);
    pages.basic->setObjectName(QStringLiteral("BasicPage"));
    pages.system =
        new firmware::SystemPage(firmware::SystemPageContext{context_.update, context_.prompter,
                                                             context_.network, context_.lookupMac},
                                 tabs_);
    pages.system->setObjectName(QStringLiteral("SystemPage"));
    pages.wifi = new wifi::WifiPage(tabs_);
    pages.wifi->setObjectName(QStringLiteral("WifiPage"));
    for (QWidget* page : std::initializer_list<QWidget*>{pages.basic, pages.system, pages.wifi}) {
        tabs_->addPage(page);
    }
    return pages;
}

int MainWindow::runModal() {
    if (!context_.startSockets || !context_.startSockets()) {
        context_.prompter.inform(text(kSocketInitErrorText));
        return kSocketInitFailed;
    }
    return exec();
}

void MainWindow::showPage(int index) {
    const std::pair<QWidget*, PageTab> pages[] = {
        {pages_.basic, PageTab::kBasic},
        {pages_.wifi, PageTab::kWifi},
        {pages_.system, PageTab::kSystem},
    };
    for (const auto& [page, tab] : pages) {
        if (page != nullptr) {
            page->setVisible(static_cast<int>(tab) == index);
        }
    }
}

void MainWindow::keyPressEvent(QKeyEvent* event) {
    if (ui::IsEnterOrEscape(*event)) {
        // Neither Enter nor Escape closes the main window.
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void MainWindow::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    QAction* about = menu.addAction(text(kAboutMenuText));
    about->setShortcut(QKeySequence(Qt::Key_F1));
    connect(about, &QAction::triggered, this, &MainWindow::onAbout);
    menu.exec(event->globalPos());
}

void MainWindow::onAbout() {
    AboutDialog about(this);
    about.exec();
}

void MainWindow::reject() {
    // Between two clocks of a batch no worker runs, but the batch is still under way.
    const bool updating =
        updateOperation_ == UpdateOperation::kBatch || pages_.system->updateRunning();
    if (updating && !context_.prompter.askYesNo(text(kCloseDuringUpdateQuestion))) {
        return;
    }
    QDialog::reject();
}

void MainWindow::done(int result) {
    // Closing the window ends a running clock job (a write between two attempts, a read or a
    // write within the exchange under way: a second at most), a running search (its worker
    // stops within tens of ms) and a running firmware update: the monitor lets go of it, the
    // page sets the break flag, answers the boxes its workers wait for and joins them (about
    // a second at most). No thread is left to report to the pages.
    monitor_->abandon();
    jobs_->stopAndJoin();
    stopSearchAndWait();
    pages_.system->stopUpdates();
    // Nothing runs any more that the flag could stop.
    context_.update.breakFlag = false;
    updateOperation_ = UpdateOperation::kNone;
    refreshCommandControls();
    showShownClock();  // no read or write is under way any more
    QDialog::done(result);
}

MainWindow::ActiveSearch::~ActiveSearch() {
    worker.reset();  // stops the search and joins its thread
    *live = false;
}

void MainWindow::stopSearchAndWait() {
    search_.reset();
}

bool MainWindow::searchRunning() const {
    return search_ != nullptr && search_->worker != nullptr && search_->worker->isRunning();
}

protocol::SearchOptions MainWindow::searchOptions() const {
    protocol::SearchOptions options;
    options.broadcastChecked = broadcastRadio_->isChecked();
    options.unicastChecked = unicastRadio_->isChecked();
    options.ipAddressText = ipAddress_->text().toStdString();
    options.wiredChecked = wiredRadio_->isChecked();
    options.wifiChecked = wifiRadio_->isChecked();
    options.earlyVersionsChecked = earlyVersionsCheck_->isChecked();
    options.v32Checked = v32Check_->isChecked();
    return options;
}

void MainWindow::onSearch() {
    // A sweep from 0.0.0.0 is refused before anything changes: the tree and the pages stay.
    if (unicastRadio_->isChecked() &&
        platform::ParseIpv4(ipAddress_->text().toStdString()) == platform::kAnyAddress) {
        context_.prompter.inform(text(protocol::kPleaseSelectValidIp));
        return;
    }
    // "Search" is hidden while a search runs; a search that has not shown itself yet is
    // replaced, a finished one joined.
    search_.reset();
    statusLine_->clear();
    tree_->clearAll();
    searchInterfaces_.clear();
    pages_.basic->ClearBasicPage();
    pages_.wifi->ResetWifiPage();
    shown_.reset();
    auto search = std::make_unique<ActiveSearch>();
    search->live = std::make_shared<bool>(true);
    SearchView& view = *this;
    search->reporter = std::make_unique<QueuedSearchReporter>(this, view, search->live);
    if (unicastRadio_->isChecked()) {
        search->sweepStart = ipAddress_->text();
    }
    search->worker = std::make_unique<protocol::SearchWorker>(
        context_.network, context_.protocol, context_.search, searchOptions(), *search->reporter);
    search->worker->start();
    search_ = std::move(search);
}

void MainWindow::onStopSearch() {
    if (search_ && search_->worker) {
        search_->worker->requestStop();
    }
}

protocol::ClockFamily MainWindow::radios() const {
    return protocol::FamilyFromFlags(context_.search.WifiFamilySelected,
                                     context_.search.WiredFamilySelected);
}

namespace {

std::optional<TreeChoice> ChoiceOf(const QTreeWidgetItem* item) {
    if (item == nullptr) {
        return std::nullopt;
    }
    TreeChoice choice;
    choice.text = item->text(0).toStdString();
    if (const QTreeWidgetItem* parent = item->parent()) {
        choice.parentText = parent->text(0).toStdString();
    }
    return choice;
}

std::optional<platform::MacAddress> LookUpMac(const firmware::MacLookupFunction& lookup,
                                              platform::Ipv4 address, const std::stop_token& stop) {
    if (!lookup || address == platform::kLimitedBroadcast || stop.stop_requested()) {
        return std::nullopt;
    }
    return lookup(address);
}

}  // namespace

void MainWindow::onTreeClicked(QTreeWidgetItem* hit) {
    startTreeRead(PlanClickRead(ChoiceOf(hit), radios()));
}

void MainWindow::onTreeKeyboardMove(QTreeWidgetItem* current) {
    if (const std::optional<TreeChoice> choice = ChoiceOf(current)) {
        startTreeRead(PlanKeyboardRead(*choice, radios()));
    }
}

// What a read job brings back to the GUI thread.
struct MainWindow::TreeReadOutcome {
    std::optional<workflow::ReadResult> read;
    std::optional<platform::MacAddress> mac;
};

void MainWindow::startTreeRead(const TreeReadPlan& plan) {
    if (plan.empty()) {
        return;
    }
    auto start = [this, plan] {
        if (plan.read) {
            statusLine_->clear();
            if (protocol::IsSingleClockTarget(plan.address)) {
                showStatus(kReadingFormat, plan.address);
            }
        }
        if (plan.clearsPages()) {
            updatePageModels([&](workflow::PageModels& pages) {
                workflow::ClearPagesForRead(*plan.read, pages);
            });
            shown_.reset();
        }
    };
    // The work reaches the network and the shared frames only; the window is not touched.
    auto work = [&network = context_.network, &protocol = context_.protocol,
                 lookup = context_.lookupMac, plan](std::stop_token stop) {
        TreeReadOutcome outcome;
        if (plan.read) {
            workflow::ClockLine line(network, protocol);
            outcome.read = workflow::ReadClock(line, plan.address, *plan.read, stop);
        }
        if (plan.setsUpdateTarget) {
            outcome.mac = LookUpMac(lookup, plan.address, stop);
        }
        return outcome;
    };
    jobs_->run(std::move(start), std::move(work),
               [this, plan](const TreeReadOutcome& outcome) { showTreeRead(plan, outcome); });
}

void MainWindow::showTreeRead(const TreeReadPlan& plan, const TreeReadOutcome& outcome) {
    if (outcome.read) {
        const workflow::ReadResult& read = *outcome.read;
        updatePageModels(
            [&](workflow::PageModels& pages) { workflow::ShowRead(read, *plan.read, pages); });
        if (*plan.read != workflow::ClockKind::kEarly) {
            knownPasswords_ = read.passwords.value_or(workflow::KnownPasswords{});
        }
        // The pages now show this clock, or no clock at all.
        shown_ = read.answered ? plan.identity() : std::nullopt;
        statusLine_->clear();
        if (!read.answered && protocol::IsSingleClockTarget(plan.address)) {
            showNoAnswer(plan.address, read.failure);
        } else {
            showShownClock();
        }
    }
    if (plan.setsUpdateTarget) {
        pages_.system->SetUpdateTarget(plan.address, outcome.mac, updateControlCheck(),
                                       plan.family);
    }
}

void MainWindow::updatePageModels(const std::function<void(workflow::PageModels&)>& routine) {
    workflow::PageModels pages{pages_.basic->model(), pages_.wifi->model()};
    routine(pages);
    pages_.basic->setModel(pages.basic);
    pages_.wifi->setModel(pages.wifi);
}

void MainWindow::showStatus(const char* format, platform::Ipv4 address) {
    statusLine_->setText(text(format).arg(QString::fromStdString(platform::FormatIpv4(address))));
}

void MainWindow::showShownClock() {
    if (shown_) {
        showStatus(kShowingFormat, shown_->address);
    } else {
        statusLine_->clear();
    }
}

void MainWindow::showNoAnswer(platform::Ipv4 address, const std::string& failure) {
    showStatus(kNoAnswerFormat, address);
    if (!failure.empty()) {
        // Nothing could even be asked (the port is taken, no socket): say why.
        statusLine_->setText(statusLine_->text() +
                             QStringLiteral(" (%1)").arg(QString::fromStdString(failure)));
    }
}

QString MainWindow::statusText() const {
    return statusLine_->text();
}

firmware::UpdateControlCheck MainWindow::updateControlCheck() const {
    return updateOperation_ == UpdateOperation::kBatch ? firmware::UpdateControlCheck::kKept
                                                       : firmware::UpdateControlCheck::kCleared;
}

void MainWindow::lookUpUpdateTarget(platform::Ipv4 address, protocol::ClockFamily family,
                                    firmware::UpdateControlCheck check,
                                    std::function<void()> then) {
    jobs_->run([lookup = context_.lookupMac,
                address](std::stop_token stop) { return LookUpMac(lookup, address, stop); },
               [this, address, family, check,
                then = std::move(then)](const std::optional<platform::MacAddress>& mac) {
                   pages_.system->SetUpdateTarget(address, mac, check, family);
                   if (then) {
                       then();
                   }
               });
}

void MainWindow::setUpdateOperation(UpdateOperation operation) {
    updateOperation_ = operation;
    refreshCommandControls();
}

bool MainWindow::jobRunning() const {
    return jobs_->busy();
}

void MainWindow::onJobsBusy(bool /*busy*/) {
    syncWaitCursor();
    refreshCommandControls();
}

void MainWindow::syncWaitCursor() {
    const bool wanted = jobs_->busy() && !jobBoxOpen_;
    if (wanted != waitCursor_) {
        waitCursor_ = wanted;
        if (wanted) {
            QApplication::setOverrideCursor(Qt::WaitCursor);
        } else {
            QApplication::restoreOverrideCursor();
        }
    }
}

void MainWindow::showJobBox(const std::function<void()>& show) {
    jobBoxOpen_ = true;
    syncWaitCursor();
    show();
    jobBoxOpen_ = false;
    syncWaitCursor();
}

bool MainWindow::commandsFree() const {
    return !searchUiRunning_ && !jobs_->busy() && updateOperation_ == UpdateOperation::kNone &&
           !readingAll_;
}

std::vector<ClockIdentity> MainWindow::treeClocks() const {
    std::vector<ClockIdentity> clocks;
    for (int group = 0; group < tree_->topLevelItemCount(); ++group) {
        const QTreeWidgetItem* parent = tree_->topLevelItem(group);
        for (int child = 0; child < parent->childCount(); ++child) {
            if (const auto clock = IdentityOfItem(*ChoiceOf(parent->child(child)), radios())) {
                clocks.push_back(*clock);
            }
        }
    }
    return clocks;
}

void MainWindow::onReadAllClocks() {
    const std::vector<ClockIdentity> clocks = treeClocks();
    if (!commandsFree() || clocks.empty()) {
        return;
    }
    readingAll_ = true;
    refreshCommandControls();
    ReadAllDialog dialog(context_.network, clocks, context_.prompter, this);
    dialog.start();
    dialog.exec();
    readingAll_ = false;
    refreshCommandControls();
}

void MainWindow::refreshCommandControls() {
    const bool free = commandsFree();
    if (!free && tree_->hasFocus()) {
        // A disabled tree would hand the focus to the next control, and arrow keys pressed
        // during a read would then move through that one: the window holds the focus
        // meanwhile and gives it back.
        treeHadFocus_ = true;
        setFocus();
    }
    searchButton_->setEnabled(free);
    tree_->setEnabled(free);
    // Modify and Batch Modify use the same frames as the search and the reads: kept apart by
    // disabling.
    modifyButton_->setEnabled(free);
    batchModifyButton_->setEnabled(free);
    if (free && treeHadFocus_) {
        treeHadFocus_ = false;
        if (focusWidget() == nullptr || focusWidget() == this) {
            tree_->setFocus();
        }
    }
}

void MainWindow::setSearchUiRunning(bool running) {
    searchUiRunning_ = running;
    searchButton_->setVisible(!running);
    stopSearchButton_->setVisible(running);
    refreshCommandControls();
}

void MainWindow::applySearchControls(const protocol::SearchControls& controls) {
    setPair(broadcastRadio_, controls.broadcastChecked, unicastRadio_, controls.unicastChecked);
    ipAddress_->setEnabled(controls.ipAddressEnabled);
    setPair(wiredRadio_, controls.wiredChecked, wifiRadio_, controls.wifiChecked);
    earlyVersionsCheck_->setChecked(controls.earlyVersionsChecked);
    v32Check_->setChecked(controls.v32Checked);
}

void MainWindow::showSearchMessage(const QString& message) {
    context_.prompter.inform(message);
}

void MainWindow::onSearchStarted() {
    setSearchUiRunning(true);
}

void MainWindow::showProbedAddress(const QString& dotted) {
    ipAddress_->setText(dotted);
}

void MainWindow::addGroup(protocol::SearchGroup group, const QString& label) {
    tree_->addGroup(group, label);
}

void MainWindow::addItem(protocol::SearchGroup group, const QString& item) {
    tree_->addItem(group, item);
}

void MainWindow::noteItemInterface(protocol::SearchGroup group, const std::string& interfaceName) {
    searchInterfaces_[group].insert(interfaceName);
}

void MainWindow::finishGroup(protocol::SearchGroup group, const QStringList& items,
                             const QString& label) {
    tree_->finishGroup(group, items, label);
}

void MainWindow::expandGroup(protocol::SearchGroup group) {
    tree_->expandGroup(group);
}

void MainWindow::onSearchEnded() {
    setSearchUiRunning(false);
    // Firmware goes to wired clocks: a broadcast update reaches the segments of the group.
    const auto heard = searchInterfaces_.find(protocol::SearchGroup::kCurrent);
    pages_.system->setBroadcastInterfaces(
        heard == searchInterfaces_.end()
            ? std::vector<std::string>{}
            : std::vector<std::string>(heard->second.begin(), heard->second.end()));
    if (search_ && !search_->sweepStart.isEmpty()) {
        ipAddress_->setText(search_->sweepStart);
    }
    // The worker has nothing left to do but return; join it now.
    search_.reset();
}

// --- Modify and Batch Modify ---

QTreeWidgetItem* MainWindow::selectedItem() const {
    const QList<QTreeWidgetItem*> selected = tree_->selectedItems();
    return selected.isEmpty() ? nullptr : selected.front();
}

void MainWindow::OnModify() {
    startModify(workflow::WriteScope::kOneClock);
}

void MainWindow::OnBatchModify() {
    startModify(workflow::WriteScope::kEveryClock);
}

void MainWindow::startModify(workflow::WriteScope scope) {
    if (!commandsFree()) {
        return;  // a search, a clock job or an update holds the frames and the tree
    }
    QTreeWidgetItem* item = selectedItem();
    ModifyContext modify;
    modify.selected = ChoiceOf(item);
    if (item != nullptr && item->childCount() > 0) {
        modify.firstChild = item->child(0)->text(0).toStdString();
    }
    modify.tab = static_cast<PageTab>(tabs_->currentIndex());
    modify.updateControlChecked = pages_.system->updateControlChecked();
    modify.radios = radios();
    modify.shown = shown_;
    const ModifyPlan plan = PlanModify(scope, modify);
    switch (plan.action) {
        case ModifyAction::kNothing:
            return;
        case ModifyAction::kWrite: {
            workflow::WriteRequest request;
            request.scope = scope;
            if (item != nullptr) {
                request.target = ClockAddressOfItem(item->text(0).toStdString());
            }
            request.generation = plan.generation;
            request.family = plan.family;
            request.page = plan.page;
            // The pages as the operator left them; the job works on these copies only.
            if (plan.page == workflow::WritePage::kBasic) {
                request.basic = pages_.basic->model();
            } else {
                request.wifi = pages_.wifi->model();
            }
            request.known = knownPasswords_;
            if (scope == workflow::WriteScope::kEveryClock) {
                const auto heard =
                    searchInterfaces_.find(plan.generation == workflow::Generation::kEarly
                                               ? protocol::SearchGroup::kEarly
                                               : protocol::SearchGroup::kCurrent);
                if (heard != searchInterfaces_.end()) {
                    request.broadcastInterfaces.assign(heard->second.begin(), heard->second.end());
                }
            }
            startWrite(std::move(request));
            return;
        }
        case ModifyAction::kSelectMode:
            // The page refuses with "Select at least one Mode!".
            pages_.system->StoreSystemPage(firmware::StoreFlag::kFreshStart);
            return;
        case ModifyAction::kSingleUpdate:
            startSingleUpdate();
            return;
        case ModifyAction::kBatchUpdate:
            startBatchUpdate(plan);
            return;
        case ModifyAction::kInvalidTarget:
            context_.prompter.inform(QString::fromUtf8(workflow::kInvalidTargetMessage.data(),
                                                       workflow::kInvalidTargetMessage.size()));
            return;
        case ModifyAction::kReadFirst:
            context_.prompter.inform(text(kReadFirstMessage));
            return;
    }
}

void MainWindow::startWrite(workflow::WriteRequest request) {
    auto work = [&network = context_.network, &protocol = context_.protocol,
                 request](std::stop_token stop) {
        workflow::ClockLine line(network, protocol);
        return workflow::RunWrite(request, line, stop);
    };
    jobs_->run(
        [this] { showShownClock(); }, std::move(work),
        [this, request](const workflow::WriteOutcome& outcome) { showWrite(request, outcome); });
}

void MainWindow::showWrite(const workflow::WriteRequest& request,
                           const workflow::WriteOutcome& outcome) {
    using workflow::WriteStatus;
    switch (outcome.status) {
        case WriteStatus::kRefused:
            // The Basic page names the bad entry and puts the focus on it; the WIFI page's
            // refusal is its message alone.
            showJobBox([&] {
                if (request.page == workflow::WritePage::kBasic) {
                    pages_.basic->showRefusal(settings::Refusal{outcome.message, outcome.focus});
                } else {
                    context_.prompter.inform(QString::fromStdString(outcome.message));
                }
            });
            return;
        case WriteStatus::kNoAnswer:
            if (outcome.target) {
                showNoAnswer(*outcome.target, outcome.failure);
            }
            return;
        case WriteStatus::kBatchUnanswered:
            if (outcome.target && !outcome.failure.empty()) {
                showNoAnswer(*outcome.target, outcome.failure);
            }
            return;
        case WriteStatus::kBatchAnswered:
            showJobBox([&] {
                context_.prompter.informWithDetails(QString::fromStdString(outcome.message),
                                                    acknowledgersText(outcome.acknowledgedBy));
            });
            return;
        default:
            break;
    }
    if (!outcome.message.empty()) {
        showJobBox([&] { context_.prompter.inform(QString::fromStdString(outcome.message)); });
    }
}

void MainWindow::startSingleUpdate() {
    setUpdateOperation(UpdateOperation::kSingle);
    if (!monitor_->startSingle()) {
        setUpdateOperation(UpdateOperation::kNone);  // refused: the page said why
    }
}

void MainWindow::startBatchUpdate(const ModifyPlan& plan) {
    // From here on the tree's own selection handling keeps "Update Control" checked.
    setUpdateOperation(UpdateOperation::kBatch);
    if (plan.selectsFirstChild) {
        tree_->setCurrentItem(selectedItem()->child(0));
    }
    // The worker starts once the page holds the first clock's address and MAC address.
    lookUpUpdateTarget(plan.first, plan.family, firmware::UpdateControlCheck::kKept, [this] {
        if (!monitor_->startBatch()) {
            setUpdateOperation(UpdateOperation::kNone);
        }
    });
}

// UpdateMonitorHost

bool MainWindow::hasNextClock() const {
    return followingClocks() > 0;
}

int MainWindow::followingClocks() const {
    QTreeWidgetItem* item = selectedItem();
    const QTreeWidgetItem* group = item != nullptr ? item->parent() : nullptr;
    return group != nullptr ? group->childCount() - group->indexOfChild(item) - 1 : 0;
}

void MainWindow::selectNextClock() {
    QTreeWidgetItem* item = selectedItem();
    if (!hasNextClock()) {
        return;
    }
    QTreeWidgetItem* group = item->parent();
    tree_->setCurrentItem(group->child(group->indexOfChild(item) + 1));
}

platform::Ipv4 MainWindow::selectedClockAddress() const {
    const QTreeWidgetItem* item = selectedItem();
    return platform::ParseIpv4(item != nullptr ? item->text(0).toStdString() : std::string());
}

bool MainWindow::readingSelectedClock() const {
    return jobRunning();
}

void MainWindow::aimUpdateAt(platform::Ipv4 address) {
    const std::optional<TreeChoice> choice = ChoiceOf(selectedItem());
    lookUpUpdateTarget(address, choice ? FamilyOfItem(*choice, radios()) : radios(),
                       firmware::UpdateControlCheck::kKept);
}

void MainWindow::giveControlsBack() {
    setUpdateOperation(UpdateOperation::kNone);
}

firmware::UpdateStatus MainWindow::StoreSystemPage(firmware::StoreFlag flag) {
    return pages_.system->StoreSystemPage(flag);
}

bool MainWindow::updateRunning() const {
    return pages_.system->updateRunning();
}

void MainWindow::startCloseBoxTimer() {
    pages_.system->startCloseBoxTimer();
}

void MainWindow::setBreakEnabled(bool enabled) {
    pages_.system->setBreakEnabled(enabled);
}

}  // namespace tavlo::app
