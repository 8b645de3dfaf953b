// Latency of one keystroke, from the key event reaching the box to the result
// label painted with its new text; and the cost of a large paste.
#include "convqvr.h"
#include "files.h"

#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <random>
#include <vector>

namespace {

// Notes when the result label paints.
class PaintWatch : public QObject
{
public:
    bool painted = false;
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            painted = true;
        return false;
    }
};

double percentile(std::vector<double> values, double p)
{
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, std::size_t(p * double(values.size())))];
}

// Runs `action`, then the event loop until the result is on screen; in ms.
template <typename Action> double timeUntilPainted(QLabel *qvr, PaintWatch &watch, Action action)
{
    QElapsedTimer timer;
    watch.painted = false;
    timer.start();
    action();
    while (!watch.painted && timer.elapsed() < 2000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    return watch.painted ? ms : -1;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    Convqvr form;
    form.show();
    form.activateWindow();
    auto *nhc = form.findChild<QLineEdit *>(QStringLiteral("nhc"));
    auto *qvr = form.findChild<QLabel *>(QStringLiteral("qvr"));
    PaintWatch watch;
    qvr->installEventFilter(&watch);
    for (int i = 0; i < 20; ++i)
        QCoreApplication::processEvents();

    // A typing session: digits until the box is full, then Backspaces back
    // to empty, so that every keystroke changes the result.
    std::mt19937 random(1);
    int typed = 0;
    const auto typing = [&](std::size_t count, const std::function<bool()> &going) {
        std::vector<double> latencies;
        while (latencies.size() < count && going()) {
            const bool erase = typed == 8 || (typed > 0 && random() % 4 == 0);
            const int key = erase ? int(Qt::Key_Backspace) : int(Qt::Key_0) + int(random() % 10);
            const QString text = erase ? QStringLiteral("\b") : QString(QChar(key));
            const double ms = timeUntilPainted(qvr, watch, [&] {
                QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
                QCoreApplication::sendEvent(nhc, &press);
                QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
                QCoreApplication::sendEvent(nhc, &release);
            });
            // The one keystroke as the conversion ends waits for its dialog.
            if (ms < 0 && !going())
                break;
            if (ms < 0) {
                std::fprintf(stderr, "the result was not painted\n");
                std::exit(1);
            }
            latencies.push_back(ms);
            typed += erase ? -1 : 1;
        }
        return latencies;
    };
    const std::vector<double> latencies = typing(1000, [] { return true; });
    std::printf(
        "keystroke to painted result over %zu keystrokes: p50 %.3f ms, p99 %.3f ms, max %.3f ms\n",
        latencies.size(), percentile(latencies, 0.5), percentile(latencies, 0.99),
        percentile(latencies, 1.0));
    std::printf("row: keystroke to painted result | p50 %.3f ms, p99 %.3f ms | p99 under 1 ms\n",
        percentile(latencies, 0.5), percentile(latencies, 0.99));

    // A large paste: 40,000 digits and other characters (the box has no limit
    // of its own), once grouped (leading 42) and once shown whole (leading 36).
    for (const char *lead : {"42", "36"}) {
        QString pasted = QString::fromLatin1(lead);
        const QString filler = QStringLiteral("0123456789 abc.é");
        while (pasted.size() < 40000)
            pasted += filler.at(pasted.size() % filler.size());
        QGuiApplication::clipboard()->setText(pasted);
        std::vector<double> shown, nextKey, emptied;
        for (int round = 0; round < 15; ++round) {
            nhc->clear();
            QCoreApplication::processEvents();
            shown.push_back(timeUntilPainted(qvr, watch, [&] { nhc->paste(); }));
            // Still responsive: the next keystroke (discarded, the box holds
            // more than 8 characters) is handled at once, and a click empties it.
            QElapsedTimer next;
            next.start();
            QKeyEvent press(QEvent::KeyPress, Qt::Key_5, Qt::NoModifier, QStringLiteral("5"));
            QCoreApplication::sendEvent(nhc, &press);
            QCoreApplication::processEvents();
            nextKey.push_back(double(next.nsecsElapsed()) / 1e6);
            emptied.push_back(timeUntilPainted(qvr, watch, [&] { nhc->clear(); }));
        }
        std::printf("paste of %lld characters starting %s, 15 times: shown in %.2f ms median, "
                    "%.2f ms max; next key %.3f ms; emptying %.2f ms\n",
            static_cast<long long>(pasted.size()), lead, percentile(shown, 0.5),
            percentile(shown, 1.0), percentile(nextKey, 0.5), percentile(emptied, 0.5));
        std::printf("row: paste of %lld characters, leading %s | %.2f ms median, %.2f ms max; next "
                    "key %.3f ms | under 20 ms\n",
            static_cast<long long>(pasted.size()), lead, percentile(shown, 0.5),
            percentile(shown, 1.0), percentile(nextKey, 0.5));
    }

    // Typing while a 100 MB CSV converts off the window's thread; the
    // dialogs are answered as a user would: the proposed name, then OK.
    QTemporaryDir scratch;
    const QString path = scratch.filePath(QStringLiteral("annuaire.csv"));
    {
        QFile csv(path);
        if (!csv.open(QIODevice::WriteOnly))
            return 1;
        const QByteArray block
            = QByteArray("Dupont;Jean;42 12 34 56;(1) 45.67.89.01\n").repeated(1 << 14);
        csv.write("Nom;Prénom;Téléphone;Mobile\n");
        while (csv.size() < 100 << 20)
            csv.write(block);
    }
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [] {
        if (auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget()))
            dialog->accept();
    });
    answer.start(5);
    QString said;
    QObject::connect(form.findChild<FileConversions *>(), &FileConversions::told,
        [&said](const QString &text) { said = text; });
    nhc->clear(); // as the pastes left it
    typed = 0;
    QElapsedTimer whole;
    whole.start();
    form.convertFiles({path});
    const QString title = form.windowTitle();
    const auto converting = [&] { return form.windowTitle().contains(QStringLiteral(" %")); };
    while (!converting() && whole.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    const std::vector<double> during = typing(100000, converting);
    while (said.isEmpty())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    std::printf("keystroke to painted result while a 100 MB CSV converts (%.1f s), over %zu "
                "keystrokes: p50 %.3f ms, p99 %.3f ms, max %.3f ms\n%s\n",
        double(whole.elapsed()) / 1000, during.size(), percentile(during, 0.5),
        percentile(during, 0.99), percentile(during, 1.0), qPrintable(said));
    std::printf("row: keystroke while 100 MB convert | p50 %.3f ms, p99 %.3f ms | p99 under 1 ms\n",
        percentile(during, 0.5), percentile(during, 0.99));
    return 0;
}
