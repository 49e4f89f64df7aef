// When the page on screen reaches the file while the pupil writes, and what
// the pupil is told about it. A fixed time after the first unsaved change the
// page is written, however fast the keys keep coming: a crash or a power cut
// then loses at most that second and the save's own time. The clock is
// passed in, so the timing is tested without waiting; AutoSave calls tick()
// when it asks to be called.
#pragma once

#include <QString>

#include <functional>
#include <optional>

class Diary;

class PageSaver {
public:
    static constexpr int DeadlineMs = 1000; // after the first unsaved change
    static constexpr int RetryMs = 5000;    // after a failed save
    static constexpr int HeldMs = 2000;     // looks again while another program holds the file
    static constexpr int SettleMs = 300;    // after the file changed: the other program may still be writing
    static constexpr int PollMs = 15;       // while the worker writes

    using Clock = std::function<qint64()>;              // milliseconds, never going back
    using Notify = std::function<void(const QString&)>; // a notice that must not take the keyboard

    // collectPage brings what the page holds outside the bound boxes (the
    // entry colours) into the diary before each write.
    PageSaver(Diary& diary, Clock clock, std::function<void()> collectPage, Notify notify);

    void pageChanged();
    // The window lost activation: write now.
    void saveNow();
    // The file or its folder changed on disk.
    void fileMayHaveChanged();
    // Does what is due now; returns the milliseconds until it wants to be
    // called again, or -1 when nothing is due.
    int tick();

private:
    void start();
    void finish(qint64 now);
    void dueBy(qint64 when);
    void tell(const QString& text);

    Diary& m_diary;
    Clock m_clock;
    std::function<void()> m_collectPage;
    Notify m_notify;
    std::optional<qint64> m_due;
    bool m_writing = false;
    bool m_failureTold = false;
    QString m_heldBy; // the holder the pupil was told of
};
