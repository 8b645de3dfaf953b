// The input box as a user drives it: what typing, editing, pasting and
// clicking do to the box and to the result under it.
#include "shown_form.h"

#include <QClipboard>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <optional>

using namespace Qt::StringLiterals;

namespace {

// Delivers a key press as X11 does, with the text X11 gives it.
void pressAsX11(QWidget *widget, Qt::Key key, Qt::KeyboardModifiers modifiers, const QString &text)
{
    QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
    QCoreApplication::sendEvent(widget, &press);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers, text);
    QCoreApplication::sendEvent(widget, &release);
}

} // namespace

class InputTest : public QObject, ShownForm
{
    Q_OBJECT

    // The result always matches the box, whatever happened last.
    void checkResultFollowsBox() { QCOMPARE(qvr->text(), converted(nhc->text())); }

    // Opens the box's context menu, as a right click does, and picks the
    // entry of the given shortcut, or none.
    void useContextMenu(std::optional<QKeySequence::StandardKey> entry, QPoint at = {10, 10})
    {
        bool done = false;
        auto *poll = new QTimer(this);
        connect(poll, &QTimer::timeout, this, [poll, entry, &done] {
            auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
            if (!menu)
                return;
            poll->deleteLater();
            const QString shortcut = entry
                ? u"\t"_s + QKeySequence(*entry).toString(QKeySequence::NativeText)
                : QString();
            for (QAction *action : menu->actions()) {
                if (entry && action->text().endsWith(shortcut)) {
                    QVERIFY(action->isEnabled());
                    action->trigger();
                }
            }
            menu->close();
            done = true;
        });
        poll->start(10);
        QContextMenuEvent request(QContextMenuEvent::Mouse, at, nhc->mapToGlobal(at));
        QCoreApplication::sendEvent(nhc, &request);
        QTRY_VERIFY(done);
    }

private slots:
    void init()
    {
        QVERIFY(open());
        QCOMPARE(QApplication::focusWidget(), nhc);
    }

    void cleanup()
    {
        form.reset();
        QGuiApplication::clipboard()->clear();
    }

    // The key filter's contract on its own: which codes pass with how many
    // characters already in the box.
    void keyFilterContract()
    {
        for (const QString &held :
            {QString(), u"4212345"_s, u"42123456"_s, u"16145678901"_s, u"4😀2"_s}) {
            nhc->setText(held);
            const bool full = held.toUcs4().size() > 7;
            for (int code = 0; code < 300; ++code) {
                int KeyAscii = code;
                form->nhc_KeyPress(KeyAscii);
                const bool digit = code >= '0' && code <= '9';
                const bool passes = code == 8 || (digit && !full);
                QVERIFY2(KeyAscii == (passes ? code : 0),
                    qPrintable(u"code %1 with %2"_s.arg(code).arg(held)));
            }
        }
    }

