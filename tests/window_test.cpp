// The window as a user first sees it: layout, texts, fonts, picture, start and end.
#include "files.h"
#include "shown_form.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDialog>
#include <QFileDialog>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QStyle>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;

class WindowTest : public QObject, ShownForm
{
    Q_OBJECT

private:
    template <typename T = QWidget> T *control(const char *name) const
    {
        T *found = form->findChild<T *>(QLatin1StringView(name));
        if (!found)
            qFatal("no control named %s", name);
        return found;
    }

    static void checkFits(const QWidget *widget, const QString &text, int flags = 0)
    {
        // Measured for the widget's own screen, at its density.
        const QFontMetrics metrics(widget->font(), widget);
        const QRect room = widget->contentsRect();
        const QRect needed = metrics.boundingRect(room, flags | Qt::AlignLeft | Qt::AlignTop, text);
        QVERIFY2(needed.width() <= room.width() && needed.height() <= room.height(),
            qPrintable(u"%1 needs %2x%3 in %4 (%5x%6, font %7)"_s.arg(text)
                           .arg(needed.width())
                           .arg(needed.height())
                           .arg(widget->objectName())
                           .arg(room.width())
                           .arg(room.height())
                           .arg(QFontInfo(widget->font()).family())));
    }

    static QByteArray bytes(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(absent)");
    }

private slots:
    void init() { QVERIFY(open()); }

    void cleanup() { form.reset(); }

    void titleAndSize()
    {
        QCOMPARE(form->windowTitle(), u"Conversion QVR   V6.0"_s);
        QCOMPARE(form->objectName(), u"Convqvr"_s);
        QCOMPARE(form->size(), QSize(210, 161));
        QCOMPARE(form->minimumSize(), form->maximumSize());
        QVERIFY(!form->windowIcon().isNull());
        QVERIFY(form->windowIcon().availableSizes().contains(QSize(16, 16)));
        QVERIFY(form->windowIcon().availableSizes().contains(QSize(32, 32)));
    }

    void controls_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("geometry");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("pixelSize");
        QTest::addColumn<bool>("bold");
        QTest::addColumn<bool>("underline");

        QTest::addColumn<QColor>("ink");
        QTest::addColumn<QColor>("backing");

