#include "widget.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QMetaMethod>
#include <QPushButton>
#include <QtTest>

class tst_Form : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

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
    void slotsAreTheButtons();

private:
    QWidget *child(const char *name) const;

    Widget *widget = nullptr;
};

void tst_Form::init()
{
    widget = new Widget;
    widget->show();
}

void tst_Form::cleanup()
{
    delete widget;
    widget = nullptr;
    for (QWidget *window : QApplication::topLevelWidgets())
        QVERIFY2(!window->isVisible(), qPrintable(window->objectName()));
}

QWidget *tst_Form::child(const char *name) const
{
    auto *found = widget->findChild<QWidget *>(QLatin1String(name));
    if (!found)
        qWarning("no widget named %s", name);
    return found;
}

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
}

void tst_Form::childrenInCreationOrder()
{
    // The creation order is also the stacking order and the focus chain.
    const QStringList expected = {
        "QLabel label", "QComboBox comboBox_Region", "QPushButton pushButton",
        "QLabel label_3", "QLabel label_4", "QComboBox comboBox_Dev",
    };
    QStringList actual;
    for (QObject *object : widget->children()) {
        if (object->isWidgetType())
            actual << QString::fromLatin1(object->metaObject()->className()) + ' '
                    + object->objectName();
    }
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
}

void tst_Form::geometry()
{
    QFETCH(QString, name);
    QFETCH(QRect, geometry);

    auto *w = child(qPrintable(name));
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
    QTest::addColumn<QString>("text");

    QTest::newRow("region label") << "label" << QStringLiteral("地区:");
    QTest::newRow("open button") << "pushButton" << QStringLiteral("打开设备");
    QTest::newRow("device type label") << "label_4" << QStringLiteral("设备类型:");
}

void tst_Form::texts()
{
    QFETCH(QString, name);
    QFETCH(QString, text);

    QObject *w = child(qPrintable(name));
    QVERIFY(w);
    QCOMPARE(w->property("text").toString(), text);
    QCOMPARE(w->property("text").toString().toUtf8(), text.toUtf8());
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

    auto *combo = qobject_cast<QComboBox *>(child(qPrintable(name)));
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

    // Every other widget inherits the window's pointing hand.
    for (QWidget *w : widget->findChildren<QWidget *>()) {
        if (w == region || w->parentWidget() == region || w->isWindow())
            continue;
        QVERIFY2(!w->testAttribute(Qt::WA_SetCursor), qPrintable(w->objectName()));
        QCOMPARE(w->cursor().shape(), Qt::PointingHandCursor);
    }
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
        QVERIFY2(qobject_cast<QPushButton *>(child(button.constData())), name.constData());
        ++slotCount;
    }
    QCOMPARE(slotCount, 1);
}

QTEST_MAIN(tst_Form)
#include "tst_form.moc"
