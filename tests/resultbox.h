#ifndef RESULTBOX_H
#define RESULTBOX_H

#include <QMessageBox>
#include <QString>

class QAbstractButton;

// What a result box showed, read while it was open.
struct ResultBox
{
    int count = 0;             // boxes opened by the one click
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    int buttonCount = 0;
    bool hasDefaultButton = false;
    Qt::TextFormat textFormat = Qt::AutoText;
    QWidget *parent = nullptr;
    bool modal = false;
};

// Clicks the button, reads every modal box that the click opens and closes it
// with its Ok button, as an operator would.
ResultBox clickAndReadBox(QAbstractButton *button);

#endif
