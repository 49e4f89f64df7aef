#include "platform/MonthCalendar.h"

#include "platform/AppInfo.h"
#include "platform/DateText.h"
#include "platform/MonthCalendarAccessible.h"
#include "platform/WidgetColour.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>

#include <algorithm>
#include <cstdlib>

namespace {

// The open ends of an unset range: still finite, so month stepping stays valid.
const QDate kEarliest(1, 1, 1);
const QDate kLatest(9999, 12, 31);

int qtDayOfWeek(int startCode) { return startCode == 1 ? 7 : startCode - 1; }

// Luminance-weighted distance, enough to tell whether one colour shows on another.
bool shows(const QColor& a, const QColor& b)
{
    const int d =
        30 * std::abs(a.red() - b.red()) + 59 * std::abs(a.green() - b.green()) + 11 * std::abs(a.blue() - b.blue());
    return d >= 60 * 100;
}

QColor blackOrWhiteOn(const QColor& background)
{
    return qGray(background.rgb()) >= 128 ? QColor(Qt::black) : QColor(Qt::white);
}

// Column col of 7 (row of rows) inside band; integer edges share the spare pixels out.
QRect cellIn(const QRect& band, int rows, int col, int row)
{
    const int x0 = band.left() + col * band.width() / 7;
    const int x1 = band.left() + (col + 1) * band.width() / 7;
    const int y0 = band.top() + row * band.height() / rows;
    const int y1 = band.top() + (row + 1) * band.height() / rows;
    return QRect(x0, y0, x1 - x0, y1 - y0);
}

} // namespace

struct MonthCalendar::Layout {
    QRect title;
    QRect previousArrow;
    QRect nextArrow;
    QRect weekdays;
    int separatorY = -1; // none when there is no room
    QRect grid;

    QRect cell(int index) const { return cellIn(grid, 6, index % 7, index / 7); }
    int cellAt(const QPoint& p) const
    {
        if (!grid.contains(p))
            return -1;
        for (int k = 0; k < DisplayedDays; ++k)
            if (cell(k).contains(p))
                return k;
        return -1;
    }
};

MonthCalendar::MonthCalendar(QWidget* parent)
    : QWidget(parent)
    , m_value(AppInfo::today())
{
    m_colours[int(ColourRole::DayText)] = ColourValue::system(ColourValue::WindowText);
    m_colours[int(ColourRole::DayBackground)] = ColourValue::system(ColourValue::WindowBackground);
    m_colours[int(ColourRole::TitleText)] = ColourValue::system(9);       // caption text
    m_colours[int(ColourRole::TitleBackground)] = ColourValue::system(2); // active caption
    m_colours[int(ColourRole::TrailingText)] = ColourValue::system(17);   // grey text
    m_shownYear = m_value.year();
    m_shownMonth = m_value.month();
    m_boldFirst = firstDisplayedDate();
    m_boldFlags = QList<bool>(DisplayedDays, false);

    MonthCalendarAccessible::install();
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled, false);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

bool MonthCalendar::setValue(const QDate& date)
{
    if (!date.isValid() || !inRange(date))
        return false;
    m_value = date;
    showMonth(date.year(), date.month());
    announceValue();
    return true;
}

// After the month is shown, so that the day's cell exists.
void MonthCalendar::announceValue()
{
    setAccessibleDescription(QStringLiteral("選択中の日付: ") + DateText::withWeekday(m_value));
    MonthCalendarAccessible::valueChanged(this);
}

bool MonthCalendar::setRange(const QDate& min, const QDate& max)
{
    if (min.isValid() && max.isValid() && min > max)
        return false;
    m_min = min;
    m_max = max;
    const QDate before = m_value;
    m_value = std::clamp(m_value, m_min.isValid() ? m_min : kEarliest, m_max.isValid() ? m_max : kLatest);
    if (m_value != before || !monthInRange(m_shownYear, m_shownMonth))
        showMonth(m_value.year(), m_value.month());
    else
        update();
    announceValue();
    return true;
}

bool MonthCalendar::setStartOfWeek(int code)
{
    if (code < 1 || code > 7)
        return false;
    const bool columnsChanged = code != m_startOfWeek;
    m_startOfWeek = code;
    syncDisplayedDays();
    if (columnsChanged)
        MonthCalendarAccessible::daysChanged(this, true);
    update();
    return true;
}

