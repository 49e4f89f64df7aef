#include "main_window/AutoSave.h"

#include "platform/MessageBox.h"
#include "store/Diary.h"
#include "store/DiaryStore.h"

#include <QEvent>
#include <QWidget>

AutoSave::AutoSave(QWidget* window, Diary& diary, std::function<void()> collectPage)
    : QObject(window)
    , m_window(window)
    , m_diary(diary)
    , m_collectPage(std::move(collectPage))
{
    m_delay.setSingleShot(true);
    connect(&m_delay, &QTimer::timeout, this, &AutoSave::saveNow);
    m_poll.setInterval(15);
    connect(&m_poll, &QTimer::timeout, this, &AutoSave::takeResult);
    window->installEventFilter(this);
}

void AutoSave::pageChanged() { m_delay.start(DelayMs); }

void AutoSave::saveNow()
{
    if (m_diary.isWriting())
        return; // takeResult() looks again when this write is done
    m_collectPage();
    if (m_diary.startWrite())
        m_poll.start();
}

void AutoSave::takeResult()
{
    if (m_diary.isWriting())
        return;
    m_poll.stop();
    workbook::Error error;
    if (m_diary.finishWrite(&error)) {
        m_failureShown = false;
        if (m_diary.hasPendingEdits())
            m_delay.start(DelayMs); // typed while the worker wrote
        return;
    }
    // Said once, not at every attempt; the text stays pending and is tried again.
    m_delay.start(RetryMs);
    if (!std::exchange(m_failureShown, true))
        MessageBox::warning(m_window, DiaryStore::saveErrorMessage(m_diary, error));
}

bool AutoSave::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_window && event->type() == QEvent::WindowDeactivate)
        saveNow();
    return QObject::eventFilter(watched, event);
}
