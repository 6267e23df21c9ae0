#include "widget.h"
#include "ui_widget.h"

#include "vrkreaderclient.h"

#include <QMessageBox>

#include <cstdio>
#include <cstring>

namespace {

// The library may fill a buffer to its last byte and leave no NUL: a buffer
// is never read past its own size.
template <std::size_t N>
QString text(const char (&buffer)[N])
{
    return QString::fromUtf8(buffer, int(strnlen(buffer, N)));
}

void showResult(QWidget *parent, QMessageBox::Icon icon, const QString &title,
                const QString &text)
{
    // What the static QMessageBox functions build, except that library text
    // is never taken for markup.
    QMessageBox box(icon, title, text, QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

} // namespace

Widget::Widget(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::Widget)
{
    ui->setupUi(this);
}

Widget::~Widget()
{
    delete ui;
}

void Widget::showError(const QString &text)
{
    showResult(this, QMessageBox::Critical, QStringLiteral("错误信息"), text);
}

void Widget::showNotice(const QString &text)
{
    showResult(this, QMessageBox::Information, QStringLiteral("提示信息"), text);
}

void Widget::on_pushButton_clicked()
{
    char error[1024] = {};
    char regionCode[10] = {};

    int deviceType = -1;
    switch (ui->comboBox_Dev->currentIndex()) {
    case 0: deviceType = 21; break;
    case 1: deviceType = 19; break;
    }
    const int region = ui->comboBox_Region->currentIndex();
    if (region >= 0 && region <= 9)
        std::snprintf(regionCode, sizeof regionCode, "350%d", region);

    if (VRK_OpenDev(deviceType, regionCode, error) == 0)
        showNotice(QStringLiteral("设备打开成功"));
    else if (error[0] != '\0')
        showError(text(error));
    else
        showError(QStringLiteral("设备打开失败，请检查设备连接状态！"));
}
