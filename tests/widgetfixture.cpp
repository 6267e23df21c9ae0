#include "widgetfixture.h"

#include "readerdouble.h"
#include "widget.h"

#include <QAbstractButton>
#include <QApplication>
#include <QtTest>

QWidget *WidgetFixture::child(const QString &name) const
{
    auto *found = widget->findChild<QWidget *>(name);
    if (!found)
        qWarning("no widget named %s", qPrintable(name));
    return found;
}

ResultBox WidgetFixture::press(const QString &buttonName) const
{
    auto *button = qobject_cast<QAbstractButton *>(child(buttonName));
    if (!button)
        return ResultBox();
    return clickAndReadBox(button);
}

void WidgetFixture::checkBox(const ResultBox &box, QMessageBox::Icon icon,
                             const QString &text) const
{
    QCOMPARE(box.count, 1);
    QCOMPARE(int(box.icon), int(icon));
    QCOMPARE(box.title, icon == QMessageBox::Critical ? QStringLiteral("错误信息")
                                                      : QStringLiteral("提示信息"));
    QCOMPARE(box.text, text);
    QCOMPARE(box.textFormat, Qt::PlainText);
    QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(box.buttonCount, 1);
    QVERIFY(!box.hasDefaultButton);
    QCOMPARE(box.parent, widget);
    QVERIFY(box.modal);
}

void WidgetFixture::init()
{
    ReaderDouble::reset();
    widget = new Widget;
    widget->show();
}

void WidgetFixture::cleanup()
{
    delete widget;
    widget = nullptr;
    for (QWidget *window : QApplication::topLevelWidgets())
        QVERIFY2(!window->isVisible(), qPrintable(window->windowTitle()));
}
