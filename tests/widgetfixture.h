#ifndef WIDGETFIXTURE_H
#define WIDGETFIXTURE_H

#include "resultbox.h"

#include <QObject>

// A fresh window and a reset reader double for every test function; after
// each one, no window may be left open.
class WidgetFixture : public QObject
{
    Q_OBJECT

protected:
    QWidget *child(const QString &name) const;
    ResultBox press(const QString &buttonName) const;

    QWidget *widget = nullptr;

private slots:
    void init();
    void cleanup();
};

#endif
