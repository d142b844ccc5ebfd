// "Read all clocks": reads every clock of the device tree, several at once, with a progress
// bar and Cancel, and shows them in a sortable table (ClockTableModel) that "Export to CSV..."
// saves. The reads run on a worker thread over the shared ports of workflow::ForEachClock;
// each result reaches the table as a queued call. The pages are not touched.
#pragma once

#include <QDialog>
#include <QString>
#include <vector>

#include "app/TreeRead.h"
#include "platform/WorkerThread.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QSortFilterProxyModel;
class QTableView;

namespace tavlo::platform {
class Network;
}
namespace tavlo::ui {
class Prompter;
}

namespace tavlo::app {

class ClockTableModel;

inline constexpr char kReadAllMenuText[] = "Read all clocks";
inline constexpr char kReadAllTitle[] = "Read all clocks";
inline constexpr char kExportCsvText[] = "Export to CSV...";
inline constexpr char kCancelText[] = "Cancel";
inline constexpr char kCloseText[] = "Close";
// "%1 of %2 clocks read" while it reads and after; the silent clocks follow.
inline constexpr char kReadCountFormat[] = "%1 of %2 clocks read";
inline constexpr char kNoAnswerListFormat[] = "; no answer from %1";
inline constexpr char kCancelledText[] = " (cancelled)";
inline constexpr char kCannotWriteFormat[] = "Cannot write %1";

class ReadAllDialog final : public QDialog {
    Q_OBJECT

  public:
    ReadAllDialog(platform::Network& network, std::vector<ClockIdentity> clocks,
                  ui::Prompter& prompter, QWidget* parent = nullptr);
    ~ReadAllDialog() override;

    // Starts the reads (once).
    void start();
    bool running() const { return running_; }
    // Cancel: no further clock is asked; the clocks under way end their read.
    void cancel();
    // Writes the table, in the order it is shown, to `path` as CSV; the operator is told when
    // it cannot be written.
    bool exportTo(const QString& path);

    const ClockTableModel& table() const { return *model_; }
    QString statusText() const;

    // Closing while reads run cancels them and closes once they have ended.
    void reject() override;

  signals:
    void readsFinished();

  private:
    void clockRead(std::size_t index, bool answered, std::vector<settings::FieldText> record);
    void readsEnded();
    void showCount();
    void onExport();

    platform::Network& network_;
    std::vector<ClockIdentity> clocks_;
    ui::Prompter& prompter_;
    ClockTableModel* model_ = nullptr;
    QSortFilterProxyModel* sorted_ = nullptr;
    QTableView* view_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QLabel* status_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QPushButton* export_ = nullptr;
    std::size_t done_ = 0;
    std::vector<QString> silent_;
    bool running_ = false;
    bool cancelled_ = false;
    bool closeWhenEnded_ = false;
    // Last: its thread is joined before anything it reports to goes.
    platform::WorkerThread worker_;
};

}  // namespace tavlo::app
