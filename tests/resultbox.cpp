#include "resultbox.h"

#include <QAbstractButton>
#include <QApplication>
#include <QTimer>

ResultBox clickAndReadBox(QAbstractButton *button)
{
    ResultBox result;
    QTimer poll;
    poll.setInterval(5);
    QObject::connect(&poll, &QTimer::timeout, [&result] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        ++result.count;
        result.title = box->windowTitle();
        result.text = box->text();
        result.icon = box->icon();
        result.buttons = box->standardButtons();
        result.buttonCount = box->buttons().size();
        result.hasDefaultButton = box->defaultButton() != nullptr;
        result.textFormat = box->textFormat();
        result.parent = box->parentWidget();
        result.modal = box->isModal();
        if (QAbstractButton *ok = box->button(QMessageBox::Ok))
            ok->click();
        else
            box->reject();
    });
    poll.start();
    button->click();
    return result;
}