void MonthCalendar::setColour(ColourRole role, ColourValue value)
{
    m_colours[int(role)] = value;
    update();
}

void MonthCalendar::setDayBoldHandler(DayBoldHandler handler)
{
    m_boldHandler = std::move(handler);
    askDayBold();
}

void MonthCalendar::refreshDayBold() { askDayBold(); }

QDate MonthCalendar::firstDisplayedDate() const { return firstDisplayedFor(m_shownYear, m_shownMonth); }

QDate MonthCalendar::firstDisplayedFor(int year, int month) const
{
    const QDate first(year, month, 1);
    int lead = (first.dayOfWeek() - qtDayOfWeek(m_startOfWeek) + 7) % 7;
    // A month that starts on the first column still gets a leading week of the
    // previous month, as the classic control shows it.
    if (lead == 0)
        lead = 7;
    return first.addDays(-lead);
}

QRect MonthCalendar::dayRect(const QDate& date) const
{
    const qint64 k = firstDisplayedDate().daysTo(date);
    if (!date.isValid() || k < 0 || k >= DisplayedDays)
        return QRect();
    return layout().cell(int(k));
}

QRect MonthCalendar::titleRect() const { return layout().title; }

QRect MonthCalendar::weekdayRect(int column) const
{
    return column >= 0 && column < 7 ? cellIn(layout().weekdays, 1, column, 0) : QRect();
}

QRect MonthCalendar::previousArrowRect() const { return layout().previousArrow; }

QRect MonthCalendar::nextArrowRect() const { return layout().nextArrow; }

bool MonthCalendar::isDayBold(const QDate& date) const
{
    if (m_boldFirst != firstDisplayedDate())
        return false;
    const qint64 k = m_boldFirst.daysTo(date);
    return date.isValid() && k >= 0 && k < m_boldFlags.size() && m_boldFlags.at(int(k));
}

QSize MonthCalendar::sizeHint() const
{
    const QFontMetrics fm = fontMetrics();
    const int cellWidth = fm.horizontalAdvance(QStringLiteral("00")) + 10;
    return QSize(7 * cellWidth + 4, 8 * fm.height() + 6 + 2 + 3 + 6 * 2);
}

QSize MonthCalendar::minimumSizeHint() const
{
    const QFontMetrics fm = fontMetrics();
    return QSize(7 * (fm.horizontalAdvance(QStringLiteral("00")) + 2), 8 * fm.height());
}

bool MonthCalendar::inRange(const QDate& date) const
{
    return (!m_min.isValid() || date >= m_min) && (!m_max.isValid() || date <= m_max) && date >= kEarliest
           && date <= kLatest;
}

bool MonthCalendar::monthInRange(int year, int month) const
{
    const QDate first(year, month, 1);
    if (!first.isValid())
        return false;
    const QDate last = first.addDays(first.daysInMonth() - 1);
    return last >= (m_min.isValid() ? m_min : kEarliest) && first <= (m_max.isValid() ? m_max : kLatest);
}

void MonthCalendar::showMonth(int year, int month)
{
    const bool changed = year != m_shownYear || month != m_shownMonth;
    m_shownYear = year;
    m_shownMonth = month;
    syncDisplayedDays();
    if (changed)
        MonthCalendarAccessible::daysChanged(this, false);
    update();
}

void MonthCalendar::syncDisplayedDays()
{
    if (firstDisplayedDate() != m_boldFirst)
        askDayBold();
}

void MonthCalendar::askDayBold()
{
    const QDate first = firstDisplayedDate();
    QList<bool> flags(DisplayedDays, false);
    if (m_boldHandler) {
        m_boldHandler(first, qint16(DisplayedDays), flags);
        flags.resize(DisplayedDays);
    }
    // A handler that moved the display has already had the newer days asked for.
    if (first == firstDisplayedDate()) {
        m_boldFirst = first;
        m_boldFlags = flags;
    }
    update();
}

