// The input box on a real X server, driven by real X keystrokes and clicks
// from xdotool: what X11 delivers differs from synthesised events.
#include "convqvr.h"

#include <conversion/convert.h>

#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QTest>

using namespace Qt::StringLiterals;

class InputOnXTest : public QObject
{
    Q_OBJECT

    Convqvr *form = nullptr;
    QLineEdit *nhc = nullptr;
    QLabel *qvr = nullptr;

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

    void clickInBox(int button)
    {
        const QPoint at = nhc->mapToGlobal(QPoint(20, nhc->height() / 2));
        xdotool({u"mousemove"_s, QString::number(at.x()), QString::number(at.y()), u"click"_s,
            QString::number(button)});
    }

    // X events arrive asynchronously; wait for the box, then check the result.
    void expect(const QString &text)
    {
        QTRY_COMPARE_WITH_TIMEOUT(nhc->text(), text, 5000);
        QCOMPARE(
            qvr->text(), QString::fromStdU32String(conversion::convert(text.toStdU32String())));
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
        form = new Convqvr;
        form->show();
        form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form));
        nhc = form->findChild<QLineEdit *>(u"nhc"_s);
        qvr = form->findChild<QLabel *>(u"qvr"_s);
        QTRY_COMPARE(QApplication::focusWidget(), nhc);
    }

    void cleanup() { delete form; }

    void typingDigits()
    {
        type(u"4212"_s);
        expect(u"4212"_s);
        QCOMPARE(qvr->text(), u"04.42.12.."_s);
        type(u"3456"_s);
        expect(u"42123456"_s);
        QCOMPARE(qvr->text(), u"04.42.12.34.56"_s);
    }

    void lettersAndOtherKeysAreDiscarded()
    {
        type(u"4512"_s);
        expect(u"4512"_s);
        for (const QString &keys : {u"a"_s, u"space"_s, u"period"_s, u"Return"_s, u"Escape"_s,
                 u"eacute"_s, u"ctrl+k"_s, u"ctrl+u"_s, u"KP_Decimal"_s})
            expectUnchangedAfter(keys);
        QCOMPARE(qvr->text(), u"05.45.12.."_s);
    }

    void limitBackspaceAndDelete()
    {
        type(u"421234567"_s);
        expect(u"42123456"_s);
        key(u"BackSpace"_s);
        expect(u"4212345"_s);
        type(u"9"_s);
        expect(u"42123459"_s);
        // Delete, which X11 sends with the text "\x7f", deletes, in a full box too.
        key(u"Home Delete"_s);
        expect(u"2123459"_s);
        key(u"Right Right Delete"_s);
        expect(u"213459"_s);
    }

    void keypadDigits()
    {
        // xdotool reaches the keypad digits with NumLock's level.
        key(u"KP_4 KP_2 KP_1 KP_2"_s);
        expect(u"4212"_s);
        QCOMPARE(qvr->text(), u"04.42.12.."_s);
    }

    void pasteWithTheShortcut()
    {
        QGuiApplication::clipboard()->setText(u"16145678901"_s);
        key(u"ctrl+v"_s);
        expect(u"16145678901"_s);
        QCOMPARE(qvr->text(), u"01.45.67.89.01"_s);
        key(u"3 BackSpace"_s);
        expect(u"1614567890"_s);
    }

    void clickEmptiesTheBox()
    {
        type(u"42123456"_s);
        expect(u"42123456"_s);
        clickInBox(1);
        expect(QString());
        QCOMPARE(qvr->text(), QString());
        type(u"05123456"_s);
        expect(u"05123456"_s);
        QCOMPARE(qvr->text(), u"0800.12.34.56."_s);
    }
};

QTEST_MAIN(InputOnXTest)
#include "input_x_test.moc"
