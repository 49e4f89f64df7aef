// The main window's month calendar: one month at a time, a selected date kept
// inside an optional range, five colour roles and program-chosen bold days,
// drawn by hand so the whole month fits the diary's small box.
#pragma once

#include "platform/ColourValue.h"

#include <QDate>
#include <QList>
#include <QWidget>

#include <array>
#include <functional>

class QPainter;

class MonthCalendar : public QWidget {
    Q_OBJECT
public:
    enum class ColourRole { DayText, DayBackground, TitleText, TitleBackground, TrailingText };

    // Displayed days always come in 6 rows of 7.
    static constexpr int DisplayedDays = 42;

    explicit MonthCalendar(QWidget* parent = nullptr);

    QDate value() const { return m_value; }
    // Selects the date and shows its month; false, and nothing changes, for an
    // invalid date or one outside the range. Raises no signal.
    bool setValue(const QDate& date);

    // An invalid end leaves that side open. False when min > max. A value
    // outside the new range moves to the nearest end.
    bool setRange(const QDate& min, const QDate& max);

    // 1 = Sunday ... 7 = Saturday; false for any other code.
    int startOfWeek() const { return m_startOfWeek; }
    bool setStartOfWeek(int code);

    ColourValue colour(ColourRole role) const { return m_colours[int(role)]; }
    void setColour(ColourRole role, ColourValue value);

    // Asked which displayed days are bold each time the displayed days change:
    // element k of flags (count long, all false on entry) is firstDisplayed + k.
    using DayBoldHandler = std::function<void(const QDate& firstDisplayed, qint16 count, QList<bool>& flags)>;
    // Asks the new handler at once for the days on show.
    void setDayBoldHandler(DayBoldHandler handler);
    void refreshDayBold();

    int displayedYear() const { return m_shownYear; }
    int displayedMonth() const { return m_shownMonth; }

    // For tests and accessibility: where things are drawn at the current size.
    QDate firstDisplayedDate() const;
    QRect dayRect(const QDate& date) const; // null when the date is not on show
    QRect titleRect() const;
    QRect weekdayRect(int column) const;
    QRect previousArrowRect() const;
    QRect nextArrowRect() const;
    bool isDayBold(const QDate& date) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    // Every press of any button anywhere, before the date click it may cause;
    // x and y are widget pixels.
    void mouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);
    // A key is about to change the selected date.
    void keyboardSelecting();
    // The user picked a day; value() already holds it.
    void dateClick(const QDate& date);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;

private:
    void announceValue();
    struct Layout;
    Layout layout() const;
    void paintTitle(QPainter& p, const Layout& l) const;
    void paintDays(QPainter& p, const Layout& l) const;
    QDate firstDisplayedFor(int year, int month) const;
    bool inRange(const QDate& date) const;
    bool monthInRange(int year, int month) const;
    void showMonth(int year, int month);
    void syncDisplayedDays();
    void askDayBold();

    QDate m_value;
    QDate m_min;
    QDate m_max;
    int m_shownYear = 0;
    int m_shownMonth = 0;
    int m_startOfWeek = 1;
    std::array<ColourValue, 5> m_colours;
    DayBoldHandler m_boldHandler;
    QDate m_boldFirst; // the first displayed date m_boldFlags belong to
    QList<bool> m_boldFlags;
};
