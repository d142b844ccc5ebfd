#include <QButtonGroup>
#include <QComboBox>
#include <QRadioButton>
#include <QTest>

#include "ui/ListSelection.h"

using namespace tavlo::ui;

namespace {

const QStringList kZones{"UTC -10", "UTC -9:30", "UTC -9 ", "UTC  0", "UTC +10", "UTC +10:30"};
const QStringList kAuth{"NONE", "WEP", "WPA", "WPA2", "WPAPSK", "WPA2PSK"};

}  // namespace

class TestListSelection : public QObject {
    Q_OBJECT

  private slots:
    void numberItems() {
        QCOMPARE(NumberItems(2, 5), (QStringList{"2", "3", "4", "5"}));
        QCOMPARE(NumberItems(0, 0), QStringList{"0"});
        QVERIFY(NumberItems(3, 2).isEmpty());
    }

    void selectByText_data() {
        QTest::addColumn<QStringList>("items");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("index");
        QTest::newRow("trailing blank keeps -9 off -9:30") << kZones << "UTC -9 " << 2;
        QTest::newRow("-9:30") << kZones << "UTC -9:30" << 1;
        QTest::newRow("+10 before +10:30") << kZones << "UTC +10" << 4;
        QTest::newRow("zero") << kZones << "UTC  0" << 3;
        QTest::newRow("minus zero finds nothing") << kZones << "UTC -0 " << -1;
        QTest::newRow("WPA2 not WPA2PSK") << kAuth << "WPA2" << 3;
        QTest::newRow("prefix takes the first") << kAuth << "WPA" << 2;
        QTest::newRow("case ignored") << kAuth << "wpapsk" << 4;
        QTest::newRow("empty text") << kAuth << "" << -1;
        QTest::newRow("no match") << kAuth << "TKIP" << -1;
    }

    void selectByText() {
        QFETCH(QStringList, items);
        QFETCH(QString, text);
        QFETCH(int, index);
        for (const bool editable : {false, true}) {
            QComboBox list;
            list.setEditable(editable);
            list.addItems(items);
            list.setCurrentIndex(1);  // a previous selection never survives a miss
            QCOMPARE(SelectByText(list, text), index >= 0);
            QCOMPARE(list.currentIndex(), index);
            if (index < 0) {
                QVERIFY(list.currentText().isEmpty());
            }
        }
    }

    void selectByIndex() {
        QComboBox list;
        list.addItems(NumberItems(2, 15));
        QVERIFY(SelectByIndex(list, 13));
        QCOMPARE(list.currentText(), QStringLiteral("15"));
        QVERIFY(!SelectByIndex(list, 14));
        QCOMPARE(list.currentIndex(), -1);
        QVERIFY(SelectByIndex(list, 0));
        QVERIFY(!SelectByIndex(list, -1));
        QCOMPARE(list.currentIndex(), -1);
    }

    void clearSelectionEmptiesTypedText() {
        QComboBox list;
        list.setEditable(true);
        list.addItems(NumberItems(2, 5));
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
