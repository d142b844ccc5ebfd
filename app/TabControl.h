// A tab control in the manner of the classic one: a row of tabs over a framed pane. The pages
// are ordinary children of the control; it keeps each of them on the page rectangle of its
// pane, while which page is visible stays with the owner. Selecting a tab by program raises
// no selection-change signal; only the operator's clicks do.
#pragma once

#include <QWidget>
#include <vector>

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

    // Makes `page` a child placed on the page rectangle, now and after every resize.
    void addPage(QWidget* page);
    // The client rectangle with its left edge in by 1, its top edge down by 20 (below the
    // tabs), its right and bottom edges in by 2.
    QRect pageRect() const;

    // Room for the largest page at its preferred size.
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  signals:
    // The operator selected another tab.
    void selectionChanged(int index);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void placePages();

    QTabBar* bar_ = nullptr;
    bool silent_ = false;
    std::vector<QWidget*> pages_;
};

}  // namespace tavlo::app
