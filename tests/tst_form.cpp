#include "widget.h"
#include "widgetfixture.h"

#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMetaMethod>
#include <QPushButton>
#include <QtTest>

namespace {

const char groupBoxStyleSheet[] =
    "QGroupBox {\n"
    "    border-width:1px;   \n"
    "   border-style:solid;\n"
    "  border-color:lightGray;  \n"
    "  margin-top: 0.5ex; \n"
    "}\n"
    "QGroupBox::title {\n"
    "     subcontrol-origin: margin;\n"
    "     subcontrol-position: top left;\n"
    "   left:25px;       \n"
    "     margin-left: 0px;\n"
    "     padding:0 1px;  \n"
    "}";

void collect(const QObject *parent, QStringList &out)
{
    for (const QObject *object : parent->children()) {
        if (!object->isWidgetType() || object->objectName().startsWith("qt_"))
            continue;
        out << QString::fromLatin1(object->metaObject()->className()) + ' '
                + object->objectName() + " in " + parent->objectName();
        if (qobject_cast<const QGroupBox *>(object))
            collect(object, out);
    }
}

} // namespace

class tst_Form : public WidgetFixture
{
    Q_OBJECT

private slots:
    void window();
    void childrenInCreationOrder();
    void geometry_data();
    void geometry();
    void texts_data();
    void texts();
    void comboItems_data();
    void comboItems();
    void comboProperties();
    void cursors();
    void groupBoxes();
    void secondsField();
    void slotsAreTheButtons();
};

void tst_Form::window()
{
    QCOMPARE(widget->objectName(), QStringLiteral("Widget"));
    QCOMPARE(widget->metaObject()->className(), "Widget");
    QCOMPARE(widget->windowTitle(), QStringLiteral("Widget"));
    QCOMPARE(widget->size(), QSize(634, 567));
    QVERIFY(widget->isWindow());
    QVERIFY(!widget->layout());
    QCOMPARE(widget->minimumSize(), QSize(0, 0));
    QCOMPARE(widget->maximumSize(), QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX));
    QVERIFY(widget->styleSheet().isEmpty());

    auto *footer = qobject_cast<QLabel *>(child("label_3"));
    QVERIFY(footer);
    QVERIFY(!footer->text().isEmpty());
    QVERIFY(!footer->text().contains('\n'));
    // A maker's library, as this suite's reader double is taken to be.
    QVERIFY(!footer->text().contains(QStringLiteral("模拟读卡器")));
}

void tst_Form::childrenInCreationOrder()
{
    // The creation order is also the stacking order and the focus chain.
    const QStringList expected = {
        "QLabel label in Widget",
        "QComboBox comboBox_Region in Widget",
        "QPushButton pushButton in Widget",
        "QGroupBox groupBox in Widget",
        "QPushButton pushButton_2 in groupBox",
        "QPushButton pushButton_3 in groupBox",
        "QPushButton pushButton_4 in groupBox",
        "QPushButton pushButton_5 in groupBox",
        "QGroupBox groupBox_2 in Widget",
        "QPushButton pushButton_6 in groupBox_2",
        "QGroupBox groupBox_3 in Widget",
        "QPushButton pushButton_7 in groupBox_3",
        "QPushButton pushButton_15 in groupBox_3",
        "QGroupBox groupBox_4 in Widget",
        "QPushButton pushButton_8 in groupBox_4",
        "QPushButton pushButton_9 in groupBox_4",
        "QPushButton pushButton_10 in groupBox_4",
        "QLabel label_2 in groupBox_4",
        "QLineEdit lineEdit in groupBox_4",
        "QPushButton pushButton_11 in groupBox_4",
        "QLabel label_3 in Widget",
        "QLabel label_4 in Widget",
        "QComboBox comboBox_Dev in Widget",
        "QGroupBox groupBox_5 in Widget",
        "QPushButton pushButton_14 in groupBox_5",
        "QGroupBox groupBox_6 in Widget",
        "QPushButton pushButton_13 in groupBox_6",
    };
    QStringList actual;
    collect(widget, actual);
    QCOMPARE(actual, expected);
}

