#include "widget.h"
#include "ui_widget.h"

#include "simulatedmark.h"
#include "vrkreaderclient.h"

#include <QMessageBox>

#include <cstdio>
#include <cstring>
#include <limits>

namespace {

// The library may fill a buffer to its last byte and leave no NUL: a buffer
// is never read past its own size.
template <std::size_t N>
QByteArray utf8(const char (&buffer)[N])
{
    return QByteArray(buffer, int(strnlen(buffer, N)));
}

template <std::size_t N>
QString text(const char (&buffer)[N])
{
    return QString::fromUtf8(utf8(buffer));
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
    // The simulated reader's answers are demo data: while it answers, the
    // footer says that no terminal is being checked.
    if (carriesSimulatedMark(reinterpret_cast<const void *>(&VRK_OpenDev)))
        ui->label_3->setText(QStringLiteral("模拟读卡器 · 未检查终端"));
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

void Widget::on_pushButton_2_clicked()
{
    char error[1024] = {};
    char cardNumber[36] = {};
    if (VRK_ReadCarNo(cardNumber, error) != 0)
        return showError(text(error));
    showNotice(QString::asprintf("卡  号 :%s\n 错误信息 :%s",
                                 utf8(cardNumber).constData(), utf8(error).constData()));
}

void Widget::on_pushButton_3_clicked()
{
    char error[1024] = {};
    char cardIdCode[36] = {};
    char cardType[36] = {};
    char cardVersion[36] = {};
    char issuerCode[36] = {};
    char issueDate[36] = {};
    char validity[36] = {};
    char cardNumber[36] = {};
    char idNumber[36] = {};
    char name[36] = {};
    char sex[36] = {};
    char ethnicGroup[36] = {};
    char birthPlace[36] = {};
    char birthDate[36] = {};
    if (VRK_ReadCardBas(cardIdCode, cardType, cardVersion, issuerCode, issueDate, validity,
                        cardNumber, idNumber, name, sex, ethnicGroup, birthPlace, birthDate,
                        error) != 0)
        return showError(text(error));
    showNotice(QString::asprintf(
        "卡识别码 :%s\n 卡类型 :%s\n 卡版本:%s\n 发行机构编码:%s \n 发行日期:%s \n"
        " 卡有效期:%s\n 卡号:%s\n 身份证号码:%s\n 姓名:%s\n 性别:%s\n 民族:%s\n"
        " 出生地址:%s\n 出生日期:%s\n 错误信息 :%s",
        utf8(cardIdCode).constData(), utf8(cardType).constData(),
        utf8(cardVersion).constData(), utf8(issuerCode).constData(),
        utf8(issueDate).constData(), utf8(validity).constData(),
        utf8(cardNumber).constData(), utf8(idNumber).constData(), utf8(name).constData(),
        utf8(sex).constData(), utf8(ethnicGroup).constData(), utf8(birthPlace).constData(),
        utf8(birthDate).constData(), utf8(error).constData()));
}

void Widget::on_pushButton_4_clicked()
{
    char error[1024] = {};
    char cardNumber[36] = {};
    char cardIdCode[36] = {};
    if (VRK_ReadCardCertID(cardNumber, cardIdCode, error) != 0)
        return showError(text(error));
    showNotice(QString::asprintf("卡  号 :%s\n 卡识别码 :%s\n 错误信息 :%s",
                                 utf8(cardNumber).constData(), utf8(cardIdCode).constData(),
                                 utf8(error).constData()));
}

void Widget::on_pushButton_5_clicked()
{
    char error[1024] = {};
    char regionCode[36] = {};
    if (VRK_ReadCardCity(regionCode, error) != 0)
        return showError(text(error));
    showNotice(QString::asprintf("地  区 :%s\n 错误信息 :%s",
                                 utf8(regionCode).constData(), utf8(error).constData()));
}

void Widget::on_pushButton_6_clicked()
{
    char error[1024] = {};
    char name[36] = {};
    char sex[36] = {};
    char ethnicGroup[36] = {};
    char birthDate[36] = {};
    char birthPlace[256] = {};
    char idNumber[36] = {};
    char authority[256] = {};
    char validity[36] = {};
    char validUntil[36] = {};
    const int result = VRK_IDCard_Read(name, sex, ethnicGroup, birthDate, birthPlace, idNumber,
                                       authority, validity, validUntil, error);
    if (result != 0) {
        // Left unflushed and unseparated on purpose: scripts that watch the
        // tool's output read successive codes run together. C stdio rather
        // than iostream, whose start-up costs the tool 0.4 MiB of memory.
        std::printf("%d", result);
        return showError(text(error));
    }
    showNotice(QString::asprintf(
        "姓 名 :%s\n 性别:%s\n 民族:%s\n生日: %s\n 出生地:%s\n 身份证号: %s\n"
        " 签发机关:%s\n 有效期:%s\n 有效期止 :%s\n错误信息 :%s",
        utf8(name).constData(), utf8(sex).constData(), utf8(ethnicGroup).constData(),
        utf8(birthDate).constData(), utf8(birthPlace).constData(),
        utf8(idNumber).constData(), utf8(authority).constData(),
        utf8(validity).constData(), utf8(validUntil).constData(), utf8(error).constData()));
}

void Widget::on_pushButton_7_clicked()
{
    char error[1024] = {};
    char cardNumber[36] = {};
    if (VRK_ICBankCard_ReadNO(cardNumber, error) != 0)
        return showError(text(error));
    showNotice(QString::asprintf("银行卡号 :%s\n 错误信息 :%s",
                                 utf8(cardNumber).constData(), utf8(error).constData()));
}

void Widget::on_pushButton_15_clicked()
{
    char error[1024] = {};
    char cardNumber[1024] = {};
    if (VRK_MagicBankCard_ReadNo(10, cardNumber, error) != 0)
        return showError(text(error));
    showNotice(QString::asprintf("银行卡号:%s\n  错误信息 :%s",
                                 utf8(cardNumber).constData(), utf8(error).constData()));
}

int Widget::scannerMilliseconds() const
{
    // Text that is not a whole number gives 0. The product is clamped because
    // beyond about 24 days it no longer fits the library's int argument.
    const qint64 milliseconds = qint64(ui->lineEdit->text().toInt(nullptr, 10)) * 1000;
    return int(qBound(qint64(std::numeric_limits<int>::min()), milliseconds,
                      qint64(std::numeric_limits<int>::max())));
}

void Widget::on_pushButton_8_clicked()
{
    char error[1024] = {};
    if (VRK_ECard_SetAutoRead(1, error) != 0)
        return showError(text(error));
    showNotice(QStringLiteral("设置自动扫码成功"));
}

void Widget::on_pushButton_9_clicked()
{
    char error[1024] = {};
    if (VRK_ECard_SetAutoRead(0, error) != 0)
        return showError(text(error));
    showNotice(QStringLiteral("设置手动扫码成功"));
}

void Widget::on_pushButton_10_clicked()
{
    char error[1024] = {};
    char scan[1024] = {};
    int output = 0;
    if (VRK_ECard_Read(&output, scan, scannerMilliseconds(), error) != 0)
        return showError(text(error));
    showNotice(QString::asprintf("扫码信息:%s", utf8(scan).constData()));
}

void Widget::on_pushButton_11_clicked()
{
    char error[1024] = {};
    const int result = VRK_ECard_AutoReadTime(scannerMilliseconds(), error);
    if (result != 0)
        return showError(QString::number(result));
    showNotice(QStringLiteral("设置自动扫码间隔成功"));
}

void Widget::on_pushButton_14_clicked()
{
    char error[1024] = {};
    char track1[1024] = {};
    char track2[1024] = {};
    char track3[1024] = {};
    char track4[1024] = {};
    if (VRK_MagCardRead(10, track1, track2, track3, track4, error) != 0)
        return showError(text(error));
    showNotice(QString::asprintf("二磁道信息:%s\n  三磁道信息:%s\n错误信息 :%s",
                                 utf8(track1).constData(), utf8(track3).constData(),
                                 utf8(error).constData()));
}

void Widget::on_pushButton_13_clicked()
{
    char error[1024] = {};
    int output = 0;
    char key[1024] = {};
    if (VRK_KeyBoard_InputKey(20, int(sizeof key), key, &output, error) != 0)
        return showError(text(error));
    showNotice(QString::asprintf("信息:%s\n 错误信息 :%s",
                                 utf8(key).constData(), utf8(error).constData()));
}