MonthCalendar::Layout MonthCalendar::layout() const
{
    const int w = std::max(0, width());
    const int h = std::max(0, height());
    const int line = fontMetrics().height();
    int titleHeight = line + 6;
    int weekdayHeight = line + 2;
    int gap = 3; // the separator line and the space under it
    const int ideal = titleHeight + weekdayHeight + gap + 6 * (line + 2);
    if (h < ideal) {
        // Too small for the font: shrink every band alike so all rows stay on the widget.
        titleHeight = titleHeight * h / ideal;
        weekdayHeight = weekdayHeight * h / ideal;
        gap = gap * h / ideal;
    }
    const int margin = w >= 70 ? 2 : 0;

    Layout l;
    l.title = QRect(0, 0, w, titleHeight);
    const int arrow = std::max(0, std::min(titleHeight - 2, w / 4));
    const int arrowTop = (titleHeight - arrow) / 2;
    l.previousArrow = QRect(margin, arrowTop, arrow, arrow);
    l.nextArrow = QRect(w - margin - arrow, arrowTop, arrow, arrow);
    l.weekdays = QRect(margin, titleHeight, w - 2 * margin, weekdayHeight);
    if (gap > 0)
        l.separatorY = titleHeight + weekdayHeight;
    const int gridTop = titleHeight + weekdayHeight + gap;
    l.grid = QRect(margin, gridTop, w - 2 * margin, h - gridTop);
    return l;
}

void MonthCalendar::paintEvent(QPaintEvent*)
{
    const Layout l = layout();
    QPainter p(this);
    p.fillRect(rect(), resolveColour(colour(ColourRole::DayBackground), palette()));
    paintTitle(p, l);
    paintDays(p, l);
}

void MonthCalendar::paintTitle(QPainter& p, const Layout& l) const
{
    const QColor titleText = resolveColour(colour(ColourRole::TitleText), palette());
    p.fillRect(l.title, resolveColour(colour(ColourRole::TitleBackground), palette()));

    // Month arrows: triangles, faded where the range ends.
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    const auto drawArrow = [&](const QRect& r, int direction, bool enabled) {
        if (r.width() < 4 || r.height() < 4)
            return;
        QColor c = titleText;
        if (!enabled)
            c.setAlphaF(0.35f);
        p.setBrush(c);
        const QPointF centre = QRectF(r).center();
        const qreal half = std::min(r.width(), r.height()) / 4.0;
        const QPointF points[3] = {
            centre + QPointF(-direction * half * 0.8, 0),
            centre + QPointF(direction * half * 0.8, -half),
            centre + QPointF(direction * half * 0.8, half),
        };
        p.drawPolygon(points, 3);
    };
    const QDate shown(m_shownYear, m_shownMonth, 1);
    const QDate previous = shown.addMonths(-1);
    const QDate next = shown.addMonths(1);
    drawArrow(l.previousArrow, 1, monthInRange(previous.year(), previous.month()));
    drawArrow(l.nextArrow, -1, monthInRange(next.year(), next.month()));
    p.setRenderHint(QPainter::Antialiasing, false);

    QFont boldFont = font();
    boldFont.setBold(true);
    const QRect titleTextRect(l.previousArrow.right() + 1, l.title.top(),
                              l.nextArrow.left() - l.previousArrow.right() - 1, l.title.height());
    p.setFont(boldFont);
    p.setPen(titleText);
    p.drawText(titleTextRect, Qt::AlignCenter, QStringLiteral("%1年%2月").arg(m_shownYear).arg(m_shownMonth));
}

void MonthCalendar::paintDays(QPainter& p, const Layout& l) const
{
    const QPalette pal = palette();
    const QColor dayText = resolveColour(colour(ColourRole::DayText), pal);
    const QColor dayBack = resolveColour(colour(ColourRole::DayBackground), pal);
    const QColor trailing = resolveColour(colour(ColourRole::TrailingText), pal);
    QFont boldFont = font();
    boldFont.setBold(true);

    p.setFont(font());
    p.setPen(dayText);
    const int startQt = qtDayOfWeek(m_startOfWeek);
    for (int col = 0; col < 7; ++col)
        p.drawText(cellIn(l.weekdays, 1, col, 0), Qt::AlignCenter, DateText::weekday((startQt - 1 + col) % 7 + 1));
    if (l.separatorY >= 0 && l.weekdays.width() > 8)
        p.drawLine(l.weekdays.left() + 3, l.separatorY, l.weekdays.right() - 3, l.separatorY);

    // The selection must show on any day background the program picks.
    QColor selectedBack = pal.color(QPalette::Highlight);
    if (!shows(selectedBack, dayBack))
        selectedBack = shows(dayText, dayBack) ? dayText : blackOrWhiteOn(dayBack);
    QColor selectedText = pal.color(QPalette::HighlightedText);
    if (!shows(selectedText, selectedBack))
        selectedText = blackOrWhiteOn(selectedBack);

    const QDate first = firstDisplayedDate();
    const bool boldKnown = m_boldFirst == first;
    for (int k = 0; k < DisplayedDays; ++k) {
        const QDate date = first.addDays(k);
        const QRect cell = l.cell(k);
        const bool bold = boldKnown && m_boldFlags.at(k);
        QColor text = date.month() == m_shownMonth ? dayText : trailing;
        if (date == m_value) {
            const QRect mark = cell.adjusted(1, 1, -1, -1);
            p.fillRect(mark, selectedBack);
            text = selectedText;
            if (hasFocus() && mark.width() > 4 && mark.height() > 4) {
                p.setPen(QPen(selectedText, 1, Qt::DotLine));
                p.setBrush(Qt::NoBrush);
                p.drawRect(mark.adjusted(1, 1, -2, -2));
            }
        }
        p.setFont(bold ? boldFont : font());
        p.setPen(text);
        p.drawText(cell, Qt::AlignCenter, QString::number(date.day()));
    }
}