void tst_Form::geometry_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("geometry");

    QTest::newRow("region label") << "label" << QRect(50, 20, 51, 31);
    QTest::newRow("region combo") << "comboBox_Region" << QRect(100, 20, 131, 33);
    QTest::newRow("open button") << "pushButton" << QRect(510, 20, 91, 31);
    QTest::newRow("footer label") << "label_3" << QRect(30, 530, 311, 23);
    QTest::newRow("device type label") << "label_4" << QRect(250, 20, 68, 31);
    QTest::newRow("device type combo") << "comboBox_Dev" << QRect(320, 20, 131, 33);

    QTest::newRow("social security panel") << "groupBox" << QRect(30, 70, 291, 131);
    QTest::newRow("read card number") << "pushButton_2" << QRect(30, 30, 99, 31);
    QTest::newRow("basic information") << "pushButton_3" << QRect(170, 30, 99, 31);
    QTest::newRow("read card id code") << "pushButton_4" << QRect(30, 80, 99, 31);
    QTest::newRow("read region code") << "pushButton_5" << QRect(170, 80, 99, 31);
    QTest::newRow("identity card panel") << "groupBox_2" << QRect(350, 70, 251, 91);
    QTest::newRow("read identity card") << "pushButton_6" << QRect(70, 30, 111, 31);
    QTest::newRow("bank card panel") << "groupBox_3" << QRect(350, 180, 251, 141);
    QTest::newRow("read chip number") << "pushButton_7" << QRect(70, 40, 99, 31);
    QTest::newRow("read stripe number") << "pushButton_15" << QRect(70, 90, 99, 31);
    QTest::newRow("scanner panel") << "groupBox_4" << QRect(30, 220, 291, 171);
    QTest::newRow("automatic scanning") << "pushButton_8" << QRect(30, 30, 99, 31);
    QTest::newRow("manual scanning") << "pushButton_9" << QRect(170, 30, 99, 31);
    QTest::newRow("manual scan") << "pushButton_10" << QRect(30, 80, 99, 31);
    QTest::newRow("seconds caption") << "label_2" << QRect(160, 80, 41, 31);
    QTest::newRow("seconds field") << "lineEdit" << QRect(200, 80, 71, 31);
    QTest::newRow("scan interval") << "pushButton_11" << QRect(30, 130, 231, 31);
    QTest::newRow("stripe panel") << "groupBox_5" << QRect(30, 410, 291, 101);
    QTest::newRow("read stripe tracks") << "pushButton_14" << QRect(80, 40, 141, 31);
    QTest::newRow("PIN pad panel") << "groupBox_6" << QRect(350, 340, 251, 121);
    QTest::newRow("enter PIN") << "pushButton_13" << QRect(70, 50, 131, 31);
}

void tst_Form::geometry()
{
    QFETCH(QString, name);
    QFETCH(QRect, geometry);

    auto *w = child(name);
    QVERIFY(w);
    QCOMPARE(w->geometry(), geometry);

    // Nothing is laid out: resizing the window moves and stretches nothing.
    widget->resize(900, 700);
    QApplication::processEvents();
    QCOMPARE(w->geometry(), geometry);
    widget->resize(300, 200);
    QApplication::processEvents();
    QCOMPARE(w->geometry(), geometry);
}

