#include "session/terminal.h"

#include <QtTest>

// The terminal's identity as its system states it, read from folders laid
// out as the systems of a PC-like board, an ARM board and a bare container.
class tst_Terminal : public QObject
{
    Q_OBJECT

private slots:
    void identityFromItsSystem_data();
    void identityFromItsSystem();
};

typedef QMap<QString, QByteArray> Files;

void tst_Terminal::identityFromItsSystem_data()
{
    QTest::addColumn<Files>("files");
    QTest::addColumn<QStringList>("expected");  // machine id, model, serial, OS

    QTest::newRow("DMI, the product's before the board's, a blank one passed over")
        << Files{{"etc/machine-id", "4f2c9a0e51d64b8e9c3a7b1d2e6f8a90\n"},
                 {"sys/class/dmi/id/product_name", " \n"},
                 {"sys/class/dmi/id/board_name", "MB-12\n"},
                 {"sys/class/dmi/id/product_serial", "PS-0042\n"},
                 {"sys/class/dmi/id/board_serial", "BS-0042\n"},
                 {"proc/device-tree/model", "ignored"},
                 {"etc/os-release", "NAME=Debian\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n"}}
        << QStringList{"4f2c9a0e51d64b8e9c3a7b1d2e6f8a90", "MB-12", "PS-0042",
                       "Debian GNU/Linux 12 (bookworm)"};
    QTest::newRow("device tree only, its texts ending with a NUL")
        << Files{{"proc/device-tree/model", QByteArray("Rockchip RK3399 Terminal\0", 25)},
                 {"proc/device-tree/serial-number", QByteArray("c3d9b8674f4b94f6\0junk", 21)},
                 {"usr/lib/os-release", "PRETTY_NAME='Armbian 23.8 \\bookworm'\n"}}
        << QStringList{"", "Rockchip RK3399 Terminal", "c3d9b8674f4b94f6",
                       "Armbian 23.8 \\\\bookworm"};
    QTest::newRow("nothing at all") << Files{} << QStringList{"", "", "", ""};
    QTest::newRow("a model that would drive the screen, and one past the bound")
        << Files{{"proc/device-tree/model", "Board\x1b]2;pwned\x07"},
                 {"etc/machine-id", QByteArray(8192, 'f')},
                 {"etc/os-release", "PRETTY_NAME=\"Escaped \\\"quote\\\" \\$HOME\""}}
        << QStringList{QString(4096, 'f'), "Board\\x1b]2;pwned\\x07", "",
                       "Escaped \\\"quote\\\" $HOME"};
}

void tst_Terminal::identityFromItsSystem()
{
    QFETCH(Files, files);
    QFETCH(QStringList, expected);

    QTemporaryDir root;
    for (auto file = files.begin(); file != files.end(); ++file) {
        const QString path = root.path() + '/' + file.key();
        QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
        QFile out(path);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(file.value());
    }

    const TerminalIdentity terminal = readTerminalIdentity(root.path());
    QCOMPARE((QStringList{terminal.machineId, terminal.boardModel, terminal.boardSerial,
                          terminal.osRelease}),
             expected);
    QCOMPARE(terminal.host, QSysInfo::machineHostName());
    QVERIFY(!terminal.kernel.isEmpty());
    QVERIFY(!terminal.packageVersion.isEmpty());

    const QJsonObject json = terminalJson(terminal);
    QCOMPARE(json.keys(), (QStringList{"board_model", "board_serial", "host", "kernel",
                                       "machine_id", "os_release", "package_version"}));
    QCOMPARE(json.value("board_model").toString(), terminal.boardModel);
    const QString shown = describeTerminal(terminal);
    QCOMPARE(shown.count('\n'), 7);
    QVERIFY2(shown.contains("board model: " + (terminal.boardModel.isEmpty()
                                                   ? QString("not stated")
                                                   : terminal.boardModel)),
             qPrintable(shown));
}

QTEST_MAIN(tst_Terminal)
#include "tst_terminal.moc"
