#pragma once

#include <QDir>
#include <QPixmap>
#include <QString>
#include <QWidget>

namespace tavlo::ui::testing {

// The page rectangle of the main window at its initial size.
inline constexpr QSize kPageAreaSize(691, 636);

// Renders a page at the size the main window gives it and keeps the picture under
// build/screenshots/ so the layout can be looked at.
inline bool SavePageScreenshot(QWidget& page, const QString& name, QSize size) {
    page.resize(size);
    page.show();
    QDir().mkpath(QStringLiteral(TAVLO_SCREENSHOT_DIR));
    return page.grab().save(QStringLiteral(TAVLO_SCREENSHOT_DIR) + QLatin1Char('/') + name);
}

}  // namespace tavlo::ui::testing