void tst_Form::texts_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("property");
    QTest::addColumn<QString>("text");

    QTest::newRow("region label") << "label" << "text" << QStringLiteral("地区:");
    QTest::newRow("open button") << "pushButton" << "text" << QStringLiteral("打开设备");
    QTest::newRow("device type label") << "label_4" << "text" << QStringLiteral("设备类型:");

    QTest::newRow("social security panel") << "groupBox" << "title" << QStringLiteral("社保卡");
    QTest::newRow("read card number") << "pushButton_2" << "text" << QStringLiteral("读取卡号");
    QTest::newRow("basic information") << "pushButton_3" << "text" << QStringLiteral("基本信息");
    QTest::newRow("read card id code") << "pushButton_4" << "text"
                                       << QStringLiteral("读取卡识别码");
    QTest::newRow("read region code") << "pushButton_5" << "text"
                                      << QStringLiteral("读取地区编码");
    QTest::newRow("identity card panel") << "groupBox_2" << "title" << QStringLiteral("身份证");
    QTest::newRow("read identity card") << "pushButton_6" << "text" << QStringLiteral("读身份证");
    QTest::newRow("bank card panel") << "groupBox_3" << "title" << QStringLiteral("银行卡读卡");
    QTest::newRow("read chip number") << "pushButton_7" << "text"
                                      << QStringLiteral("读取芯片卡号");
    QTest::newRow("read stripe number") << "pushButton_15" << "text"
                                        << QStringLiteral("读取磁条卡号");
    QTest::newRow("scanner panel") << "groupBox_4" << "title" << QStringLiteral("扫码模块");
    QTest::newRow("automatic scanning") << "pushButton_8" << "text"
                                        << QStringLiteral("设置自动扫码");
    QTest::newRow("manual scanning") << "pushButton_9" << "text"
                                     << QStringLiteral("设置手动扫码");
    QTest::newRow("manual scan") << "pushButton_10" << "text" << QStringLiteral("手动扫码(s)");
    QTest::newRow("seconds caption") << "label_2" << "text" << QStringLiteral("时间:");
    QTest::newRow("seconds field") << "lineEdit" << "text" << "2";
    QTest::newRow("scan interval") << "pushButton_11" << "text"
                                   << QStringLiteral("设置自动扫码间隔时间(s)");
    QTest::newRow("stripe panel") << "groupBox_5" << "title" << QStringLiteral("磁条卡读卡");
    QTest::newRow("read stripe tracks") << "pushButton_14" << "text"
                                        << QStringLiteral("读取磁条卡(10s超时)");
    QTest::newRow("PIN pad panel") << "groupBox_6" << "title" << QStringLiteral("密码键盘");
    QTest::newRow("enter PIN") << "pushButton_13" << "text"
                               << QStringLiteral("输入密码(20s超时)");
}

void tst_Form::texts()
{
    QFETCH(QString, name);
    QFETCH(QString, property);
    QFETCH(QString, text);

    QObject *w = child(name);
    QVERIFY(w);
    QCOMPARE(w->property(qPrintable(property)).toString(), text);
}

void tst_Form::comboItems_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("items");

    QTest::newRow("regions") << "comboBox_Region"
                             << QStringList{
                                    QStringLiteral("3500--省直"), QStringLiteral("3501--福州"),
                                    QStringLiteral("3502--厦门"), QStringLiteral("3503--莆田"),
                                    QStringLiteral("3504--三明"), QStringLiteral("3505--泉州"),
                                    QStringLiteral("3506--漳州"), QStringLiteral("3507--南平"),
                                    QStringLiteral("3508--龙岩"), QStringLiteral("3509--宁德")};
    QTest::newRow("device types") << "comboBox_Dev"
                                  << QStringList{"21--TQ-880", "19--TQ-660"};
}

void tst_Form::comboItems()
{
    QFETCH(QString, name);
    QFETCH(QStringList, items);

    auto *combo = qobject_cast<QComboBox *>(child(name));
    QVERIFY(combo);
    QStringList actual;
    for (int i = 0; i < combo->count(); ++i)
        actual << combo->itemText(i);
    QCOMPARE(actual, items);
    QCOMPARE(combo->currentIndex(), 0);
    QVERIFY(!combo->isEditable());
}

