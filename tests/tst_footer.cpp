#include "widgetfixture.h"

#include <QLabel>
#include <QtTest>

// The footer says, while the simulated reader answers, that no terminal is
// being checked; this suite's reader double carries the simulated reader's
// mark, tst_form's does not.
class tst_Footer : public WidgetFixture
{
    Q_OBJECT

private slots:
    void saysNoTerminalIsChecked()
    {
        const auto *footer = qobject_cast<QLabel *>(child("label_3"));
        QVERIFY(footer);
        QCOMPARE(footer->text(), QStringLiteral("模拟读卡器 · 未检查终端"));
    }
};

QTEST_MAIN(tst_Footer)
#include "tst_footer.moc"
