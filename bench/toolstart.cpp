// The tool's start-up, built exactly as its main() builds it.
#include "firstframe.h"
#include "widget.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication a(argc, argv);
    Widget w;
    ExitAfterFirstFrame exit;
    w.installEventFilter(&exit);
    w.show();
    return a.exec();
}
