// The true floor for the tool's start-up: the same window, its 27 widgets
// with the same geometry, texts, items, cursors and style sheets, made by
// plain Qt code in main(), with no form file and no window class. What the
// tool costs beyond this is what its own code costs.
#include "firstframe.h"

#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>

namespace {

const char panelStyle[] =
    "QGroupBox {\n    border-width:1px;   \n   border-style:solid;\n  border-color:lightGray;  \n"
    "  margin-top: 0.5ex; \n}\nQGroupBox::title {\n     subcontrol-origin: margin;\n"
    "     subcontrol-position: top left;\n   left:25px;       \n     margin-left: 0px;\n"
    "     padding:0 1px;  \n}";

QGroupBox *panel(QWidget *parent, const char *title, int x, int y, int width, int height)
{
    QGroupBox *box = new QGroupBox(QString::fromUtf8(title), parent);
    box->setGeometry(x, y, width, height);
    box->setStyleSheet(QString::fromLatin1(panelStyle));
    return box;
}

void button(QWidget *parent, const char *text, int x, int y, int width)
{
    (new QPushButton(QString::fromUtf8(text), parent))->setGeometry(x, y, width, 31);
}

void label(QWidget *parent, const char *text, int x, int y, int width, int height)
{
    (new QLabel(QString::fromUtf8(text), parent))->setGeometry(x, y, width, height);
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication a(argc, argv);
    QWidget w;
    w.resize(634, 567);
    w.setCursor(Qt::PointingHandCursor);
    w.setWindowTitle("Widget");

    label(&w, "地区:", 50, 20, 51, 31);
    QComboBox *region = new QComboBox(&w);
    region->setGeometry(100, 20, 131, 33);
    region->setCursor(Qt::ArrowCursor);
    region->addItems({QString::fromUtf8("3500--省直"), QString::fromUtf8("3501--福州"),
                      QString::fromUtf8("3502--厦门"), QString::fromUtf8("3503--莆田"),
                      QString::fromUtf8("3504--三明"), QString::fromUtf8("3505--泉州"),
                      QString::fromUtf8("3506--漳州"), QString::fromUtf8("3507--南平"),
                      QString::fromUtf8("3508--龙岩"), QString::fromUtf8("3509--宁德")});
    button(&w, "打开设备", 510, 20, 91);

    QGroupBox *card = panel(&w, "社保卡", 30, 70, 291, 131);
    button(card, "读取卡号", 30, 30, 99);
    button(card, "基本信息", 170, 30, 99);
    button(card, "读取卡识别码", 30, 80, 99);
    button(card, "读取地区编码", 170, 80, 99);

    button(panel(&w, "身份证", 350, 70, 251, 91), "读身份证", 70, 30, 111);

    QGroupBox *bank = panel(&w, "银行卡读卡", 350, 180, 251, 141);
    button(bank, "读取芯片卡号", 70, 40, 99);
    button(bank, "读取磁条卡号", 70, 90, 99);

    QGroupBox *scanner = panel(&w, "扫码模块", 30, 220, 291, 171);
    button(scanner, "设置自动扫码", 30, 30, 99);
    button(scanner, "设置手动扫码", 170, 30, 99);
    button(scanner, "手动扫码(s)", 30, 80, 99);
    label(scanner, "时间:", 160, 80, 41, 31);
    (new QLineEdit(QStringLiteral("2"), scanner))->setGeometry(200, 80, 71, 31);
    button(scanner, "设置自动扫码间隔时间(s)", 30, 130, 231);

    label(&w, "终端调试组发布 · 仅供读卡终端调试使用", 30, 530, 311, 23);
    label(&w, "设备类型:", 250, 20, 68, 31);
    QComboBox *device = new QComboBox(&w);
    device->setGeometry(320, 20, 131, 33);
    device->setFocusPolicy(Qt::TabFocus);
    device->addItems({QStringLiteral("21--TQ-880"), QStringLiteral("19--TQ-660")});

    button(panel(&w, "磁条卡读卡", 30, 410, 291, 101), "读取磁条卡(10s超时)", 80, 40, 141);
    button(panel(&w, "密码键盘", 350, 340, 251, 121), "输入密码(20s超时)", 70, 50, 131);

    ExitAfterFirstFrame exit;
    w.installEventFilter(&exit);
    w.show();
    return a.exec();
}
