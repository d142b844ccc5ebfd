#pragma once

#include <QComboBox>
#include <QDir>
#include <QPixmap>
#include <QString>
#include <QStringList>
#include <QWidget>

namespace tavlo::test {

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

// The page fits the main window's tab area without making the window grow, and its picture
// at that size is kept.
inline bool FitsTabAreaAndIsSaved(QWidget& page, const QString& name) {
    const QSize hint = page.sizeHint();
    if (hint.width() > kPageAreaSize.width() || hint.height() > kPageAreaSize.height()) {
        qWarning("%s wants %dx%d", qPrintable(name), hint.width(), hint.height());
        return false;
    }
    return SavePageScreenshot(page, name, kPageAreaSize);
}

// The items of a list, in list order.
inline QStringList Items(const QComboBox* list) {
    QStringList items;
    for (int i = 0; i < list->count(); ++i) {
        items << list->itemText(i);
    }
    return items;
}

}  // namespace tavlo::test
