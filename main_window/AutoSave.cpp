#include "main_window/AutoSave.h"

#include "platform/Notice.h"
#include "store/Diary.h"

#include <QEvent>
#include <QFileInfo>
#include <QWidget>

AutoSave::AutoSave(QWidget* window, Diary& diary, Notice* notice, std::function<void()> collectPage)
    : QObject(window)
    , m_window(window)
    , m_diary(diary)
    , m_notice(notice)
    , m_saver(
          diary, [this] { return m_clock.elapsed(); }, std::move(collectPage),
          [this](const QString& text) { m_notice->tell(text); })
{
    m_clock.start();
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &AutoSave::run);
    // A save elsewhere renames a new file into place, which ends the watch on
    // the old one: the folder is watched too (lock files come and go there).
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, this, [this] {
        m_saver.fileMayHaveChanged();
        watch();
        run();
    });
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, [this] {
        m_saver.fileMayHaveChanged();
        watch();
        run();
    });
    watch();
    window->installEventFilter(this);
}

void AutoSave::watch()
{
    const QString path = m_diary.path();
    const QStringList paths{path, QFileInfo(path).absolutePath()};
    for (const QString& p : paths) {
        if (!m_watcher.files().contains(p) && !m_watcher.directories().contains(p) && QFileInfo::exists(p))
            m_watcher.addPath(p);
    }
}

void AutoSave::pageChanged()
{
    m_saver.pageChanged();
    run();
}

void AutoSave::saveNow()
{
    m_saver.saveNow();
    run();
}

void AutoSave::run()
{
    const int next = m_saver.tick();
    if (next < 0)
        m_timer.stop();
    else if (!m_timer.isActive() || m_timer.remainingTime() > next)
        m_timer.start(next);
}

bool AutoSave::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_window && event->type() == QEvent::WindowDeactivate)
        saveNow();
    return QObject::eventFilter(watched, event);
}