        // Dark ink over the sky, black on the white box, red on a pale backing.
        const QColor ink(16, 24, 48), none;
        QTest::newRow("Label1") << u"Label1"_s << QRect(16, 8, 121, 17) << u"Numéro à 8 chiffres"_s
                                << 11 << true << true << ink << none;
        QTest::newRow("Label2") << u"Label2"_s << QRect(16, 56, 177, 25)
                                << u"Numéro à dix chiffres"_s << 16 << true << true << ink << none;
        QTest::newRow("nhc") << u"nhc"_s << QRect(24, 24, 81, 24) << QString() << 16 << false
                             << false << QColor(Qt::black) << QColor(Qt::white);
        QTest::newRow("qvr") << u"qvr"_s << QRect(16, 80, 177, 33) << QString() << 24 << true
                             << false << QColor(255, 0, 0) << QColor(235, 243, 252);
        QTest::newRow("Label3") << u"Label3"_s << QRect(8, 120, 201, 41) << QString() << 11 << false
                                << false << ink << none;
        QTest::newRow("Quitter") << u"Quitter"_s << QRect(128, 32, 65, 17) << u"Quitter"_s << 11
                                 << false << false << none << none;
    }

    void controls()
    {
        QFETCH(QString, name);
        QFETCH(QRect, geometry);
        QFETCH(QString, text);
        QFETCH(int, pixelSize);
        QFETCH(bool, bold);
        QFETCH(bool, underline);

        QWidget *widget = control(qPrintable(name));
        QCOMPARE(widget->geometry(), geometry);
        QVERIFY(form->rect().contains(widget->geometry()));
        QCOMPARE(widget->font().pixelSize(), pixelSize);
        QCOMPARE(widget->font().bold(), bold);
        QCOMPARE(widget->font().weight(), bold ? QFont::Bold : QFont::Normal);
        QCOMPARE(widget->font().underline(), underline);
        if (!text.isNull())
            QCOMPARE(widget->property("text").toString(), text);

        QFETCH(QColor, ink);
        QFETCH(QColor, backing);
        const bool box = name == u"nhc"_s;
        const QPalette &palette = widget->palette();
        if (ink.isValid())
            QCOMPARE(palette.color(box ? QPalette::Text : QPalette::WindowText), ink);
        else
            QCOMPARE(palette, QApplication::palette(widget));
        if (backing.isValid()) {
            QCOMPARE(palette.color(box ? QPalette::Base : QPalette::Window), backing);
            QVERIFY(box || widget->autoFillBackground());
        }
    }

    // Every text stays readable over what lies under it, whatever the
    // desktop's palette: measured on the rendered pixels, as the difference
    // between the window with the text and without it.
    void textsAreReadable_data()
    {
        QTest::addColumn<QPalette>("palette");
        QTest::addColumn<QString>("name");
        QTest::addColumn<double>("least");
        const QPalette light = QApplication::style()->standardPalette();
        QPalette dark;
        for (auto [role, colour] : {std::pair{QPalette::Window, QColor(53, 53, 53)},
                 {QPalette::WindowText, Qt::white}, {QPalette::Base, QColor(42, 42, 42)},
                 {QPalette::Text, Qt::white}, {QPalette::Button, QColor(53, 53, 53)},
                 {QPalette::ButtonText, Qt::white}, {QPalette::Highlight, QColor(42, 130, 218)},
                 {QPalette::HighlightedText, Qt::black}})
            dark.setColor(role, colour);
        for (const auto &[scheme, palette] : {std::pair{"light", light}, {"dark", dark}}) {
            // Contrast ratios as for the web: 4.5 for text, 3 for large text.
            for (const char *name : {"Label1", "Label2", "Label3", "nhc", "selection"})
                QTest::addRow("%s %s", scheme, name) << palette << QString::fromLatin1(name) << 4.5;
            QTest::addRow("%s qvr", scheme) << palette << u"qvr"_s << 3.0;
        }
    }

    void textsAreReadable()
    {
        QFETCH(QPalette, palette);
        QFETCH(QString, name);
        QFETCH(double, least);
        // The desktop's palette is in place before the window is made.
        const QPalette before = QApplication::palette();
        QApplication::setPalette(palette);
        const auto restore = qScopeGuard([&] { QApplication::setPalette(before); });
        Convqvr shown;
        shown.show();
        QVERIFY(QTest::qWaitForWindowExposed(&shown));
        auto *box = shown.findChild<QLineEdit *>(u"nhc"_s);
        const bool selection = name == u"selection"_s;
        QWidget *widget = selection ? box : shown.findChild<QWidget *>(name);
        auto *label = qobject_cast<QLabel *>(widget);
        const bool fixedLabel = label && name != u"qvr"_s;

        // The blinking cursor moves with the text: it is kept out of the
        // picture, and drawn in the text's own colour anyway.
        shown.findChild<QWidget *>(u"Quitter"_s)->setFocus();
        box->setText(u"42123456"_s);
        if (selection)
            box->selectAll();
        const QImage with = shown.grab(widget->geometry()).toImage();
        if (selection) {
            box->setText(u"        "_s);
            box->selectAll();
        } else if (fixedLabel) {
            label->clear();
        } else {
            box->clear();
        }
        const QImage without = shown.grab(widget->geometry()).toImage();

        // The contrast of each inked pixel with the same pixel bare; the
        // glyphs' cores, the best tenth, must reach the ratio.
        const auto luminance = [](QColor c) {
            const auto linear = [](double v) {
                return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
            };
            return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF())
                + 0.0722 * linear(c.blueF());
        };
        std::vector<double> contrasts;
        for (int y = 0; y < with.height(); ++y) {
            for (int x = 0; x < with.width(); ++x) {
                const QColor a = with.pixelColor(x, y), b = without.pixelColor(x, y);
                if (a == b)
                    continue;
                const double la = luminance(a), lb = luminance(b);
                contrasts.push_back((std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05));
            }
        }
        QVERIFY2(contrasts.size() >= 20, qPrintable(u"%1 inked pixels"_s.arg(contrasts.size())));
        std::sort(contrasts.begin(), contrasts.end());
        const double cores = contrasts[contrasts.size() * 9 / 10];
        QVERIFY2(cores >= least, qPrintable(u"contrast %1"_s.arg(cores)));
    }

    void notice()
    {
        auto *label = control<QLabel>("Label3");
        QVERIFY(label->wordWrap());
        QVERIFY(label->text().contains(u"Conversion QVR"_s));
        QVERIFY(label->text().contains(u"auteurs"_s));
    }

    void startsEmptyWithFocusInTheBox()
    {
        QCOMPARE(QApplication::focusWidget(), nhc);
        QVERIFY(nhc->text().isEmpty());
        QVERIFY(control<QLabel>("qvr")->text().isEmpty());
    }

    void tabMovesBetweenBoxAndButtonOnly()
    {
        QWidget *quitter = control("Quitter");
        for (const char *label : {"Label1", "Label2", "qvr", "Label3"})
            QCOMPARE(control(label)->focusPolicy(), Qt::NoFocus);

        const QList<QWidget *> expected{quitter, nhc, quitter, nhc};
        for (QWidget *next : expected) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), next);
        }
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
        QCOMPARE(QApplication::focusWidget(), quitter);
    }

    // What Qt resolves on this machine, not what we hope it resolves.
    void everyTextFitsItsControl()
    {
        for (const char *name : {"Label1", "Label2", "Quitter"})
            checkFits(control(name), control(name)->property("text").toString());
        auto *label3 = control<QLabel>("Label3");
        checkFits(label3, label3->text(), Qt::TextWordWrap);

        for (const QString &result : {u"0800.12.34.56."_s, u"04.42.12.34.56"_s, u"??????????"_s,
                 u"01.45.67.89.01"_s, u"00.00.00.00.00"_s})
            checkFits(qvr, result);

        // Eight digits typed into the box stay visible whole.
        const QFontMetrics boxMetrics(nhc->font());
        QVERIFY(boxMetrics.horizontalAdvance(u"00000000"_s) < nhc->width() - 8);
    }

    void pictureIsASmallPaletteBitmap()
    {
        const QImage picture(u":/convqvr/sky.bmp"_s);
        QCOMPARE(picture.size(), QSize(640, 480));
        QCOMPARE(picture.format(), QImage::Format_Indexed8);
        QVERIFY(picture.colorCount() <= 256);

        // A sky: mostly blue, with white in it.
        int blue = 0, white = 0;
        for (int y = 0; y < picture.height(); y += 4) {
            for (int x = 0; x < picture.width(); x += 4) {
                const QColor c = picture.pixelColor(x, y);
                blue += c.blue() > c.red() + 40;
                white += c.red() > 205 && c.green() > 205;
            }
        }
        const int samples = (640 / 4) * (480 / 4);
        QVERIFY2(blue > samples / 2, qPrintable(QString::number(blue)));
        QVERIFY2(white > samples / 50, qPrintable(QString::number(white)));
    }

    void iconsHaveSixteenColoursAtMost()
    {
        for (int size : {16, 32}) {
            const QImage icon(u":/convqvr/icons/convqvr-%1.png"_s.arg(size));
            QCOMPARE(icon.size(), QSize(size, size));
            QSet<QRgb> colours;
            int red = 0;
            for (int y = 0; y < size; ++y) {
                for (int x = 0; x < size; ++x) {
                    const QColor c = icon.pixelColor(x, y);
                    if (c.alpha() == 0)
                        continue;
                    colours.insert(c.rgb());
                    red += c == QColor(255, 0, 0);
                }
            }
            QVERIFY(colours.size() <= 16);
            QVERIFY2(red > size * size / 5, "the telephone is red");
        }
    }

    // Drawn at its own size from the corner: where no control stands, the
    // window shows the picture's own pixel at the same place.
    void pictureIsDrawnUnscaledFromTheCorner()
    {
        const QImage shown = form->grab().toImage();
        const qreal ratio = shown.devicePixelRatio();
        if (ratio != 1.0 && ratio != 2.0)
            QSKIP("the picture is resampled at this density");
        const QImage picture(ratio == 1.0 ? u":/convqvr/sky.bmp"_s : u":/convqvr/sky@2x.png"_s);
        QCOMPARE(picture.size(), QSize(640, 480) * ratio);
        for (QPoint at :
            {QPoint(1, 1), QPoint(5, 50), QPoint(115, 45), QPoint(205, 100), QPoint(200, 8)}) {
            const QPoint pixel = at * ratio;
            QCOMPARE(shown.pixelColor(pixel), picture.pixelColor(pixel));
        }
    }

    void accessibleNamesAndRoles()
    {
        QCOMPARE(control<QLabel>("Label1")->buddy(), nhc);

        const auto check = [](QWidget *widget, QAccessible::Role role, const QString &name) {
            QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(widget);
            QVERIFY(accessible);
            QCOMPARE(accessible->role(), role);
            QCOMPARE(accessible->text(QAccessible::Name), name);
        };
        check(nhc, QAccessible::EditableText, u"Numéro à 8 chiffres"_s);
        check(control("Quitter"), QAccessible::Button, u"Quitter"_s);
        check(qvr, QAccessible::StaticText, QString());

        // Its name is the result, described by the label above it.
        nhc->setText(u"42123456"_s);
        QCOMPARE(QAccessible::queryAccessibleInterface(qvr)->text(QAccessible::Description),
            u"Numéro à dix chiffres"_s);
        check(qvr, QAccessible::StaticText, u"04.42.12.34.56"_s);
    }

    void resultCanBeSelectedWithoutTakingTheFocus()
    {
        nhc->setText(u"42123456"_s);

        QVERIFY(qvr->textInteractionFlags() & Qt::TextSelectableByMouse);
        QCOMPARE(qvr->focusPolicy(), Qt::NoFocus);
        QTest::mousePress(qvr, Qt::LeftButton, {}, QPoint(1, qvr->height() / 2));
        QMouseEvent drag(QEvent::MouseMove, QPointF(qvr->width() - 1, qvr->height() / 2),
            qvr->mapToGlobal(QPointF(qvr->width() - 1, qvr->height() / 2)), Qt::NoButton,
            Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(qvr, &drag);
        QTest::mouseRelease(qvr, Qt::LeftButton, {}, QPoint(qvr->width() - 1, qvr->height() / 2));
        QCOMPARE(qvr->selectedText(), u"04.42.12.34.56"_s);
        QCOMPARE(QApplication::focusWidget(), nhc);
        QCOMPARE(nhc->text(), u"42123456"_s);

        // Its context menu copies the selection, or the whole result.
        QCOMPARE(qvr->contextMenuPolicy(), Qt::ActionsContextMenu);
        QCOMPARE(qvr->actions().size(), 1);
        QAction *copy = qvr->actions().constFirst();
        QCOMPARE(copy->text(), u"Copier"_s);
        qvr->setSelection(3, 5);
        copy->trigger();
        QCOMPARE(QGuiApplication::clipboard()->text(), u"42.12"_s);
        qvr->setSelection(0, 0);
        copy->trigger();
        QCOMPARE(QGuiApplication::clipboard()->text(), u"04.42.12.34.56"_s);

        // A result too long to show whole stays exact, only not selectable,
        // and the focus still never lands on it.
        const QString pasted = u"36"_s + QString(3000, u'7');
        nhc->setText(pasted);
        QCOMPARE(qvr->text(), pasted);
        QCOMPARE(qvr->textInteractionFlags(), Qt::NoTextInteraction);
        nhc->setText(u"4212"_s);
        QVERIFY(qvr->textInteractionFlags() & Qt::TextSelectableByMouse);
        QCOMPARE(qvr->focusPolicy(), Qt::NoFocus);
        QTest::keyClick(nhc, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), control("Quitter"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), nhc);
    }

    void quitterEndsTheEventLoop_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::newRow("empty box") << QString();
        QTest::newRow("box holding text") << u"42123456"_s;
    }

    void quitterEndsTheEventLoop()
    {
        QFETCH(QString, typed);
        control<QLineEdit>("nhc")->setText(typed);
        QSignalSpy quitting(qApp, &QCoreApplication::aboutToQuit);
        auto *quitter = control<QPushButton>("Quitter");
        QTimer::singleShot(0, quitter, [quitter] { QTest::mouseClick(quitter, Qt::LeftButton); });
        // Should the click not end the loop, this does, with a failing status.
        QTimer::singleShot(5000, qApp, [] { QCoreApplication::exit(1); });
        QCOMPARE(QApplication::exec(), 0);
    }

    // Ctrl+O in the box asks for a file; so does the last entry of the box's
    // context menu, and the window's own menu, on the picture.
    void ctrlOAndTheMenusAskForAFile()
    {
        QString asked;
        QTimer answer;
        connect(&answer, &QTimer::timeout, [&] {
            if (auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget())) {
                asked = dialog->windowTitle();
                dialog->reject();
            }
        });
        answer.start(20);
        QTest::keyClick(nhc, Qt::Key_O, Qt::ControlModifier);
        QTRY_COMPARE(asked, u"Convertir un fichier"_s);
        QCOMPARE(nhc->text(), QString());

        QContextMenuEvent menuAsked(
            QContextMenuEvent::Mouse, QPoint(4, 4), nhc->mapToGlobal(QPoint(4, 4)));
        QApplication::sendEvent(nhc, &menuAsked);
        QTRY_VERIFY(QApplication::activePopupWidget());
        const QList<QAction *> entries = QApplication::activePopupWidget()->actions();
        QApplication::activePopupWidget()->close();
        QVERIFY(!entries.isEmpty());
        QCOMPARE(entries.last()->text(), u"Convertir un fichier…"_s);
        QCOMPARE(form->contextMenuPolicy(), Qt::ActionsContextMenu);
        QCOMPARE(form->actions(), {entries.last()});
    }

    // A file dropped on the window (on the picture, or on the box) is saved
    // under the name the dialog proposes, beside itself; then the dialog
    // says what was done. A file that is no list of numbers is said so, and
    // nothing is written.
    void droppedFilesAreSavedBesideThemselves_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("content"); // none: from the tests' files
        QTest::addColumn<QString>("on");
        QTest::addColumn<QString>("said");
        QTest::newRow("vCard")
            << u"iphone.vcf"_s << QByteArray() << u"Label3"_s
            << u"iphone.vcf (vCard) : convertis 2, laissés tels quels 2, signalés 0."_s;
        QTest::newRow("workbook")
            << u"membres.xlsx"_s << QByteArray() << u"nhc"_s
            << u"membres.xlsx (classeur) : convertis 6, laissés tels quels 1, signalés 1.\n"
               "membres!C3 : « 52 12 34 56 » : aucune règle, laissé tel quel"_s;
        QTest::newRow("no text")
            << u"photo.vcf"_s << QByteArray("\x89PNG\r\n\x1a\n\0\0", 10) << u"qvr"_s
            << u"photo.vcf : ce n'est ni un carnet d'adresses, ni un tableau, ni une "
               "liste, ni un classeur."_s;
    }

    void droppedFilesAreSavedBesideThemselves()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        QFETCH(QString, on);
        QFETCH(QString, said);
        QTemporaryDir scratch;
        const QString path = scratch.filePath(name);
        if (content.isEmpty()) {
            QVERIFY(QFile::copy(QLatin1StringView(CONVQVR_TEST_FILES "/") + name, path));
        } else {
            QFile made(path);
            QVERIFY(made.open(QIODevice::WriteOnly) && made.write(content) == content.size());
        }
        const QByteArray before = bytes(path);
        const QString title = form->windowTitle();
        const QFileInfo file(path);
        const QString converted
            = scratch.filePath(file.completeBaseName() + u"-converti."_s + file.suffix());

        // Each dialog as a user answers it: the proposed name, then OK.
        QString proposed, told;
        QTimer answer;
        connect(&answer, &QTimer::timeout, [&] {
            QWidget *modal = QApplication::activeModalWidget();
            if (auto *files = qobject_cast<QFileDialog *>(modal)) {
                proposed = files->selectedFiles().value(0);
                static_cast<QDialog *>(files)->accept();
            } else if (auto *box = qobject_cast<QMessageBox *>(modal)) {
                told = box->text();
                box->accept();
            } else if (auto *dialog = qobject_cast<QDialog *>(modal)) {
                const auto *reports = dialog->findChild<QPlainTextEdit *>();
                told = dialog->findChild<QLabel *>(u"said"_s)->text()
                    + (reports ? u"\n"_s + reports->toPlainText() : QString());
                dialog->accept();
            }
        });
        answer.start(20);
        QSignalSpy done(form->findChild<FileConversions *>(), &FileConversions::told);

        QWidget *target = control(on.toLatin1().constData());
        const QPoint at = target->mapTo(form.get(), target->rect().center());
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(path)});
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(form.get(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(form.get(), &drop);
        QTRY_COMPARE_WITH_TIMEOUT(done.count(), 1, 20000);

        QCOMPARE(proposed, converted);
        QCOMPARE(told, said);
        QCOMPARE(bytes(path), before); // the file read is never changed
        if (content.isEmpty())
            QCOMPARE(
                bytes(converted), bytes(QLatin1StringView(CONVQVR_TEST_FILES "/expected/") + name));
        else
            QVERIFY(!QFile::exists(converted));
        QCOMPARE(form->windowTitle(), title); // no progress left
    }

    void closingTheWindowEndsTheProgram()
    {
        // What the title bar's close button asks of the window.
        QTimer::singleShot(0, form.get(), [this] { form->close(); });
        QTimer::singleShot(5000, qApp, [] { QCoreApplication::exit(1); });
        QCOMPARE(QApplication::exec(), 0);
    }
};

QTEST_MAIN(WindowTest)
#include "window_test.moc"
