// A firmware upload through the wizard against the simulated boot loader paced at 9600
// baud: how far the upload's time stays above what the wire and the exchange's own fixed
// pause need (the bytes both ways at ten bits each, plus the 2 s after "P").
//
//   QT_QPA_PLATFORM=offscreen build/bench/firmware_bench [image kilobytes, default 64]
#include "link/ModuleState.h"
#include "link/Serial.h"
#include "support/FakeControlWindows.h"
#include "support/RecordingPrompts.h"
#include "support/SimulatorThread.h"
#include "tools/frmFlash.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <cstdio>

namespace {

constexpr int Baud = 9600;
constexpr int DataBytes = 16; // per record

// One S-record of `type` with a 3-byte address (S2) or 2-byte address (S0, S8 as given).
QString record(char type, const QByteArray &addressAndData)
{
    const int count = int(addressAndData.size()) + 1;
    int sum = count;
    for (char b : addressAndData)
        sum += uint8_t(b);
    QByteArray bytes = addressAndData;
    bytes.append(char(~sum & 0xFF));
    return QStringLiteral("S%1%2%3")
        .arg(QLatin1Char(type))
        .arg(count, 2, 16, QLatin1Char('0'))
        .arg(QString::fromLatin1(bytes.toHex()))
        .toUpper();
}

QStringList image(int kilobytes)
{
    QStringList lines{record('0', QByteArray("\0\0VKM", 5))};
    for (int address = 0; address < kilobytes * 1024; address += DataBytes) {
        QByteArray bytes;
        bytes.append(char(address >> 16)).append(char(address >> 8)).append(char(address));
        for (int i = 0; i < DataBytes; ++i)
            bytes.append(char((address + i) * 7));
        lines << record('2', bytes);
    }
    lines << record('8', QByteArray(3, '\0'));
    return lines;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const int kilobytes = argc > 1 ? std::max(1, atoi(argv[1])) : 64;
    QTemporaryDir dir;
    qputenv("VKM_HOME", dir.path().toLocal8Bit());

    SimulatorThread sim;
    sim.run([](ControllerSimulator &s) {
        s.setBootLoader(ControllerSimulator::BootLoader{});
        s.setLinePacing(Baud);
    });
    qputenv("VKM_COM1", sim.devicePath().toLocal8Bit());
    RecordingPrompts prompts;
    FakeMainWindow main;
    main.parseFlashStatus();
    main.serial = std::make_shared<Serial>();
    main.serial->setConnected(true);

    const QStringList lines = image(kilobytes);
    const QString path = dir.filePath(QStringLiteral("ORVA.S19"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return 1;
    file.write((lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toLatin1());
    file.close();

    frmFlash wizard;
    wizard.show();
    wizard.cmdNext->click();
    wizard.txtFileName->setText(path);
    wizard.cmdNext->click();
    QElapsedTimer clock;
    clock.start();
    wizard.cmdNext->click(); // runs the whole upload
    const double seconds = clock.nsecsElapsed() / 1e9;
    if (wizard.CurrentStep != frmFlash::Succeeded) {
        std::fprintf(stderr, "upload failed with error %d\n", wizard.UploadErrorCode);
        return 1;
    }

    // The wire: handshake and erase with their ":x" answers, then every line but the last
    // with its "*" (the last line's is not awaited, and the line itself leaves as we return).
    qint64 bytes = 2 + 5 + 1 + 5;
    for (qsizetype i = 0; i + 1 < lines.size(); ++i)
        bytes += lines[i].size() + 1;
    const double wire = bytes * 10.0 / Baud;
    const double ideal = wire + 2.0;
    std::printf("%d KB image: %lld lines, %.1f KB of S-records (file %.1f KB)\n", kilobytes,
                static_cast<long long>(lines.size()), bytes / 1024.0, QFile(path).size() / 1024.0);
    std::printf("wire %.2f s + fixed pause 2.00 s = %.2f s; upload took %.2f s: ratio %.4f (%.2f %% above)\n",
                wire, ideal, seconds, seconds / ideal, (seconds / ideal - 1) * 100);
    main.serial->setConnected(false);
    return 0;
}
