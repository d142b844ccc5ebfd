#include "firmware/page/SystemPage.h"

#include <QButtonGroup>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "firmware/UpdateState.h"
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

}  // namespace

bool IsFirmwarePath(const QString& path) {
    return path.contains(QLatin1String(kBinFileMark), Qt::CaseSensitive) ||
           path.contains(QLatin1String(kHexFileMark), Qt::CaseSensitive);
}

std::array<QLineEdit*, 7> SystemPageControls::passwordFields() const {
    return {currentPassword,       newUserPassword,   confirmNewUserPassword,  currentUserPassword,
            currentGlobalPassword, newGlobalPassword, confirmNewGlobalPassword};
}

SystemPage::SystemPage(protocol::SearchState& search, UpdateState& update, ui::Prompter& prompter,
                       QWidget* parent)
    : ui::PageWidget(parent),
      search_(search),
      update_(update),
      prompter_(prompter),
      chooseFile_(&SystemPage::ChooseFirmwareFile) {
    modeGroup_ = new QButtonGroup(this);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(kPageMargin, kPageMargin, kPageMargin, kPageMargin);
    auto* passwords = new QHBoxLayout;
    passwords->addWidget(buildUserPasswordGroup(), 1);
    passwords->addWidget(buildGlobalPasswordGroup(), 1);
    column->addLayout(passwords);
    column->addWidget(buildUpdateGroup());
    column->addStretch(1);
}

SystemPage::~SystemPage() = default;

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
    QWidget* box = buildPasswordGroup("User Password Setting", c_.userPasswordSetting,
                                      {{"Current Password", &c_.currentPassword},
                                       {"New User Password", &c_.newUserPassword},
                                       {"Confirm New\nUser Password", &c_.confirmNewUserPassword}});
    // The rows sit at the top like those of the group beside it.
    static_cast<QGridLayout*>(box->layout())->setRowStretch(kUserPasswordStretchRow, 1);
    return box;
}

QWidget* SystemPage::buildGlobalPasswordGroup() {
    return buildPasswordGroup("Global Password Setting", c_.globalPasswordSetting,
                              {{"Current User Password", &c_.currentUserPassword},
                               {"Current Global Password", &c_.currentGlobalPassword},
                               {"New Global Password", &c_.newGlobalPassword},
                               {"Confirm New\nGlobal Password", &c_.confirmNewGlobalPassword}});
}

QWidget* SystemPage::buildUpdateGroup() {
    c_.updateControl = new QRadioButton(QStringLiteral("Update Control"));
    modeGroup_->addButton(c_.updateControl);
    connect(c_.updateControl, &QRadioButton::clicked, this, &SystemPage::OnUpdateControl);
    QGridLayout* grid = nullptr;
    QGroupBox* box = MakeModeGroup(this, c_.updateControl, grid);

    c_.address = new ui::Ipv4AddressEdit(box);
    c_.macAddress = new QLineEdit(box);
    ui::Cp936LengthLimiter::attach(c_.macAddress, kMacAddressMaxBytes);
    c_.firmwareFile = new QLineEdit(box);
    c_.browse = new QPushButton(QStringLiteral("..."), box);
    c_.browse->setAutoDefault(false);
    c_.browse->setMaximumWidth(c_.browse->fontMetrics().horizontalAdvance(QStringLiteral("....")) +
                               kButtonPadding);
    connect(c_.browse, &QPushButton::clicked, this, &SystemPage::OnBrowse);
    c_.counterLine = new QLabel(box);
    c_.counterLine->setAlignment(Qt::AlignCenter);
    c_.breakButton = new QPushButton(QStringLiteral("Break"), box);
    c_.breakButton->setAutoDefault(false);
    c_.breakButton->setEnabled(false);
    connect(c_.breakButton, &QPushButton::clicked, this, &SystemPage::OnBreak);
    c_.progressLine = new QLabel(box);

    grid->addWidget(c_.address, 1, 0);
    grid->addWidget(Caption("MAC Address:", box), 1, 1, Qt::AlignRight);
    grid->addWidget(c_.macAddress, 1, 2, 1, 2);
    grid->addWidget(c_.firmwareFile, 2, 0, 1, 3);
    grid->addWidget(c_.browse, 2, 3);
    grid->addWidget(c_.counterLine, 3, 0, 1, 3);
    grid->addWidget(c_.breakButton, 3, 3);
    grid->addWidget(c_.progressLine, 4, 0, 1, 4);
    grid->setColumnStretch(0, 2);
    grid->setColumnStretch(2, 2);
    return box;
}

void SystemPage::setFileChooser(FileChooser chooser) {
    chooseFile_ = chooser ? std::move(chooser) : FileChooser(&SystemPage::ChooseFirmwareFile);
}

QString SystemPage::ChooseFirmwareFile(QWidget* parent) {
    return QFileDialog::getOpenFileName(parent, QString(), QString(),
                                        QString::fromLatin1(kFirmwareFileFilter), nullptr,
                                        QFileDialog::HideNameFilterDetails);
}

void SystemPage::OnUpdateControl() {
    if (!c_.updateControl->isChecked()) {
        return;
    }
    c_.address->setEnabled(true);
    c_.browse->setEnabled(true);
    c_.macAddress->setEnabled(true);
    c_.firmwareFile->setEnabled(true);
    for (QLineEdit* field : c_.passwordFields()) {
        field->setEnabled(false);
    }
}

void SystemPage::OnBrowse() {
    const QString path = chooseFile_(this);
    if (path.isEmpty()) {
        return;
    }
    if (!IsFirmwarePath(path)) {
        prompter_.inform(QString::fromLatin1(kSelectFileError));
        return;
    }
    c_.firmwareFile->setText(path);
}

void SystemPage::OnBreak() {
    update_.breakFlag = true;
}

}  // namespace tavlo::firmware
