// The page saving itself: PageSaver's timing on a QTimer, the file and its
// folder watched for another program's saves and its lock files, and what
// the saves find told in a notice that leaves the keyboard to the pupil.
// The writes at a day change and at the close stay as they are.
#pragma once

#include "store/PageSaver.h"

#include <QElapsedTimer>
#include <QFileSystemWatcher>
#include <QObject>
#include <QTimer>

#include <functional>

class Diary;
class Notice;
class QWidget;

class AutoSave : public QObject {
    Q_OBJECT
public:
    // collectPage brings what the page holds outside the bound boxes (the
    // entry colours) into it before each write.
    AutoSave(QWidget* window, Diary& diary, Notice* notice, std::function<void()> collectPage);

    // Something on the page changed: written at the latest after PageSaver::DeadlineMs.
    void pageChanged();
    void saveNow();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void run();
    void watch();

    QWidget* m_window;
    Diary& m_diary;
    Notice* m_notice;
    QElapsedTimer m_clock;
    PageSaver m_saver;
    QTimer m_timer;
    QFileSystemWatcher m_watcher;
};
