// A reference for the tool's start-up: a bare window of the same size with one
// label holding every text that the tool's window shows, so that the same
// fonts load and the same glyphs are drawn.
#include "firstframe.h"

#include <QApplication>
#include <QLabel>
#include <QWidget>

int main(int argc, char *argv[])
{
    QApplication a(argc, argv);
    QWidget w;
    w.resize(634, 567);
    w.setWindowTitle("Widget");
    QLabel label(QStringLiteral(
                     "地区: 3500--省直 设备类型: 21--TQ-880 打开设备\n"
                     "社保卡 读取卡号 基本信息 读取卡识别码 读取地区编码\n"
                     "身份证 读身份证 银行卡读卡 读取芯片卡号 读取磁条卡号\n"
                     "扫码模块 设置自动扫码 设置手动扫码 手动扫码(s) 时间: 2\n"
                     "设置自动扫码间隔时间(s) 磁条卡读卡 读取磁条卡(10s超时)\n"
                     "密码键盘 输入密码(20s超时)\n"
                     "终端调试组发布 · 仅供读卡终端调试使用"),
                 &w);
    label.setGeometry(30, 70, 580, 300);
    ExitAfterFirstFrame exit;
    w.installEventFilter(&exit);
    w.show();
    return a.exec();
}
