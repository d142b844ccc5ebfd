#include "firmware/page/SystemPage.h"

#include <QAction>
#include <QButtonGroup>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "firmware/FirmwareFile.h"
#include "firmware/TftpPacket.h"
#include "firmware/UpdateState.h"
#include "platform/Ipv4.h"
#include "ui/Cp936LengthLimiter.h"
#include "ui/Ipv4AddressEdit.h"
#include "ui/Prompter.h"

namespace tavlo::firmware {
namespace {

constexpr int kPageMargin = 6;
constexpr int kButtonPadding = 24;
// Below the three rows of the user password group (and the row of its button).
constexpr int kUserPasswordStretchRow = 5;

QLineEdit* MakeMaskedField(QWidget* parent) {
    auto* field = new QLineEdit(parent);
    field->setEchoMode(QLineEdit::Password);
    field->setEnabled(false);
    return field;
}

// A group box whose heading is a radio button (the button is the first row inside it).
QGroupBox* MakeModeGroup(QWidget* parent, QRadioButton* button, QGridLayout*& grid) {
    auto* box = new QGroupBox(parent);
    grid = new QGridLayout(box);
    button->setParent(box);
    grid->addWidget(button, 0, 0, 1, 3);
    return box;
}

QLabel* Caption(const char* text, QWidget* parent) {
    return new QLabel(QString::fromLatin1(text), parent);
}

QString Text(const char* text) {
    return QString::fromLatin1(text);
}

bool IsFirmwarePath(const QString& path) {
    return firmware::IsFirmwarePath(path.toStdString());
}

}  // namespace

std::array<QLineEdit*, 7> SystemPageControls::passwordFields() const {
    return {currentPassword,       newUserPassword,   confirmNewUserPassword,  currentUserPassword,
            currentGlobalPassword, newGlobalPassword, confirmNewGlobalPassword};
}

SystemPage::SystemPage(SystemPageContext context, QWidget* parent)
    : ui::PageWidget(parent),
      context_(std::move(context)),
      update_(context_.update),
      prompter_(context_.prompter),
      chooseFile_(&SystemPage::chooseFirmwareFile) {
    progressTimer_ = new QTimer(this);
    progressTimer_->setInterval(kProgressRepaintInterval);
    connect(progressTimer_, &QTimer::timeout, this, &SystemPage::onProgressTick);
    closeBoxTimer_ = new QTimer(this);
    closeBoxTimer_->setSingleShot(true);
    closeBoxTimer_->setInterval(kCloseBoxDelay);
    connect(closeBoxTimer_, &QTimer::timeout, this, &SystemPage::onCloseBoxTimer);
    modeGroup_ = new QButtonGroup(this);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(kPageMargin, kPageMargin, kPageMargin, kPageMargin);
    auto* passwords = new QHBoxLayout;
    passwords->addWidget(buildUserPasswordGroup(), 1);
    passwords->addWidget(buildGlobalPasswordGroup(), 1);
    column->addLayout(passwords);
    column->addWidget(buildUpdateGroup());
    column->addStretch(1);
    controls_.fixedWait = new QAction(QString::fromLatin1(kFixedWaitAction), this);
    controls_.fixedWait->setCheckable(true);
    addAction(controls_.fixedWait);
    setContextMenuPolicy(Qt::ActionsContextMenu);
}

SystemPage::~SystemPage() {
    stopUpdates();
}

QWidget* SystemPage::buildPasswordGroup(const char* mode, QRadioButton*& button,
                                        std::initializer_list<PasswordField> fields) {
    button = new QRadioButton(QString::fromLatin1(mode));
    button->setEnabled(false);
    modeGroup_->addButton(button);
    QGridLayout* grid = nullptr;
    QGroupBox* box = MakeModeGroup(this, button, grid);
    int row = 1;
    for (const auto& [label, field] : fields) {
        *field = MakeMaskedField(box);
        grid->addWidget(Caption(label, box), row, 0);
        grid->addWidget(*field, row, 1);
        ++row;
    }
    return box;
}

QWidget* SystemPage::buildUserPasswordGroup() {
    QWidget* box =
        buildPasswordGroup("User Password Setting", controls_.userPasswordSetting,
                           {{"Current Password", &controls_.currentPassword},
                            {"New User Password", &controls_.newUserPassword},
                            {"Confirm New\nUser Password", &controls_.confirmNewUserPassword}});
    // The rows sit at the top like those of the group beside it.
    static_cast<QGridLayout*>(box->layout())->setRowStretch(kUserPasswordStretchRow, 1);
    return box;
}

QWidget* SystemPage::buildGlobalPasswordGroup() {
    return buildPasswordGroup(
        "Global Password Setting", controls_.globalPasswordSetting,
        {{"Current User Password", &controls_.currentUserPassword},
         {"Current Global Password", &controls_.currentGlobalPassword},
         {"New Global Password", &controls_.newGlobalPassword},
         {"Confirm New\nGlobal Password", &controls_.confirmNewGlobalPassword}});
}

QWidget* SystemPage::buildUpdateGroup() {
    controls_.updateControl = new QRadioButton(QStringLiteral("Update Control"));
    modeGroup_->addButton(controls_.updateControl);
    connect(controls_.updateControl, &QRadioButton::clicked, this, &SystemPage::onUpdateControl);
    QGridLayout* grid = nullptr;
    QGroupBox* box = MakeModeGroup(this, controls_.updateControl, grid);

    controls_.address = new ui::Ipv4AddressEdit(box);
    controls_.macAddress = new QLineEdit(box);
    ui::Cp936LengthLimiter::attach(controls_.macAddress, kMacAddressMaxBytes);
    controls_.firmwareFile = new QLineEdit(box);
    controls_.browse = new QPushButton(QStringLiteral("..."), box);
    controls_.browse->setAutoDefault(false);
    controls_.browse->setMaximumWidth(
        controls_.browse->fontMetrics().horizontalAdvance(QStringLiteral("....")) + kButtonPadding);
    connect(controls_.browse, &QPushButton::clicked, this, &SystemPage::onBrowse);
    controls_.counterLine = new QLabel(box);
    controls_.counterLine->setAlignment(Qt::AlignCenter);
    controls_.breakButton = new QPushButton(QStringLiteral("Break"), box);
    controls_.breakButton->setAutoDefault(false);
    controls_.breakButton->setEnabled(false);
    connect(controls_.breakButton, &QPushButton::clicked, this, &SystemPage::onBreak);
    controls_.progressLine = new QLabel(box);

    grid->addWidget(controls_.address, 1, 0);
    grid->addWidget(Caption("MAC Address:", box), 1, 1, Qt::AlignRight);
    grid->addWidget(controls_.macAddress, 1, 2, 1, 2);
    grid->addWidget(controls_.firmwareFile, 2, 0, 1, 3);
    grid->addWidget(controls_.browse, 2, 3);
    grid->addWidget(controls_.counterLine, 3, 0, 1, 3);
    grid->addWidget(controls_.breakButton, 3, 3);
    grid->addWidget(controls_.progressLine, 4, 0, 1, 4);
    grid->setColumnStretch(0, 2);
    grid->setColumnStretch(2, 2);
    return box;
}

void SystemPage::setFileChooser(FileChooser chooser) {
    chooseFile_ = chooser ? std::move(chooser) : FileChooser(&SystemPage::chooseFirmwareFile);
}

QString SystemPage::chooseFirmwareFile(QWidget* parent) {
    return QFileDialog::getOpenFileName(parent, QString(), QString(),
                                        QString::fromLatin1(kFirmwareFileFilter), nullptr,
                                        QFileDialog::HideNameFilterDetails);
}

void SystemPage::onUpdateControl() {
    if (!controls_.updateControl->isChecked()) {
        return;
    }
    controls_.address->setEnabled(true);
    controls_.browse->setEnabled(true);
    controls_.macAddress->setEnabled(true);
    controls_.firmwareFile->setEnabled(true);
    for (QLineEdit* field : controls_.passwordFields()) {
        field->setEnabled(false);
    }
}

void SystemPage::onBrowse() {
    const QString path = chooseFile_(this);
    if (path.isEmpty()) {
        return;
    }
    if (!IsFirmwarePath(path)) {
        prompter_.inform(Text(kSelectFileErrorMessage));
        return;
    }
    controls_.firmwareFile->setText(path);
}

void SystemPage::onBreak() {
    update_.breakFlag = true;
}

UpdateStatus SystemPage::StoreSystemPage(StoreFlag flag) {
    if (!controls_.updateControl->isChecked()) {
        prompter_.inform(Text(kSelectModeMessage));
        return UpdateStatus::kEndedOrRefused;
    }
    if (!IsFirmwarePath(controls_.firmwareFile->text())) {
        prompter_.inform(Text(kSelectFileErrorMessage));
        return UpdateStatus::kEndedOrRefused;
    }
    if (controls_.macAddress->text().isEmpty() && !targetMacUnknown_) {
        prompter_.inform(Text(kInvalidMacMessage));
        controls_.macAddress->setFocus();
        return UpdateStatus::kEndedOrRefused;
    }
    if (flag == StoreFlag::kFreshStart) {
        forgetWorker();
    }
    controls_.counterLine->setText(
        QString::fromStdString(FormatCounterLine(update_.updateCounter)));
    if (current_) {
        if (current_->worker->IsRunning()) {
            return UpdateStatus::kRunning;
        }
        forgetWorker();
        return UpdateStatus::kEndedOrRefused;
    }
    controls_.progressLine->setText(Text(kWaitingText));
    startWorker();
    return UpdateStatus::kRunning;
}

void SystemPage::startWorker() {
    UpdateTarget target;
    target.address = platform::ParseIpv4(controls_.address->text().toStdString());
    target.firmwarePath = controls_.firmwareFile->text().toStdString();
    target.macAddressText = controls_.macAddress->text().toStdString();
    target.waitPolicy =
        controls_.fixedWait->isChecked() ? WaitPolicy::kFixed : WaitPolicy::kAdaptive;
    auto run = std::make_unique<WorkerRun>();
    UpdateView& view = *this;
    run->reporter = std::make_shared<QueuedUpdateReporter>(this, view);
    run->worker = std::make_unique<UpdateWorker>(context_.network, update_, std::move(target),
                                                 *run->reporter, context_.lookupMac);
    run->worker->SetBroadcastInterfaces(broadcastInterfaces_);
    run->worker->Start();
    current_ = std::move(run);
    progressTimer_->start();
}

void SystemPage::forgetWorker() {
    if (!current_) {
        return;
    }
    if (current_->worker->IsRunning()) {
        forgotten_.push_back(std::move(current_));
    } else {
        current_.reset();  // ended: the join returns at once
    }
}

bool SystemPage::updateRunning() const {
    if (current_ && current_->worker->IsRunning()) {
        return true;
    }
    return std::any_of(forgotten_.begin(), forgotten_.end(),
                       [](const auto& run) { return run->worker->IsRunning(); });
}

void SystemPage::onProgressTick() {
    // Forgotten workers write to the same line; the remembered one is drawn last.
    std::vector<WorkerRun*> runs;
    for (const auto& run : forgotten_) {
        runs.push_back(run.get());
    }
    if (current_) {
        runs.push_back(current_.get());
    }
    for (WorkerRun* run : runs) {
        if (const auto line = run->reporter->takeBlockProgress()) {
            controls_.progressLine->setText(*line);
        }
    }
    std::erase_if(forgotten_, [](const auto& run) { return !run->worker->IsRunning(); });
    if (!updateRunning()) {
        progressTimer_->stop();
    }
}

void SystemPage::startCloseBoxTimer() {
    closeBoxTimer_->start();
}

void SystemPage::onCloseBoxTimer() {
    prompter_.dismissOpen(Text(kUpdateResultTitle));
}

void SystemPage::setBreakEnabled(bool enabled) {
    controls_.breakButton->setEnabled(enabled);
}

void SystemPage::SetUpdateTarget(platform::Ipv4 address,
                                 const std::optional<platform::MacAddress>& mac,
                                 UpdateControlCheck check, protocol::ClockFamily family) {
    switch (family) {
        case protocol::ClockFamily::kWifi:
            setUpdateControlState(false, false);
            break;
        case protocol::ClockFamily::kWired:
            setUpdateControlState(true,
                                  check == UpdateControlCheck::kKept && updateControlChecked());
            break;
        case protocol::ClockFamily::kNone:
            break;
    }
    if (address == platform::kLimitedBroadcast) {
        return;
    }
    controls_.address->setText(QString::fromStdString(platform::FormatIpv4(address)));
    controls_.macAddress->setText(mac ? QString::fromStdString(FormatMacAddress(*mac)) : QString());
    targetMacUnknown_ = !mac;
}

bool SystemPage::updateControlChecked() const {
    return controls_.updateControl->isChecked();
}

void SystemPage::setUpdateControlState(bool enabled, bool checked) {
    controls_.updateControl->setEnabled(enabled);
    // The button is one of an exclusive group: unchecking it needs the group let go.
    modeGroup_->setExclusive(false);
    controls_.updateControl->setChecked(checked);
    modeGroup_->setExclusive(true);
}

void SystemPage::stopUpdates() {
    std::vector<std::unique_ptr<WorkerRun>> runs = std::move(forgotten_);
    forgotten_.clear();
    if (current_) {
        runs.push_back(std::move(current_));
    }
    stopRunsAndJoin(std::move(runs));
    progressTimer_->stop();
}

void SystemPage::stopRunsAndJoin(std::vector<std::unique_ptr<WorkerRun>> runs) {
    const bool running = std::any_of(runs.begin(), runs.end(),
                                     [](const auto& run) { return run->worker->IsRunning(); });
    if (running) {
        update_.breakFlag = true;
    }
    // First let every worker go (no box holds it any more, none opens), then close what
    // they left open, then wait for them.
    for (const auto& run : runs) {
        run->worker->RequestStop();
        run->reporter->cancel();
    }
    const std::map<QString, int> open = std::move(openWorkerBoxes_);
    openWorkerBoxes_.clear();
    for (const auto& [caption, count] : open) {
        for (int i = 0; i < count && prompter_.dismissOpen(caption); ++i) {
        }
    }
    runs.clear();  // each worker is joined as it is destroyed
}

void SystemPage::showMacAddressText(const QString& text) {
    controls_.macAddress->setText(text);
    update();
}

void SystemPage::showProgressLine(const QString& text) {
    controls_.progressLine->setText(text);
}

void SystemPage::showCounterLine(const QString& text) {
    controls_.counterLine->setText(text);
}

void SystemPage::focusAddressControl() {
    controls_.address->setFocus();
}

void SystemPage::focusMacAddressField() {
    controls_.macAddress->setFocus();
}

void SystemPage::openWorkerBox(WorkerBox box, const QString& text, boxClosed closed) {
    const bool result = box == WorkerBox::kResult;
    const QString caption = result ? Text(kUpdateResultTitle) : Text(ui::kProgramName);
    ++openWorkerBoxes_[caption];
    prompter_.open(
        box == WorkerBox::kQuestion ? ui::BoxKind::kQuestion : ui::BoxKind::kInform, text, caption,
        result ? ui::BoxMode::kModeless : ui::BoxMode::kModal,
        [page = QPointer<SystemPage>(this), caption, closed = std::move(closed)](bool accepted) {
            if (page != nullptr) {
                auto& open = page->openWorkerBoxes_;
                if (auto it = open.find(caption); it != open.end() && --it->second == 0) {
                    open.erase(it);
                }
            }
            closed(accepted);
        });
}

}  // namespace tavlo::firmware
