// Typing while the page on screen saves itself (real Form1, offscreen): the
// time from a key press entering the event queue to the impressions box
// painted with the character. Bursts of keys follow pauses long enough for the
// page to be saved, and more keys are pressed while that save runs.
//
// bench_typing WORKBOOK BASE_DIR ROUNDS
// Prints one JSON object.
#include "Stats.h"
#include "main_window/Form1.h"
#include "main_window/Form1Controls.h"
#include "platform/AppInfo.h"
#include "platform/EntryBox.h"
#include "platform/Fonts.h"
#include "store/Diary.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

using bench::Clock;
using bench::percentile;

namespace {

// Notes when the box's viewport has finished painting.
class PaintClock : public QObject {
public:
    QElapsedTimer clock;
    qint64 paintedNs = -1;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::Paint)
            return false;
        watched->event(event);
        paintedNs = clock.nsecsElapsed();
        return true;
    }
};

} // namespace

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: bench_typing WORKBOOK BASE_DIR ROUNDS\n");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setStyle(QStringLiteral("Fusion"));
    Fonts::installSubstitutions();
    QTemporaryDir dir(QString::fromLocal8Bit(argv[2]) + QStringLiteral("/pravok-typing-XXXXXX"));
    const QString nikki = dir.filePath(QStringLiteral("nikki.xls"));
    if (!dir.isValid() || !QFile::copy(QString::fromLocal8Bit(argv[1]), nikki))
        return 1;
    QFile::setPermissions(nikki, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    AppInfo::setProgramFolderForTesting(dir.path());
    AppInfo::setTodayForTesting(QDate(2002, 5, 15));
    Form1 form;
    QString message;
    if (!form.Form_Load(&message))
        return 1;
    form.show();
    form.Form_Activate();
    EntryBox* box = controlsOf(&form).Text5;
    box->setFocus();
    PaintClock paints;
    paints.clock.start();
    box->viewport()->installEventFilter(&paints);

    std::vector<double> all, duringSave;
    int saves = 0;
    const auto press = [&](bool measure) {
        const qint64 sent = paints.clock.nsecsElapsed();
        paints.paintedNs = -1;
        const bool saving = form.diary().isWriting();
        QCoreApplication::postEvent(box, new QKeyEvent(QEvent::KeyPress, Qt::Key_A, {}, QStringLiteral("a")));
        QCoreApplication::postEvent(box, new QKeyEvent(QEvent::KeyRelease, Qt::Key_A, {}, QStringLiteral("a")));
        while (paints.paintedNs < 0)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        const double taken = double(paints.paintedNs - sent) / 1e6;
        if (measure)
            (saving ? duringSave : all).push_back(taken);
    };
    const int rounds = std::atoi(argv[3]);
    for (int round = 0; round < rounds; ++round) {
        for (int k = 0; k < 10; ++k) {
            press(round > 0);
            QTest::qWait(40);
        }
        // Idle until the page saves itself, then keep typing through the save.
        QElapsedTimer idle;
        idle.start();
        while (!form.diary().isWriting() && idle.elapsed() < 5000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        saves += form.diary().isWriting();
        while (form.diary().isWriting())
            press(round > 0), QTest::qWait(3);
    }
    all.insert(all.end(), duringSave.begin(), duringSave.end());
    std::printf("{\"records\": %d, \"keys\": %zu, \"during_save\": %zu, \"saves\": %d, \"p50\": %.3f, "
                "\"p99\": %.3f, \"max\": %.3f, \"save_p99\": %.3f}\n",
                form.diary().recordCount(), all.size(), duringSave.size(), saves, percentile(all, 50),
                percentile(all, 99), percentile(all, 100), percentile(duringSave, 99));
    return 0;
}
