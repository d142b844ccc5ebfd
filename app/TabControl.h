// A tab control in the manner of the classic one: a row of tabs over a framed pane whose
// pages are ordinary children placed by their owner. Selecting a tab by program raises no
// selection-change signal; only the operator's clicks do.
#pragma once

#include <QWidget>

class QTabBar;

namespace tavlo::app {

class TabControl final : public QWidget {
    Q_OBJECT

  public:
    explicit TabControl(QWidget* parent = nullptr);

    void addTab(const QString& text);
    int count() const;
    QString tabText(int index) const;
    int currentIndex() const;
    // Selects a tab without raising selectionChanged.
    void setCurrentIndexSilently(int index);
    QTabBar* tabBar() const { return bar_; }

  signals:
    // The operator selected another tab.
    void selectionChanged(int index);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    QTabBar* bar_ = nullptr;
    bool silent_ = false;
};

}  // namespace tavlo::app
