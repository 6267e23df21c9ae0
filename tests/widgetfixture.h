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
    // Exactly one box opened: modal on the window, titled for its icon,
    // showing the text as plain text, with Ok alone and no default button.
    void checkBox(const ResultBox &box, QMessageBox::Icon icon, const QString &text) const;

    QWidget *widget = nullptr;

private slots:
    void init();
    void cleanup();
};

#endif
