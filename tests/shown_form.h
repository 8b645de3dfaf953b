// The window as the Qt tests open it, shown and active with its box and
// result at hand, and the result a text must give.
#pragma once

#include "convqvr.h"

#include <conversion/convert.h>

#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include <memory>

struct ShownForm
{
    std::unique_ptr<Convqvr> form;
    QLineEdit *nhc = nullptr;
    QLabel *qvr = nullptr;

    // A new window, as a user finds it; false when it never became active.
    bool open()
    {
        form = std::make_unique<Convqvr>();
        nhc = form->findChild<QLineEdit *>(QStringLiteral("nhc"));
        qvr = form->findChild<QLabel *>(QStringLiteral("qvr"));
        form->show();
        form->activateWindow();
        return nhc && qvr && QTest::qWaitForWindowActive(form.get());
    }
};

// Converted character by character, apart from the UTF-16 side the window uses.
inline QString converted(const QString &text)
{
    return QString::fromStdU32String(conversion::convert(text.toStdU32String()));
}
