#include "app/MainWindow.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QResizeEvent>
#include <QShortcut>
#include <QTabBar>
#include <algorithm>

#include "app/AboutDialog.h"
#include "app/AppIcon.h"
#include "app/DeviceTree.h"
#include "app/TabControl.h"
#include "firmware/page/SystemPage.h"
#include "settings/page/BasicPage.h"
#include "ui/Ipv4AddressEdit.h"
#include "ui/PageWidget.h"
#include "ui/Prompter.h"
#include "wifi/page/WifiPage.h"

namespace tavlo::app {
namespace {

// Client area of the window as it opens, and where each control sits in it (pixels). When the
// pages need more room (larger fonts), the tab control and the window grow by what is missing
// and the controls right of and below the growth move along (fitToPages).
constexpr QSize kClientSize(924, 733);
constexpr QRect kTreeRect(10, 10, 200, 450);
constexpr QRect kOnlineClientRect(10, 468, 200, 200);
constexpr QRect kIpAddressRect(22, 492, 176, 26);
constexpr QRect kBroadcastRect(22, 528, 86, 22);
constexpr QRect kUnicastRect(112, 528, 86, 22);
constexpr QRect kWiredRect(22, 558, 86, 22);
constexpr QRect kWifiRect(112, 558, 86, 22);
constexpr QRect kEarlyVersionsRect(22, 588, 86, 22);
constexpr QRect kV32Rect(112, 588, 86, 22);
constexpr QRect kSearchRect(22, 624, 176, 32);
constexpr QRect kTabRect(220, 10, 694, 658);
constexpr QRect kModifyRect(620, 684, 140, 34);
constexpr QRect kBatchModifyRect(774, 684, 140, 34);

// The pages sit inside the tab control's client rectangle: left edge in by 1, top edge down
// by 20 (below the tabs), right and bottom edges in by 2.
constexpr int kPageInsetLeft = 1;
constexpr int kPageInsetTop = 20;
constexpr int kPageInsetRight = 2;
constexpr int kPageInsetBottom = 2;

QString text(const char* s) {
    return QString::fromLatin1(s);
}

template <typename W>
W* place(W* widget, const QRect& rect, const char* objectName) {
    widget->setGeometry(rect);
    widget->setObjectName(text(objectName));
    return widget;
}

QPushButton* makeButton(QWidget* parent, const char* label, const QRect& rect,
                        const char* objectName) {
    auto* button = place(new QPushButton(text(label), parent), rect, objectName);
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

// a * newSize / oldSize with the product first and the quotient truncated.
int scaleCoordinate(int value, int newSize, int oldSize) {
    return static_cast<int>(static_cast<qint64>(value) * newSize / oldSize);
}

}  // namespace

MainWindow::MainWindow(MainDialogContext context, QWidget* parent)
    : QDialog(parent), context_(std::move(context)) {
    setObjectName(QStringLiteral("MainWindow"));
    setWindowTitle(text(kAppName));
    setWindowIcon(applicationIcon());
    // A sizeable frame with the system menu and a minimise box.
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    createControls();
    pages_ = createPages();
    tabs_->addTab(text(kBasicTabText));
    tabs_->addTab(text(kWifiTabText));
    tabs_->addTab(text(kSystemTabText));
    tabs_->tabBar()->raise();  // the tabs stay clickable where a page's top edge meets them

    const QSize clientSize = fitToPages();
    resize(clientSize);
    // Shrinking the window further would scale controls down to nothing.
    setMinimumSize(clientSize / 2);
    layoutReference_ = QRect(QPoint(0, 0), clientSize);
    placePages();
    showPage(static_cast<int>(PageTab::kBasic));
    tabs_->setCurrentIndexSilently(static_cast<int>(PageTab::kBasic));

    connect(tabs_, &TabControl::selectionChanged, this, &MainWindow::showPage);
    auto* about = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(about, &QShortcut::activated, this, &MainWindow::OnAbout);
}

MainWindow::~MainWindow() {
    stopSearchAndWait();
}

void MainWindow::createControls() {
    tree_ = place(new DeviceTree(this), kTreeRect, "deviceTree");
    tabs_ = place(new TabControl(this), kTabRect, "tabControl");

    onlineClient_ =
        place(new QGroupBox(text("Online Client"), this), kOnlineClientRect, "onlineClientGroup");
    onlineClient_->lower();
    ipAddress_ = new ui::Ipv4AddressEdit(this);
    // The window places and scales this control itself, free of the control's own limits.
    ipAddress_->setMinimumSize(0, 0);
    ipAddress_->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    place(ipAddress_, kIpAddressRect, "ipAddress");
    broadcastRadio_ =
        place(new QRadioButton(text("Broadcast"), this), kBroadcastRect, "broadcastRadio");
    unicastRadio_ = place(new QRadioButton(text("Unicast"), this), kUnicastRect, "unicastRadio");
    wiredRadio_ = place(new QRadioButton(text("WIRED"), this), kWiredRect, "wiredRadio");
    wifiRadio_ = place(new QRadioButton(text("WIFI"), this), kWifiRect, "wifiRadio");
    makePair(this, broadcastRadio_, unicastRadio_);
    makePair(this, wiredRadio_, wifiRadio_);
    earlyVersionsCheck_ = place(new QCheckBox(text("Early versions"), this), kEarlyVersionsRect,
                                "earlyVersionsCheck");
    v32Check_ = place(new QCheckBox(text("V3.2"), this), kV32Rect, "v32Check");
    // Created hidden and never shown; the search still reads and sets them.
    earlyVersionsCheck_->hide();
    v32Check_->hide();

    searchButton_ = makeButton(this, "Search", kSearchRect, "searchButton");
    stopSearchButton_ = makeButton(this, "Stop to Search", kSearchRect, "stopSearchButton");
    stopSearchButton_->hide();
    modifyButton_ = makeButton(this, "Modify", kModifyRect, "modifyButton");
    batchModifyButton_ = makeButton(this, "Batch Modify", kBatchModifyRect, "batchModifyButton");

    connect(searchButton_, &QPushButton::clicked, this, &MainWindow::OnSearch);
    connect(stopSearchButton_, &QPushButton::clicked, this, &MainWindow::OnStopSearch);
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
    connect(tree_, &QTreeWidget::itemSelectionChanged, this, &MainWindow::OnTreeSelectionChanged);
}

MainDialogPages MainWindow::createPages() {
    MainDialogPages pages;
    pages.basic =
        new settings::BasicPage(context_.protocol, context_.search, context_.prompter, tabs_);
    pages.basic->setObjectName(QStringLiteral("BasicPage"));
    pages.system =
        new firmware::SystemPage(context_.search, context_.update, context_.prompter, tabs_);
    pages.system->setObjectName(QStringLiteral("SystemPage"));
    pages.wifi = new wifi::WifiPage(context_.protocol, tabs_);
    pages.wifi->setObjectName(QStringLiteral("WifiPage"));
    return pages;
}

int MainWindow::RunModal() {
    if (!context_.startSockets || !context_.startSockets()) {
        context_.prompter.inform(text(kSocketInitErrorText));
        return kSocketInitFailed;
    }
    return exec();
}

QSize MainWindow::fitToPages() {
    QSize need(0, 0);
    for (QWidget* page :
         std::initializer_list<QWidget*>{pages_.basic, pages_.wifi, pages_.system}) {
        need = need.expandedTo(page->sizeHint());
    }
    const int grow =
        std::max(0, need.width() + kPageInsetLeft + kPageInsetRight - kTabRect.width());
    const int growDown =
        std::max(0, need.height() + kPageInsetTop + kPageInsetBottom - kTabRect.height());
    if (grow == 0 && growDown == 0) {
        return kClientSize;
    }
    tabs_->setGeometry(kTabRect.adjusted(0, 0, grow, growDown));
    for (QWidget* right : std::initializer_list<QWidget*>{modifyButton_, batchModifyButton_}) {
        right->move(right->pos() + QPoint(grow, growDown));
    }
    // The left column: the tree takes the extra height, the search controls move down.
    tree_->setGeometry(kTreeRect.adjusted(0, 0, 0, growDown));
    for (QWidget* below : std::initializer_list<QWidget*>{
             onlineClient_, ipAddress_, broadcastRadio_, unicastRadio_, wiredRadio_, wifiRadio_,
             earlyVersionsCheck_, v32Check_, searchButton_, stopSearchButton_}) {
        below->move(below->pos() + QPoint(0, growDown));
    }
    return kClientSize + QSize(grow, growDown);
}

QRect MainWindow::pageRect() const {
    return tabs_->rect().adjusted(kPageInsetLeft, kPageInsetTop, -kPageInsetRight,
                                  -kPageInsetBottom);
}

void MainWindow::placePages() {
    const QRect rect = pageRect();
    for (QWidget* page :
         std::initializer_list<QWidget*>{pages_.basic, pages_.wifi, pages_.system}) {
        if (page != nullptr) {
            page->setGeometry(rect);
        }
    }
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

void MainWindow::scaleControls(const QSize& newSize) {
    const int oldWidth = layoutReference_.width();
    const int oldHeight = layoutReference_.height();
    if (oldWidth <= 0 || oldHeight <= 0) {
        return;
    }
    // "Stop to Search", "WIRED", "WIFI" and the group box keep their place and size.
    QWidget* const scaled[] = {modifyButton_,   batchModifyButton_,  searchButton_, tree_,
                               tabs_,           earlyVersionsCheck_, v32Check_,     ipAddress_,
                               broadcastRadio_, unicastRadio_};
    for (QWidget* widget : scaled) {
        if (widget == nullptr) {
            continue;
        }
        const QRect g = widget->geometry();
        const int left = scaleCoordinate(g.x(), newSize.width(), oldWidth);
        const int right = scaleCoordinate(g.x() + g.width(), newSize.width(), oldWidth);
        const int top = scaleCoordinate(g.y(), newSize.height(), oldHeight);
        const int bottom = scaleCoordinate(g.y() + g.height(), newSize.height(), oldHeight);
        widget->setGeometry(left, top, right - left, bottom - top);
        widget->update();
    }
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    if (isMinimized()) {
        return;
    }
    scaleControls(event->size());
    layoutReference_ = QRect(QPoint(0, 0), event->size());
    // All three pages follow the tab control; the selection goes back to the Basic page and
    // only that page stays visible.
    placePages();
    showPage(static_cast<int>(PageTab::kBasic));
    tabs_->setCurrentIndexSilently(static_cast<int>(PageTab::kBasic));
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
    connect(about, &QAction::triggered, this, &MainWindow::OnAbout);
    menu.exec(event->globalPos());
}

void MainWindow::OnAbout() {
    AboutDialog about(this);
    about.exec();
}

void MainWindow::done(int result) {
    // Closing the window ends a running search first; the worker stops within tens of ms.
    stopSearchAndWait();
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
    return search_ != nullptr && search_->worker != nullptr && search_->worker->running();
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

void MainWindow::OnSearch() {
    // "Search" is hidden while a search runs; a search that has not shown itself yet is
    // replaced, a finished one joined.
    search_.reset();
    tree_->clearAll();
    pages_.basic->ClearBasicPage();
    pages_.wifi->ResetWifiPage();
    auto search = std::make_unique<ActiveSearch>();
    search->live = std::make_shared<bool>(true);
    SearchView& view = *this;
    search->reporter = std::make_unique<QueuedSearchReporter>(this, view, search->live);
    search->worker = std::make_unique<protocol::SearchWorker>(
        context_.network, context_.protocol, context_.search, searchOptions(), *search->reporter);
    search_ = std::move(search);
}

void MainWindow::OnStopSearch() {
    if (search_ && search_->worker) {
        search_->worker->requestStop();
    }
}

void MainWindow::OnModify() {
    // Writing the page in front to the selected clock attaches here.
}

void MainWindow::OnBatchModify() {
    // Writing the page in front to every clock attaches here.
}

void MainWindow::OnTreeSelectionChanged() {
    // Reading the chosen clock attaches here.
}

void MainWindow::setSearchUiRunning(bool running) {
    searchButton_->setEnabled(!running);
    searchButton_->setVisible(!running);
    stopSearchButton_->setVisible(running);
    tree_->setEnabled(!running);
    // Modify and Batch Modify use the same frames as the search: kept apart by disabling.
    modifyButton_->setEnabled(!running);
    batchModifyButton_->setEnabled(!running);
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

void MainWindow::finishGroup(protocol::SearchGroup group, const QStringList& items,
                             const QString& label) {
    tree_->finishGroup(group, items, label);
}

void MainWindow::expandGroup(protocol::SearchGroup group) {
    tree_->expandGroup(group);
}

void MainWindow::onSearchEnded() {
    setSearchUiRunning(false);
    // The worker has nothing left to do but return; join it now.
    search_.reset();
}

}  // namespace tavlo::app
