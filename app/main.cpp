#include "standarddescriptors.h"
#include "widget.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    holdStandardDescriptors();
    QApplication a(argc, argv);
    Widget w;
    w.show();
    return a.exec();
}
