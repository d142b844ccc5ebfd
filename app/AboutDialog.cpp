#include "app/AboutDialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/AppIcon.h"
#include "app/MainWindow.h"

namespace tavlo::app {
namespace {
constexpr int kIconSize = 32;
}

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("AboutDialog"));
    setWindowTitle(QStringLiteral("About %1").arg(QString::fromLatin1(kAppName)));
    const QIcon icon = applicationIcon();
    setWindowIcon(icon);

    auto* picture = new QLabel;
    picture->setObjectName(QStringLiteral("aboutIcon"));
    picture->setPixmap(icon.pixmap(kIconSize, kIconSize));
    auto* name = new QLabel(QString::fromLatin1(kAppName));
    name->setObjectName(QStringLiteral("aboutName"));
    auto* ok = new QPushButton(QStringLiteral("OK"));
    ok->setObjectName(QStringLiteral("aboutOk"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* row = new QHBoxLayout;
    row->addWidget(picture);
    row->addSpacing(kIconSize / 2);
    row->addWidget(name, 1);
    row->addWidget(ok, 0, Qt::AlignTop);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

}  // namespace tavlo::app
