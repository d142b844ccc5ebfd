#include <QButtonGroup>
#include <QComboBox>
#include <QRadioButton>
#include <QTest>

#include "ui/ListSelection.h"

using namespace tavlo::ui;

class TestListSelection : public QObject {
    Q_OBJECT

  private slots:
    void clearSelectionEmptiesTypedText() {
        QComboBox list;
        list.setEditable(true);
        list.addItems({QStringLiteral("2"), QStringLiteral("3")});
        list.setEditText(QStringLiteral("9"));
        ClearSelection(list);
        QCOMPARE(list.currentIndex(), -1);
        QVERIFY(list.currentText().isEmpty());
    }

    void uncheckAllKeepsTheGroupExclusive() {
        QWidget parent;
        auto* a = new QRadioButton(&parent);
        auto* b = new QRadioButton(&parent);
        QButtonGroup group;
        group.addButton(a);
        group.addButton(b);
        a->setChecked(true);
        UncheckAll(group);
        QVERIFY(!a->isChecked() && !b->isChecked());
        QVERIFY(group.exclusive());
        a->click();
        b->click();
        QVERIFY(!a->isChecked() && b->isChecked());
    }
};

QTEST_MAIN(TestListSelection)
#include "test_list_selection.moc"
