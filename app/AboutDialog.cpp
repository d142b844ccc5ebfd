#include "app/AboutDialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/AppIcon.h"
#include "ui/ProgramName.h"

namespace tavlo::app {
namespace {
constexpr int kIconSize = 32;
// The project's version, which the package carries too (set by the build).
constexpr char kProgramVersion[] = TAVLO_VERSION;
constexpr char kVersionFormat[] = "Version %1";
}  // namespace

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("AboutDialog"));
    setWindowTitle(QStringLiteral("About %1").arg(QString::fromLatin1(ui::kProgramName)));
    const QIcon icon = applicationIcon();
    setWindowIcon(icon);

    auto* picture = new QLabel;
    picture->setObjectName(QStringLiteral("aboutIcon"));
    picture->setPixmap(icon.pixmap(kIconSize, kIconSize));
    auto* name = new QLabel(QString::fromLatin1(ui::kProgramName));
    name->setObjectName(QStringLiteral("aboutName"));
    auto* version =
        new QLabel(QString::fromLatin1(kVersionFormat).arg(QString::fromLatin1(kProgramVersion)));
    version->setObjectName(QStringLiteral("aboutVersion"));
    auto* ok = new QPushButton(QStringLiteral("OK"));
    ok->setObjectName(QStringLiteral("aboutOk"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* row = new QHBoxLayout;
    row->addWidget(picture);
    row->addSpacing(kIconSize / 2);
    auto* texts = new QVBoxLayout;
    texts->addWidget(name);
    texts->addWidget(version);
    row->addLayout(texts, 1);
    row->addWidget(ok, 0, Qt::AlignTop);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

}  // namespace tavlo::app
