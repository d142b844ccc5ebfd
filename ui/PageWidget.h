#pragma once

#include <QWidget>

class QKeyEvent;

namespace tavlo::ui {

// Enter (either key) or Escape: the keys that end a dialog the standard way. The main window
// and its pages swallow them; the login dialog ends on them.
bool IsEnterOrEscape(const QKeyEvent& event);

// Base of the main window's tab pages: Enter and Escape pressed anywhere in the page are
// swallowed, so neither reaches the dialog around it and closes it.
class PageWidget : public QWidget {
    Q_OBJECT

  public:
    explicit PageWidget(QWidget* parent = nullptr);

  protected:
    void keyPressEvent(QKeyEvent* event) override;
};

}  // namespace tavlo::ui