    void typingShowsTheResultAfterEachDigit_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("result");
        const QList<std::pair<QString, QString>> steps{
            {u"4"_s, u"4"_s},
            {u"45"_s, u"05.45..."_s},
            {u"456"_s, u"05.45.6.."_s},
            {u"4567"_s, u"05.45.67.."_s},
            {u"45678"_s, u"05.45.67.8."_s},
            {u"456789"_s, u"05.45.67.89."_s},
            {u"4567890"_s, u"05.45.67.89.0"_s},
            {u"45678901"_s, u"05.45.67.89.01"_s},
        };
        for (const auto &[text, result] : steps)
            QTest::newRow(qPrintable(text)) << text << result;
    }

    void typingShowsTheResultAfterEachDigit()
    {
        QFETCH(QString, text);
        QFETCH(QString, result);
        for (QChar digit : text) {
            QTest::keyClick(nhc, digit.toLatin1());
            checkResultFollowsBox();
        }
        QCOMPARE(nhc->text(), text);
        QCOMPARE(qvr->text(), result);
    }

    void keypadDigitsAreDigits()
    {
        for (Qt::Key key : {Qt::Key_4, Qt::Key_2})
            QTest::keyClick(nhc, key, Qt::KeypadModifier);
        QCOMPARE(nhc->text(), u"42"_s);
        QCOMPARE(qvr->text(), u"04.42..."_s);
    }

    void otherCharactersAreDiscarded_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QString>("text");
        QTest::newRow("letter") << int(Qt::Key_A) << 0 << u"a"_s;
        QTest::newRow("capital") << int(Qt::Key_A) << int(Qt::ShiftModifier) << u"A"_s;
        QTest::newRow("blank") << int(Qt::Key_Space) << 0 << u" "_s;
        QTest::newRow("dot") << int(Qt::Key_Period) << 0 << u"."_s;
        QTest::newRow("keypad dot") << int(Qt::Key_Period) << int(Qt::KeypadModifier) << u"."_s;
        QTest::newRow("Enter") << int(Qt::Key_Return) << 0 << u"\r"_s;
        QTest::newRow("keypad Enter") << int(Qt::Key_Enter) << int(Qt::KeypadModifier) << u"\r"_s;
        QTest::newRow("Escape") << int(Qt::Key_Escape) << 0 << u"\x1b"_s;
        QTest::newRow("accented letter") << int(Qt::Key_Eacute) << 0 << u"é"_s;
        QTest::newRow("symbol") << int(Qt::Key_unknown) << 0 << u"€"_s;
        QTest::newRow("beyond the basic plane") << int(Qt::Key_unknown) << 0 << u"😀"_s;
        QTest::newRow("Ctrl+K as X11 sends it")
            << int(Qt::Key_K) << int(Qt::ControlModifier) << u"\x0b"_s;
        QTest::newRow("Ctrl+K synthesised") << int(Qt::Key_K) << int(Qt::ControlModifier) << u"k"_s;
        QTest::newRow("Ctrl+U as X11 sends it")
            << int(Qt::Key_U) << int(Qt::ControlModifier) << u"\x15"_s;
        QTest::newRow("Ctrl+digit") << int(Qt::Key_4) << int(Qt::ControlModifier) << u"4"_s;
    }

    void otherCharactersAreDiscarded()
    {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(QString, text);
        QTest::keyClicks(nhc, u"4512"_s);
        QSignalSpy changes(nhc, &QLineEdit::textChanged);
        pressAsX11(nhc, Qt::Key(key), Qt::KeyboardModifiers(modifiers), text);
        QCOMPARE(nhc->text(), u"4512"_s);
        QCOMPARE(qvr->text(), u"05.45.12.."_s);
        QCOMPARE(changes.count(), 0);
    }

    void eightCharactersAtMostCanBeTyped()
    {
        QTest::keyClicks(nhc, u"421234567"_s);
        QCOMPARE(nhc->text(), u"42123456"_s);
        QCOMPARE(qvr->text(), u"04.42.12.34.56"_s);

        // Even a selection that the digit would replace does not let it in.
        nhc->setSelection(2, 3);
        QTest::keyClick(nhc, Qt::Key_9);
        QCOMPARE(nhc->text(), u"42123456"_s);

        nhc->end(false);
        QTest::keyClick(nhc, Qt::Key_Backspace);
        QCOMPARE(nhc->text(), u"4212345"_s);
        QCOMPARE(qvr->text(), u"04.42.12.34.5"_s);
        QTest::keyClick(nhc, Qt::Key_9);
        QCOMPARE(nhc->text(), u"42123459"_s);
        QCOMPARE(qvr->text(), u"04.42.12.34.59"_s);
    }

    void backspaceOnAnEmptyBoxChangesNothing()
    {
        QSignalSpy changes(nhc, &QLineEdit::textChanged);
        QTest::keyClick(nhc, Qt::Key_Backspace);
        pressAsX11(nhc, Qt::Key_Backspace, Qt::NoModifier, u"\b"_s);
        QVERIFY(nhc->text().isEmpty());
        QVERIFY(qvr->text().isEmpty());
        QCOMPARE(changes.count(), 0);
    }

    void editingKeysKeepWorking()
    {
        QTest::keyClicks(nhc, u"42123456"_s);
        QTest::keyClick(nhc, Qt::Key_Home);
        QTest::keyClick(nhc, Qt::Key_Delete);
        QCOMPARE(nhc->text(), u"2123456"_s);
        checkResultFollowsBox();

        // X11 gives Delete the text "\x7f"; it still deletes, also in a full box.
        QTest::keyClick(nhc, Qt::Key_8);
        QCOMPARE(nhc->text(), u"82123456"_s);
        pressAsX11(nhc, Qt::Key_Delete, Qt::NoModifier, u"\x7f"_s);
        QCOMPARE(nhc->text(), u"8123456"_s);
        QCOMPARE(qvr->text(), u"03.81.23.45.6"_s);

        QTest::keyClick(nhc, Qt::Key_End);
        QTest::keyClick(nhc, Qt::Key_Left);
        QTest::keyClick(nhc, Qt::Key_Left);
        QTest::keyClick(nhc, Qt::Key_0);
        QCOMPARE(nhc->text(), u"81234056"_s);
        checkResultFollowsBox();

        // Backspace in the middle, as X11 sends it, with the box full.
        pressAsX11(nhc, Qt::Key_Backspace, Qt::NoModifier, u"\b"_s);
        QCOMPARE(nhc->text(), u"8123456"_s);
        checkResultFollowsBox();

        QTest::keyClick(nhc, Qt::Key_Home, Qt::ShiftModifier);
        QCOMPARE(nhc->selectedText(), u"81234"_s);
        QTest::keyClick(nhc, Qt::Key_Delete);
        QCOMPARE(nhc->text(), u"56"_s);
        QCOMPARE(qvr->text(), u"05.56..."_s);
    }

    void clipboardShortcutsActOnTheBox()
    {
        QTest::keyClicks(nhc, u"4212"_s);
        // As X11 delivers them, with their control characters.
        pressAsX11(nhc, Qt::Key_A, Qt::ControlModifier, u"\x01"_s);
        QCOMPARE(nhc->selectedText(), u"4212"_s);
        pressAsX11(nhc, Qt::Key_X, Qt::ControlModifier, u"\x18"_s);
        QCOMPARE(nhc->text(), QString());
        QCOMPARE(qvr->text(), QString());
        QCOMPARE(QGuiApplication::clipboard()->text(), u"4212"_s);

        pressAsX11(nhc, Qt::Key_Z, Qt::ControlModifier, u"\x1a"_s);
        QCOMPARE(nhc->text(), u"4212"_s);
        QCOMPARE(qvr->text(), u"04.42.12.."_s);
        pressAsX11(nhc, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier, u"\x1a"_s);
        QCOMPARE(nhc->text(), QString());
        checkResultFollowsBox();

        QGuiApplication::clipboard()->setText(u"16145678901"_s);
        pressAsX11(nhc, Qt::Key_V, Qt::ControlModifier, u"\x16"_s);
        QCOMPARE(nhc->text(), u"16145678901"_s);
        QCOMPARE(qvr->text(), u"01.45.67.89.01"_s);

        nhc->selectAll();
        pressAsX11(nhc, Qt::Key_C, Qt::ControlModifier, u"\x03"_s);
        QCOMPARE(QGuiApplication::clipboard()->text(), u"16145678901"_s);

        // Synthesised shortcuts, with the bare letter as text, do the same.
        QGuiApplication::clipboard()->setText(u"45"_s);
        nhc->clear();
        QTest::keySequence(nhc, QKeySequence::Paste);
        QCOMPARE(nhc->text(), u"45"_s);
        QCOMPARE(qvr->text(), u"05.45..."_s);

        // The keys of the older convention; the box has no limit of its own,
        // so a paste longer than a line edit's default reaches it whole.
        const QString digits(39998, u'7');
        QGuiApplication::clipboard()->setText(u"19"_s + digits);
        nhc->clear();
        pressAsX11(nhc, Qt::Key_Insert, Qt::ShiftModifier, QString());
        QCOMPARE(nhc->text(), u"19"_s + digits);
        QCOMPARE(qvr->text(), u"00"_s + digits);
        nhc->setSelection(0, 2);
        pressAsX11(nhc, Qt::Key_Delete, Qt::ShiftModifier, u"\x7f"_s);
        QCOMPARE(QGuiApplication::clipboard()->text(), u"19"_s);
        QCOMPARE(nhc->text(), digits);
        nhc->setSelection(0, 3);
        pressAsX11(nhc, Qt::Key_Insert, Qt::ControlModifier, QString());
        QCOMPARE(QGuiApplication::clipboard()->text(), u"777"_s);
        checkResultFollowsBox();
    }

    void pasteThroughTheContextMenu()
    {
        QGuiApplication::clipboard()->setText(u"16145678901"_s);
        QTest::mouseClick(nhc, Qt::RightButton, {}, QPoint(10, 10));
        useContextMenu(QKeySequence::Paste);
        QCOMPARE(nhc->text(), u"16145678901"_s);
        QCOMPARE(qvr->text(), u"01.45.67.89.01"_s);

        // Only Backspace can be typed until seven characters remain.
        QTest::keyClicks(nhc, u"2a"_s);
        QCOMPARE(nhc->text(), u"16145678901"_s);
        const QStringList shrinking{u"1614567890"_s, u"161456789"_s, u"16145678"_s, u"1614567"_s};
        for (const QString &expected : shrinking) {
            QTest::keyClick(nhc, Qt::Key_3);
            QTest::keyClick(nhc, Qt::Key_Backspace);
            QCOMPARE(nhc->text(), expected);
            checkResultFollowsBox();
        }
        QTest::keyClick(nhc, Qt::Key_3);
        QCOMPARE(nhc->text(), u"16145673"_s);
        QCOMPARE(qvr->text(), u"01.45.67.3."_s);
    }

    void pastedTextIsShownAsItStands()
    {
        for (const QString &pasted :
            {u"36<b>12</b>"_s, u"36<img src=\"/etc/passwd\">"_s, u"19&amp;"_s, u"45 67😀é"_s}) {
            nhc->clear();
            QGuiApplication::clipboard()->setText(pasted);
            nhc->paste();
            QCOMPARE(nhc->text(), pasted);
            checkResultFollowsBox();
            QCOMPARE(qvr->textFormat(), Qt::PlainText);
        }
    }

    void leftClickEmptiesTheBox()
    {
        QTest::keyClicks(nhc, u"42123456"_s);
        QSignalSpy results(nhc, &QLineEdit::textChanged);
        QTest::mouseClick(nhc, Qt::LeftButton, {}, QPoint(10, 10));
        QCOMPARE(nhc->text(), QString());
        QCOMPARE(qvr->text(), QString());
        QCOMPARE(results.count(), 1);

        // Also a pasted text that could not have been typed.
        nhc->setText(u"16145678901"_s);
        QTest::mouseClick(nhc, Qt::LeftButton, Qt::ShiftModifier, QPoint(40, 10));
        QCOMPARE(nhc->text(), QString());
        QCOMPARE(qvr->text(), QString());
        QCOMPARE(QApplication::focusWidget(), nhc);
    }

    void otherClicksDoNotEmptyTheBox()
    {
        QTest::keyClicks(nhc, u"4212"_s);
        QTest::mousePress(nhc, Qt::RightButton, {}, QPoint(10, 10));
        useContextMenu(std::nullopt);
        QTest::mouseRelease(nhc, Qt::RightButton, {}, QPoint(10, 10));
        QCOMPARE(nhc->text(), u"4212"_s);
        QTest::mouseClick(nhc, Qt::MiddleButton, {}, QPoint(10, 10));
        QCOMPARE(nhc->text().left(4), u"4212"_s);
        checkResultFollowsBox();
    }

    void inputMethodCommitsAreFilteredOneByOne()
    {
        QInputMethodEvent preedit(u"4"_s, {});
        QCoreApplication::sendEvent(nhc, &preedit);
        QCOMPARE(nhc->text(), QString());

        QInputMethodEvent commit;
        commit.setCommitString(u"4a5 é6😀"_s);
        QCoreApplication::sendEvent(nhc, &commit);
        QCOMPARE(nhc->text(), u"456"_s);
        QCOMPARE(qvr->text(), u"05.45.6.."_s);

        QInputMethodEvent longCommit;
        longCommit.setCommitString(u"7890123456"_s);
        QCoreApplication::sendEvent(nhc, &longCommit);
        QCOMPARE(nhc->text(), u"45678901"_s);
        QCOMPARE(qvr->text(), u"05.45.67.89.01"_s);
    }

    void severalCharactersInOneKeyPressAreFilteredOneByOne()
    {
        pressAsX11(nhc, Qt::Key_unknown, Qt::NoModifier, u"4x2"_s);
        QCOMPARE(nhc->text(), u"42"_s);
        QCOMPARE(qvr->text(), u"04.42..."_s);
    }

    void droppedTextIsRefused()
    {
        QVERIFY(!nhc->acceptDrops());
        QMimeData dragged;
        dragged.setText(u"42123456"_s);
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &dragged, Qt::LeftButton, {});
        QCoreApplication::sendEvent(nhc, &enter);
        QVERIFY(!enter.isAccepted());
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &dragged, Qt::LeftButton, {});
        QCoreApplication::sendEvent(nhc, &drop);
        QCOMPARE(nhc->text(), QString());
        QCOMPARE(qvr->text(), QString());
    }

    // Sequences on which the toolkit's undo and redo once wrote a NUL or a
    // blank into the box though only digits had been typed.
    void undoAndRedoKeepTypedDigitsClean_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::newRow("redo restores a selection")
            << u"6 Shift+Home 3 4 Undo Redo Cut 7 Cut Undo 5"_s.split(u' ');
        QTest::newRow("redo leaves the cursor past the end")
            << u"9 Left 0 8 End 3 Undo Undo Redo 6"_s.split(u' ');
    }

    void undoAndRedoKeepTypedDigitsClean()
    {
        QFETCH(QStringList, steps);
        const QHash<QString, QKeySequence::StandardKey> standard{{u"Undo"_s, QKeySequence::Undo},
            {u"Redo"_s, QKeySequence::Redo}, {u"Cut"_s, QKeySequence::Cut}};
        const QHash<QString, std::pair<Qt::Key, Qt::KeyboardModifiers>> keys{
            {u"Shift+Home"_s, {Qt::Key_Home, Qt::ShiftModifier}},
            {u"Left"_s, {Qt::Key_Left, Qt::NoModifier}}, {u"End"_s, {Qt::Key_End, Qt::NoModifier}}};
        for (const QString &step : steps) {
            if (standard.contains(step))
                QTest::keySequence(nhc, standard[step]);
            else if (keys.contains(step))
                QTest::keyClick(nhc, keys[step].first, keys[step].second);
            else
                QTest::keyClick(nhc, step.at(0).toLatin1());
            const QString text = nhc->text();
            const bool digitsOnly = std::all_of(
                text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
            QVERIFY2(digitsOnly && text.size() <= 8,
                qPrintable(
                    step + u": "_s + QString::fromLatin1(text.toUtf8().toPercentEncoding())));
            checkResultFollowsBox();
        }
    }

    void tabStillMovesTheFocus()
    {
        QTest::keyClicks(nhc, u"42"_s);
        QTest::keyClick(nhc, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget()->objectName(), u"Quitter"_s);
        QCOMPARE(nhc->text(), u"42"_s);
    }
};

QTEST_MAIN(InputTest)
#include "input_test.moc"
