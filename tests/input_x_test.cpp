// The input box on a real X server under real X keystrokes from xdotool, for
// what X11 delivers unlike synthesised events: the keys that type nothing the
// box takes, and the keypad. The user's whole session is played on the real
// program by the end-to-end drivers.
#include "shown_form.h"

#include <QProcess>

using namespace Qt::StringLiterals;

class InputOnXTest : public QObject, ShownForm
{
    Q_OBJECT

    static void xdotool(const QStringList &arguments)
    {
        QProcess process;
        process.start(u"xdotool"_s, arguments);
        QVERIFY(process.waitForFinished(10000));
        QCOMPARE(process.exitCode(), 0);
    }

    void type(const QString &text) { xdotool({u"type"_s, u"--delay"_s, u"20"_s, text}); }
    void key(const QString &keys)
    {
        xdotool(QStringList{u"key"_s, u"--delay"_s, u"20"_s} + keys.split(u' '));
    }

    // X events arrive asynchronously; wait for the box, then check the result.
    void expect(const QString &text)
    {
        QTRY_COMPARE_WITH_TIMEOUT(nhc->text(), text, 5000);
        QCOMPARE(qvr->text(), converted(text));
    }

    // A discarded key leaves no trace: once a later key shows, nothing else did.
    void expectUnchangedAfter(const QString &keys)
    {
        const QString before = nhc->text();
        key(keys);
        key(u"End"_s);
        key(u"BackSpace"_s);
        expect(before.chopped(1));
        type(before.right(1));
        expect(before);
    }

private slots:
    void init()
    {
        QVERIFY(open());
        QTRY_COMPARE(QApplication::focusWidget(), nhc);
    }

    void cleanup() { form.reset(); }

    void lettersAndOtherKeysAreDiscarded()
    {
        type(u"4512"_s);
        expect(u"4512"_s);
        for (const QString &keys : {u"a"_s, u"space"_s, u"period"_s, u"Return"_s, u"Escape"_s,
                 u"eacute"_s, u"ctrl+k"_s, u"ctrl+u"_s, u"KP_Decimal"_s})
            expectUnchangedAfter(keys);
        QCOMPARE(qvr->text(), u"05.45.12.."_s);
    }

    void keypadDigits()
    {
        // xdotool reaches the keypad digits with NumLock's level.
        key(u"KP_4 KP_2 KP_1 KP_2"_s);
        expect(u"4212"_s);
        QCOMPARE(qvr->text(), u"04.42.12.."_s);
    }
};

QTEST_MAIN(InputOnXTest)
#include "input_x_test.moc"
