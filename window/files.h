// Whole files given to the window, one after another: each saved where the
// user says, converted off the window's thread, then what was done is shown.
#pragma once

#include <rewriting/whole_file.h>

#include <QObject>
#include <QStringList>

#include <atomic>

class QThread;
class QWidget;

class FileConversions : public QObject
{
    Q_OBJECT

public:
    explicit FileConversions(QWidget *window);
    ~FileConversions() override;

    // Files to convert after those already given.
    void add(const QStringList &paths);
    // Asks for a file with the platform's dialog.
    void choose();

signals:
    // A file is done with: converted, refused or given up; for tests.
    void told(const QString &said);

private:
    void next();
    void start(const QString &path, const QString &target);
    void finished(const rewriting::Told &result);
    void showProgress(int percent);

    QWidget *window;
    QStringList waiting;
    QString shownName; // of the file converting, in the window's title
    QThread *worker = nullptr;
    std::atomic<bool> stopping = false;
};