void tst_Form::comboProperties()
{
    auto *region = qobject_cast<QComboBox *>(child("comboBox_Region"));
    auto *device = qobject_cast<QComboBox *>(child("comboBox_Dev"));
    QVERIFY(region && device);
    QCOMPARE(region->minimumContentsLength(), 0);
    QVERIFY(!device->hasMouseTracking());
    QCOMPARE(device->focusPolicy(), Qt::TabFocus);
    QVERIFY(!device->duplicatesEnabled());
}

void tst_Form::cursors()
{
    QVERIFY(widget->testAttribute(Qt::WA_SetCursor));
    QCOMPARE(widget->cursor().shape(), Qt::PointingHandCursor);

    auto *region = child("comboBox_Region");
    QVERIFY(region);
    QVERIFY(region->testAttribute(Qt::WA_SetCursor));
    QCOMPARE(region->cursor().shape(), Qt::ArrowCursor);

    // Every other widget inherits the window's pointing hand; the seconds
    // field keeps the text cursor that every line edit has.
    for (QWidget *w : widget->findChildren<QWidget *>()) {
        if (w == region || region->isAncestorOf(w) || w->isWindow()
            || qobject_cast<QLineEdit *>(w))
            continue;
        QVERIFY2(!w->testAttribute(Qt::WA_SetCursor), qPrintable(w->objectName()));
        QCOMPARE(w->cursor().shape(), Qt::PointingHandCursor);
    }
}

void tst_Form::groupBoxes()
{
    QCOMPARE(int(sizeof groupBoxStyleSheet) - 1, 266);
    QCOMPARE(QByteArray(groupBoxStyleSheet).count('\n'), 12);

    const auto boxes = widget->findChildren<QGroupBox *>();
    QCOMPARE(boxes.size(), 6);
    for (QGroupBox *box : boxes) {
        QCOMPARE(box->styleSheet().toLatin1(), QByteArray(groupBoxStyleSheet));
        QVERIFY(box->isEnabled());
        QVERIFY(!box->isFlat());
        QVERIFY(!box->isCheckable());
        QCOMPARE(box->parentWidget(), widget);
    }
    // The style is the panels' own: nothing else carries one.
    for (QWidget *w : widget->findChildren<QWidget *>()) {
        if (!qobject_cast<QGroupBox *>(w))
            QVERIFY2(w->styleSheet().isEmpty(), qPrintable(w->objectName()));
    }
}

void tst_Form::secondsField()
{
    auto *field = qobject_cast<QLineEdit *>(child("lineEdit"));
    QVERIFY(field);
    QCOMPARE(field->text(), "2");
    QVERIFY(!field->validator());
    QVERIFY(field->inputMask().isEmpty());
    QCOMPARE(field->maxLength(), 32767);
    QVERIFY(!field->isReadOnly());
}

void tst_Form::slotsAreTheButtons()
{
    // Each slot is named after an existing button and so connected by name.
    const QMetaObject *meta = widget->metaObject();
    QCOMPARE(meta->propertyCount(), meta->propertyOffset());
    int slotCount = 0;
    for (int i = meta->methodOffset(); i < meta->methodCount(); ++i) {
        const QMetaMethod method = meta->method(i);
        QCOMPARE(method.methodType(), QMetaMethod::Slot);
        QCOMPARE(method.access(), QMetaMethod::Private);
        QCOMPARE(method.parameterCount(), 0);
        const QByteArray name = method.name();
        QVERIFY(name.startsWith("on_") && name.endsWith("_clicked"));
        const QByteArray button = name.mid(3, name.size() - 3 - 8);
        QVERIFY2(qobject_cast<QPushButton *>(child(QString::fromLatin1(button))),
                 name.constData());
        ++slotCount;
    }
    QCOMPARE(slotCount, 14);
}

QTEST_MAIN(tst_Form)
#include "tst_form.moc"
