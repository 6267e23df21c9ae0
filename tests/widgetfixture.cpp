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