void MonthCalendar::mousePressEvent(QMouseEvent* event)
{
    // Work out the target on the days as shown, before any handler can change them.
    const QPoint pos = event->position().toPoint();
    const Layout l = layout();
    const bool onPrevious = l.previousArrow.contains(pos);
    const bool onNext = !onPrevious && l.nextArrow.contains(pos);
    const int k = onPrevious || onNext ? -1 : l.cellAt(pos);
    const QDate day = k >= 0 ? firstDisplayedDate().addDays(k) : QDate();

    event->accept();
    QPointer<MonthCalendar> self(this);
    emit mouseDown(event->button(), event->modifiers(), pos.x(), pos.y());
    if (!self || event->button() != Qt::LeftButton)
        return;

    if (onPrevious || onNext) {
        const QDate target = QDate(m_shownYear, m_shownMonth, 1).addMonths(onPrevious ? -1 : 1);
        if (monthInRange(target.year(), target.month()))
            showMonth(target.year(), target.month());
    } else if (day.isValid() && setValue(day)) {
        emit dateClick(m_value);
    }
}

void MonthCalendar::keyPressEvent(QKeyEvent* event)
{
    // Leave shortcuts to the window.
    if (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) {
        QWidget::keyPressEvent(event);
        return;
    }
    const auto clampedInto = [this](const QDate& date) {
        // Whole-month moves land inside the range as long as that month touches it.
        if (!date.isValid() || !monthInRange(date.year(), date.month()))
            return QDate();
        return std::clamp(date, m_min.isValid() ? m_min : kEarliest, m_max.isValid() ? m_max : kLatest);
    };
    QDate target;
    switch (event->key()) {
    case Qt::Key_Left: target = m_value.addDays(-1); break;
    case Qt::Key_Right: target = m_value.addDays(1); break;
    case Qt::Key_Up: target = m_value.addDays(-7); break;
    case Qt::Key_Down: target = m_value.addDays(7); break;
    case Qt::Key_PageUp: target = clampedInto(m_value.addMonths(-1)); break;
    case Qt::Key_PageDown: target = clampedInto(m_value.addMonths(1)); break;
    case Qt::Key_Home: target = clampedInto(QDate(m_value.year(), m_value.month(), 1)); break;
    case Qt::Key_End: target = clampedInto(QDate(m_value.year(), m_value.month(), m_value.daysInMonth())); break;
    default: QWidget::keyPressEvent(event); return;
    }
    event->accept();
    if (!target.isValid() || !inRange(target) || target == m_value)
        return;

    QPointer<MonthCalendar> self(this);
    emit keyboardSelecting();
    // The handler may have narrowed the range meanwhile.
    if (self && setValue(target))
        emit dateClick(m_value);
}

void MonthCalendar::focusInEvent(QFocusEvent* event)
{
    QWidget::focusInEvent(event);
    // Qt announces the calendar itself after this handler; the day follows it.
    QMetaObject::invokeMethod(
        this, [this] { MonthCalendarAccessible::valueChanged(this); }, Qt::QueuedConnection);
}

void MonthCalendar::changeEvent(QEvent* event)
{
    switch (event->type()) {
    case QEvent::FontChange:
    case QEvent::PaletteChange:
    case QEvent::EnabledChange: update(); break;
    default: break;
    }
    QWidget::changeEvent(event);
}
