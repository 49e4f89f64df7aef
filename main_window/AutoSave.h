// The page on screen written about two seconds after its last change and when
// the window loses activation, on a worker thread: a crash or a power cut then
// loses at most those seconds, and a save of a large workbook never holds up
// typing. The writes at a day change and at the close stay as they are.
#pragma once

#include <QObject>
#include <QTimer>

#include <functional>

class Diary;
class QWidget;

class AutoSave : public QObject {
    Q_OBJECT
public:
    static constexpr int DelayMs = 2000;
    static constexpr int RetryMs = 5000;

    // collectPage brings what the page holds outside the bound boxes (the
    // entry colours) into it before each write.
    AutoSave(QWidget* window, Diary& diary, std::function<void()> collectPage);

    // Something on the page changed: write after the delay.
    void pageChanged();
    void saveNow();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void takeResult();

    QWidget* m_window;
    Diary& m_diary;
    std::function<void()> m_collectPage;
    QTimer m_delay;
    QTimer m_poll;
    bool m_failureShown = false;
};
