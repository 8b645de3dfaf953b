// Random events on the real window: whatever happens, the result always
// matches the box, and typing alone never puts more than eight digits in it.
#include "shown_form.h"

#include <QClipboard>
#include <QDialog>
#include <QTimer>

#include <array>
#include <random>

using namespace Qt::StringLiterals;

namespace {

QString escaped(const QString &text)
{
    return QString::fromLatin1(text.toUtf8().toPercentEncoding(" .+-"));
}

bool onlyTypedDigits(const QString &text)
{
    return text.size() <= 8
        && std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

} // namespace

class SoakTest : public QObject
{
    Q_OBJECT

private slots:
    void randomEvents()
    {
        // A fixed start for the random stream, printed so that a failure can
        // be replayed; SOAK_START and SOAK_EVENTS choose others.
        const auto setting = [](const char *name, int fallback) {
            return qEnvironmentVariableIsSet(name) ? qEnvironmentVariableIntValue(name) : fallback;
        };
        const int start = setting("SOAK_START", 20261208);
        const int events = setting("SOAK_EVENTS", 20000);
        qInfo("soak: %d random events, random stream start %d", events, start);
        std::mt19937 random(static_cast<unsigned>(start));
        const auto pick = [&random](std::size_t n) { return std::size_t(random() % n); };

        ShownForm shown;
        QVERIFY(shown.open());
        // Ctrl+O asks for a file: the dialog is cancelled, as by a user who
        // changed their mind.
        QTimer cancel;
        connect(&cancel, &QTimer::timeout, [] {
            if (auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget()))
                dialog->reject();
        });
        cancel.start(10);
        QLineEdit *nhc = shown.nhc;
        QLabel *qvr = shown.qvr;

        const QStringList pasteAlphabet = u"0 1 2 3 4 5 6 7 8 9 a b c . - + é 😀 \t"_s.split(u' ');
        const std::array editingKeys{Qt::Key_Backspace, Qt::Key_Delete, Qt::Key_Left, Qt::Key_Right,
            Qt::Key_Home, Qt::Key_End};
        const std::array clicks{Qt::LeftButton, Qt::RightButton, Qt::MiddleButton};
        const std::array otherKeys{Qt::Key_Return, Qt::Key_Escape, Qt::Key_Space};
        // Whether anything was pasted since the last emptying click, which
        // also clears the undo history.
        bool pasted = false;
        QStringList recent;

        for (int i = 0; i < events; ++i) {
            QString what;
            switch (pick(12)) {
            case 0:
            case 1:
            case 2: { // a digit, on the main keys or the keypad
                const int digit = int(pick(10));
                QTest::keyClick(
                    nhc, Qt::Key(Qt::Key_0 + digit), pick(4) ? Qt::NoModifier : Qt::KeypadModifier);
                what = u"digit %1"_s.arg(digit);
                break;
            }
            case 3: { // a letter, or Ctrl and a letter as X11 sends it
                const int letter = int(pick(26));
                const bool control = pick(2);
                const QChar text = control ? QChar(letter + 1) : QChar(u'a' + letter);
                QKeyEvent press(QEvent::KeyPress, Qt::Key_A + letter,
                    control ? Qt::ControlModifier : Qt::NoModifier, QString(text));
                QCoreApplication::sendEvent(nhc, &press);
                what = (control ? u"Ctrl+"_s : QString()) + QChar(u'A' + letter);
                // Ctrl+V pastes; Ctrl+Z and Ctrl+Y can bring a paste back.
                pasted = pasted || (control && QStringView(u"VZY").contains(QChar(u'A' + letter)));
                break;
            }
            case 4:
            case 5: { // an editing key, with Shift to select at times
                const Qt::Key key = editingKeys[pick(editingKeys.size())];
                const bool shift = !pick(3);
                QTest::keyClick(nhc, key, shift ? Qt::ShiftModifier : Qt::NoModifier);
                what = u"key %1%2"_s.arg(shift ? u"Shift+"_s : QString()).arg(int(key), 0, 16);
                break;
            }
            case 6: { // a click: the left button empties the box, the others must not
                const Qt::MouseButton button = clicks[pick(clicks.size())];
                QTest::mouseClick(nhc, button, {}, QPoint(2 + int(pick(70)), 2 + int(pick(20))));
                if (button == Qt::LeftButton) {
                    QCOMPARE(nhc->text(), QString());
                    pasted = false;
                }
                what = u"click %1"_s.arg(int(button));
                break;
            }
            case 7: { // a paste of a random text, now and then a long one
                QString text;
                for (std::size_t n = pick(pick(8) ? 14 : 200); n > 0; --n)
                    text += pasteAlphabet[qsizetype(pick(std::size_t(pasteAlphabet.size())))];
                QGuiApplication::clipboard()->setText(text);
                nhc->paste();
                pasted = true;
                what = u"paste ["_s + escaped(text) + u']';
                break;
            }
            case 8: {
                const bool undo = pick(2);
                QTest::keySequence(nhc, undo ? QKeySequence::Undo : QKeySequence::Redo);
                what = undo ? u"undo"_s : u"redo"_s;
                break;
            }
            case 9: {
                const Qt::Key key = otherKeys[pick(otherKeys.size())];
                QTest::keyClick(nhc, key);
                what = u"key %1"_s.arg(int(key), 0, 16);
                break;
            }
            case 10: // select all, then type over it
                nhc->selectAll();
                QTest::keyClick(nhc, Qt::Key(Qt::Key_0 + int(pick(10))));
                what = u"select all, digit"_s;
                break;
            default: {
                const bool cut = pick(2);
                QTest::keySequence(nhc, cut ? QKeySequence::Cut : QKeySequence::Copy);
                what = cut ? u"cut"_s : u"copy"_s;
                break;
            }
            }

            const QString text = nhc->text();
            recent.append(QString::number(i) + u' ' + what + u" -> ["_s + escaped(text)
                + u"] cursor "_s + QString::number(nhc->cursorPosition()));
            if (recent.size() > 30)
                recent.removeFirst();
            const QString expected = converted(text);
            const bool resultMatches = qvr->text() == expected;
            const bool typedOnly = pasted || onlyTypedDigits(text);
            if (!resultMatches || !typedOnly)
                qInfo("the last events:\n%s", qPrintable(recent.join(u'\n')));
            QVERIFY2(resultMatches, qPrintable(u"result ["_s + escaped(qvr->text()) + u']'));
            QVERIFY2(
                typedOnly, "typing alone put something other than up to eight digits in the box");
        }
    }
};

QTEST_MAIN(SoakTest)
#include "soak_test.moc"
