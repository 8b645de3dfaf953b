// Whole files given to the window: the save dialog, the worker thread, the
// window's title as progress, and the dialog that says what was done.
#include "files.h"

#include "convqvr.h"

#include <form/declaration.h>

#include <QDialog>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QSaveFile>
#include <QThread>
#include <QVBoxLayout>
#include <QWidget>

using namespace Qt::StringLiterals;

namespace {

// The file read, and the one written only when it is complete: QSaveFile
// replaces an existing file at commit, never before.
class QtFiles : public rewriting::FileAccess
{
public:
    QtFiles(const QString &path, const QString &target, std::atomic<bool> &stopping_,
        std::function<void(int)> shown_)
        : in(path)
        , out(target)
        , stopping(stopping_)
        , shown(std::move(shown_))
    {
    }

    bool open() { return opened(in, QIODevice::ReadOnly) && opened(out, QIODevice::WriteOnly); }
    bool commit() { return out.commit() || !(failing = &out); }
    void cancel() { out.cancelWriting(); }
    std::string error() override { return failing->errorString().toStdString(); }

    long read(char *to, std::size_t size) override
    {
        const qint64 got = in.read(to, qint64(size));
        failing = &in;
        return long(got);
    }
    bool rewind() override { return in.seek(0) || !(failing = &in); }
    std::uint64_t size() override { return std::uint64_t(in.size()); }
    bool write(std::string_view bytes) override
    {
        failing = &out;
        return out.write(bytes.data(), qint64(bytes.size())) == qint64(bytes.size());
    }
    void progress(double done) override
    {
        const int percent = int(done * 100);
        if (percent != lastPercent)
            shown(lastPercent = percent);
    }
    bool stopped() override { return stopping; }

private:
    QFile in;
    QSaveFile out;
    std::atomic<bool> &stopping;
    std::function<void(int)> shown;
    QFileDevice *failing = &in; // what the last failure is of
    int lastPercent = -1;

    bool opened(QFileDevice &file, QIODevice::OpenMode mode)
    {
        failing = &file;
        return file.open(mode);
    }
};

// What was done, as the page's panel says it: the counts, then the reports.
void showTold(QWidget *window, const rewriting::Told &result)
{
    QDialog dialog(window);
    dialog.setObjectName(u"told"_s);
    dialog.setWindowTitle(qtext(form::saveTitle));
    auto *layout = new QVBoxLayout(&dialog);
    auto *said = new QLabel(QString::fromStdString(result.said), &dialog);
    said->setObjectName(u"said"_s);
    said->setWordWrap(true);
    said->setTextFormat(Qt::PlainText);
    said->setTextInteractionFlags(Qt::TextSelectableByMouse);
    said->setMinimumWidth(360);
    layout->addWidget(said);
    if (!result.reports.empty()) {
        QStringList lines;
        for (const std::string &line : result.reports)
            lines << QString::fromStdString(line);
        auto *reports = new QPlainTextEdit(lines.join(u'\n'), &dialog);
        reports->setObjectName(u"reports"_s);
        reports->setReadOnly(true);
        reports->setLineWrapMode(QPlainTextEdit::NoWrap);
        reports->setMinimumSize(520, 220);
        layout->addWidget(reports);
    }
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    layout->addWidget(buttons);
    dialog.exec();
}

} // namespace

FileConversions::FileConversions(QWidget *window_)
    : QObject(window_)
    , window(window_)
{
}

FileConversions::~FileConversions()
{
    // A window that closes gives up the file it converts: nothing is kept.
    stopping = true;
    if (worker)
        worker->wait();
    delete worker;
}

void FileConversions::add(const QStringList &paths)
{
    waiting += paths;
    if (!worker)
        next();
}

void FileConversions::choose()
{
    QStringList patterns;
    for (const rewriting::FormatFacts &facts : rewriting::formats) {
        for (std::string_view extension : facts.extensions) {
            if (!extension.empty())
                patterns << u"*."_s
                        + QString::fromUtf8(extension.data(), qsizetype(extension.size()));
        }
    }
    const QString filters = qtext(form::knownFiles) + u" ("_s + patterns.join(u' ') + u");;"_s
        + qtext(form::allFiles) + u" (*)"_s;
    const QString path
        = QFileDialog::getOpenFileName(window, qtext(form::chooseTitle), {}, filters);
    if (!path.isEmpty())
        add({path});
}

void FileConversions::next()
{
    while (!worker && !waiting.isEmpty()) {
        const QFileInfo file(waiting.takeFirst());
        const QString proposed = file.absoluteDir().filePath(
            QString::fromStdString(rewriting::convertedName(file.fileName().toStdString())));
        const QString target
            = QFileDialog::getSaveFileName(window, qtext(form::saveTitle), proposed);
        if (target.isEmpty()) {
            emit told({});
            continue;
        }
        // The file read is never the one written.
        if (QFileInfo(target) == file) {
            QMessageBox::warning(window, qtext(form::saveTitle), qtext(form::sameFile));
            waiting.prepend(file.filePath());
            continue;
        }
        start(file.filePath(), target);
    }
}

void FileConversions::start(const QString &path, const QString &target)
{
    shownName = QFileInfo(path).fileName();
    showProgress(0);
    worker = QThread::create([this, path, target] {
        QtFiles files(path, target, stopping, [this](int percent) {
            QMetaObject::invokeMethod(this, [this, percent] { showProgress(percent); });
        });
        const std::string name = QFileInfo(path).fileName().toStdString();
        rewriting::Told result;
        if (!files.open()) {
            result.said = name + " : " + files.error() + ".";
        } else {
            result = rewriting::convertWhole(name, files);
            if (!result.written)
                files.cancel();
            else if (!files.commit())
                result = {false, name + " : l'écriture a échoué (" + files.error() + ").", {}, 0};
        }
        QMetaObject::invokeMethod(this, [this, result] { finished(result); });
    });
    worker->start();
}

void FileConversions::finished(const rewriting::Told &result)
{
    worker->wait();
    delete worker;
    worker = nullptr;
    window->setWindowTitle(qtext(form::title));
    if (result.written)
        showTold(window, result);
    else
        QMessageBox::warning(window, qtext(form::saveTitle), QString::fromStdString(result.said));
    emit told(QString::fromStdString(result.said));
    next();
}

void FileConversions::showProgress(int percent)
{
    if (worker || percent == 0)
        window->setWindowTitle(qtext(form::title) + u" – "_s + shownName + u" "_s
            + QString::number(percent) + u" %"_s);
}
