#include "app/ReadAllDialog.h"

#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSaveFile>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QVBoxLayout>

#include "app/ClockTableModel.h"
#include "platform/Ipv4.h"
#include "ui/Prompter.h"
#include "ui/QueuedCall.h"
#include "workflow/ClockRecord.h"
#include "workflow/ManyClocks.h"

namespace tavlo::app {
namespace {

constexpr QSize kDialogSize(900, 500);
constexpr char kCsvFilter[] = "CSV files (*.csv)";
constexpr char kCsvFileName[] = "clocks.csv";

QString text(const char* s) {
    return QString::fromLatin1(s);
}

}  // namespace

ReadAllDialog::ReadAllDialog(platform::Network& network, std::vector<ClockIdentity> clocks,
                             ui::Prompter& prompter, QWidget* parent)
    : QDialog(parent),
      network_(network),
      clocks_(std::move(clocks)),
      prompter_(prompter),
      model_(new ClockTableModel(this)),
      sorted_(new QSortFilterProxyModel(this)) {
    setWindowTitle(text(kReadAllTitle));
    resize(kDialogSize);
    for (const ClockIdentity& clock : clocks_) {
        model_->addColumns(workflow::RecordColumns(clock.kind, false));
    }
    sorted_->setSourceModel(model_);
    sorted_->setSortRole(ClockTableModel::kSortRole);

    view_ = new QTableView(this);
    view_->setObjectName(text("clockTable"));
    view_->setModel(sorted_);
    view_->setSortingEnabled(true);
    view_->sortByColumn(-1, Qt::AscendingOrder);  // the tree's order until a header is clicked
    view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view_->setSelectionBehavior(QAbstractItemView::SelectRows);
    view_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);

    progress_ = new QProgressBar(this);
    progress_->setRange(0, static_cast<int>(clocks_.size()));
    progress_->setValue(0);
    status_ = new QLabel(this);
    status_->setObjectName(text("readAllStatus"));
    cancel_ = new QPushButton(text(kCancelText), this);
    cancel_->setObjectName(text("cancelButton"));
    cancel_->setAutoDefault(false);
    export_ = new QPushButton(text(kExportCsvText), this);
    export_->setObjectName(text("exportButton"));
    export_->setAutoDefault(false);
    export_->setEnabled(false);
    connect(cancel_, &QPushButton::clicked, this, [this] { running_ ? cancel() : accept(); });
    connect(export_, &QPushButton::clicked, this, &ReadAllDialog::onExport);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(status_, 1);
    buttons->addWidget(export_);
    buttons->addWidget(cancel_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(view_, 1);
    layout->addWidget(progress_);
    layout->addLayout(buttons);
    showCount();
}

ReadAllDialog::~ReadAllDialog() = default;

void ReadAllDialog::start() {
    if (running_ || done_ > 0) {
        return;
    }
    running_ = true;
    std::vector<platform::Ipv4> addresses;
    for (const ClockIdentity& clock : clocks_) {
        addresses.push_back(clock.address);
    }
    worker_.start([this, addresses = std::move(addresses), clocks = clocks_,
                   &network = network_](const std::stop_token& stop) {
        workflow::ForEachClock(
            network, addresses, workflow::kDefaultParallel,
            [&](workflow::ClockLine& line, std::size_t index) {
                const workflow::ReadResult read =
                    workflow::ReadClock(line, addresses[index], clocks[index].kind, stop);
                if (read.stopped) {
                    return;
                }
                std::vector<settings::FieldText> record;
                if (read.answered) {
                    record =
                        workflow::ClockRecord(addresses[index], read, clocks[index].kind, false);
                }
                ui::PostQueuedCall(this, [this, index, answered = read.answered,
                                          record = std::move(record)]() mutable {
                    clockRead(index, answered, std::move(record));
                });
            },
            stop);
        ui::PostQueuedCall(this, [this] { readsEnded(); });
    });
}

void ReadAllDialog::cancel() {
    if (running_) {
        cancelled_ = true;
        worker_.requestStop();
        cancel_->setEnabled(false);
    }
}

void ReadAllDialog::reject() {
    if (running_) {
        closeWhenEnded_ = true;
        cancel();
        return;
    }
    QDialog::reject();
}

void ReadAllDialog::clockRead(std::size_t index, bool answered,
                              std::vector<settings::FieldText> record) {
    ++done_;
    if (answered) {
        model_->addRow(index, record);
    } else {
        silent_.push_back(QString::fromStdString(platform::FormatIpv4(clocks_[index].address)));
    }
    progress_->setValue(static_cast<int>(done_));
    showCount();
}

void ReadAllDialog::readsEnded() {
    worker_.join();
    running_ = false;
    cancel_->setText(text(kCloseText));
    cancel_->setEnabled(true);
    export_->setEnabled(model_->rowCount() > 0);
    showCount();
    emit readsFinished();
    if (closeWhenEnded_) {
        QDialog::reject();
    }
}

QString ReadAllDialog::statusText() const {
    return status_->text();
}

void ReadAllDialog::showCount() {
    QString line =
        text(kReadCountFormat).arg(model_->rowCount()).arg(static_cast<qulonglong>(clocks_.size()));
    if (!silent_.empty()) {
        QStringList silent(silent_.begin(), silent_.end());
        line += text(kNoAnswerListFormat).arg(silent.join(QLatin1String(", ")));
    }
    if (cancelled_ && !running_) {
        line += text(kCancelledText);
    }
    status_->setText(line);
}

bool ReadAllDialog::exportTo(const QString& path) {
    std::vector<int> order;
    for (int row = 0; row < sorted_->rowCount(); ++row) {
        order.push_back(sorted_->mapToSource(sorted_->index(row, 0)).row());
    }
    const std::string csv = model_->csv(order);
    QSaveFile file(path);
    const bool written = file.open(QIODevice::WriteOnly) &&
                         file.write(csv.data(), static_cast<qint64>(csv.size())) ==
                             static_cast<qint64>(csv.size()) &&
                         file.commit();
    if (!written) {
        prompter_.inform(text(kCannotWriteFormat).arg(path));
    }
    return written;
}

void ReadAllDialog::onExport() {
    const QString path = QFileDialog::getSaveFileName(this, text(kExportCsvText),
                                                      text(kCsvFileName), text(kCsvFilter));
    if (!path.isEmpty()) {
        exportTo(path);
    }
}

}  // namespace tavlo::app
