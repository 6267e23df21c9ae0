// Press to box: from a click on "读取卡号" to the information box's first
// painted frame, against a bare QMessageBox::information opened from a bare
// button's slot. The simulated reader answers at once. Prints the median of
// each side in microseconds.
#include "vrkreaderclient.h"
#include "widget.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

// Notes when a message box paints its first frame, then closes it.
class BoxWatch : public QObject
{
public:
    QElapsedTimer clock;
    qint64 shownAfterNs = -1;

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        auto *box = qobject_cast<QMessageBox *>(watched);
        if (box && event->type() == QEvent::Paint && shownAfterNs < 0) {
            shownAfterNs = clock.nsecsElapsed();
            QTimer::singleShot(0, box, [box] { box->done(QMessageBox::Ok); });
        }
        return false;
    }
};

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(10, std::atoi(argv[1])) : 31;

    char error[1024] = {};
    char region[10] = "3500";
    VRK_OpenDev(21, region, error);

    Widget tool;
    tool.show();
    auto *readCardNumber = tool.findChild<QAbstractButton *>("pushButton_2");

    QWidget bare;
    QPushButton bareButton(QStringLiteral("读取卡号"), &bare);
    QObject::connect(&bareButton, &QPushButton::clicked, &bare, [&bare] {
        QMessageBox::information(&bare, QStringLiteral("提示信息"),
                                 QStringLiteral("卡  号 :SIM350000001\n 错误信息 :"));
    });
    bare.show();

    BoxWatch watch;
    app.installEventFilter(&watch);
    const auto press = [&watch](QAbstractButton *button) {
        watch.shownAfterNs = -1;
        watch.clock.start();
        button->click();
        return watch.shownAfterNs / 1000.0;
    };

    std::vector<double> toolTimes, bareTimes;
    for (int i = 0; i < 3; ++i) {
        press(readCardNumber);
        press(&bareButton);
    }
    for (int i = 0; i < rounds; ++i) {
        toolTimes.push_back(press(readCardNumber));
        bareTimes.push_back(press(&bareButton));
    }
    std::printf("%.1f %.1f\n", median(toolTimes), median(bareTimes));
    return 0;
}
