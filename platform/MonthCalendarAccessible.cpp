#include "platform/MonthCalendarAccessible.h"

#include "platform/DateText.h"
#include "platform/MonthCalendar.h"

#include <QAccessibleWidget>
#include <QPointer>
#include <QSet>

#include <array>
#include <map>
#include <utility>

namespace {

constexpr int kColumns = 7;
constexpr int kRows = MonthCalendar::DisplayedDays / kColumns;
// Children: the days row by row (so a cell's index is row * 7 + column, as
// AT-SPI clients assume), then the weekday headers, then the month.
constexpr int kFirstHeader = MonthCalendar::DisplayedDays;
constexpr int kCaption = kFirstHeader + kColumns;

int qtDayOfWeek(int startCode) { return startCode == 1 ? 7 : startCode - 1; }

QRect onScreen(const QWidget* widget, const QRect& r)
{
    return r.isNull() ? QRect() : QRect(widget->mapToGlobal(r.topLeft()), r.size());
}

class CalendarTable;

// The calendars whose table someone has asked for, kept current even while
// no screen reader is on (a test or a tool looking at them).
QSet<const MonthCalendar*>& withTable()
{
    static QSet<const MonthCalendar*> calendars;
    return calendars;
}

// A child without a QObject of its own: the cache keeps it by id, and the
// table deletes it (never the cache on the widget's destruction).
class Part : public QAccessibleInterface {
public:
    explicit Part(MonthCalendar* calendar)
        : m_calendar(calendar)
    {
    }
    bool isValid() const override { return m_calendar; }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return parent() ? parent()->window() : nullptr; }
    QAccessibleInterface* parent() const override
    {
        return m_calendar ? QAccessible::queryAccessibleInterface(m_calendar.data()) : nullptr;
    }
    int childCount() const override { return 0; }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    void setText(QAccessible::Text, const QString&) override {}
    QAccessible::State state() const override
    {
        QAccessible::State s;
        s.invisible = !m_calendar || !m_calendar->isVisible();
        s.disabled = !m_calendar || !m_calendar->isEnabled();
        return s;
    }

protected:
    CalendarTable* table() const;
    QPointer<MonthCalendar> m_calendar;
};

class WeekdayHeader : public Part {
public:
    WeekdayHeader(MonthCalendar* calendar, int column)
        : Part(calendar)
        , m_column(column)
    {
    }
    QAccessible::Role role() const override { return QAccessible::ColumnHeader; }
    QString text(QAccessible::Text t) const override
    {
        if (t != QAccessible::Name || !m_calendar)
            return QString();
        return DateText::weekday((qtDayOfWeek(m_calendar->startOfWeek()) - 1 + m_column) % kColumns + 1);
    }
    QRect rect() const override
    {
        return m_calendar ? onScreen(m_calendar, m_calendar->weekdayRect(m_column)) : QRect();
    }

private:
    int m_column;
};

class MonthCaption : public Part {
public:
    using Part::Part;
    QAccessible::Role role() const override { return QAccessible::StaticText; }
    QString text(QAccessible::Text t) const override
    {
        if (t != QAccessible::Name || !m_calendar)
            return QString();
        return QStringLiteral("%1年%2月").arg(m_calendar->displayedYear()).arg(m_calendar->displayedMonth());
    }
    QRect rect() const override { return m_calendar ? onScreen(m_calendar, m_calendar->titleRect()) : QRect(); }
};

// One displayed day. A cell stands for its date, not its position, so that
// its name never changes under a client that cached it.
class DayCell : public Part, public QAccessibleTableCellInterface {
public:
    DayCell(MonthCalendar* calendar, const QDate& date)
        : Part(calendar)
        , m_date(date)
    {
    }
    void* interface_cast(QAccessible::InterfaceType t) override
    {
        return t == QAccessible::TableCellInterface ? static_cast<QAccessibleTableCellInterface*>(this) : nullptr;
    }
    QAccessible::Role role() const override { return QAccessible::Cell; }
    QString text(QAccessible::Text t) const override
    {
        return t == QAccessible::Name ? DateText::withWeekday(m_date) : QString();
    }
    QRect rect() const override { return m_calendar ? onScreen(m_calendar, m_calendar->dayRect(m_date)) : QRect(); }
    QAccessible::State state() const override
    {
        QAccessible::State s = Part::state();
        s.focusable = s.selectable = true;
        s.selected = isSelected();
        s.focused = s.selected && m_calendar->hasFocus();
        s.invisible = s.invisible || index() < 0; // paged away, kept a little longer
        return s;
    }

    bool isSelected() const override { return m_calendar && m_calendar->value() == m_date; }
    QList<QAccessibleInterface*> columnHeaderCells() const override;
    QList<QAccessibleInterface*> rowHeaderCells() const override { return {}; }
    int columnIndex() const override { return index() % kColumns; }
    int rowIndex() const override { return index() / kColumns; }
    int columnExtent() const override { return 1; }
    int rowExtent() const override { return 1; }
    QAccessibleInterface* table() const override { return parent(); }

    int index() const
    {
        if (!m_calendar)
            return -1;
        const qint64 k = m_calendar->firstDisplayedDate().daysTo(m_date);
        return k >= 0 && k < MonthCalendar::DisplayedDays ? int(k) : -1;
    }

private:
    QDate m_date;
};

class CalendarTable : public QAccessibleWidget, public QAccessibleTableInterface {
public:
    explicit CalendarTable(MonthCalendar* calendar)
        : QAccessibleWidget(calendar, QAccessible::Table)
        , m_calendar(calendar)
    {
        withTable().insert(calendar);
    }
    ~CalendarTable() override
    {
        withTable().remove(m_calendar);
        for (const auto& [date, id] : m_cells)
            QAccessible::deleteAccessibleInterface(id);
        for (const QAccessible::Id id : m_parts)
            if (id)
                QAccessible::deleteAccessibleInterface(id);
    }
    MonthCalendar* calendar() const { return static_cast<MonthCalendar*>(widget()); }

    void* interface_cast(QAccessible::InterfaceType t) override
    {
        if (t == QAccessible::TableInterface)
            return static_cast<QAccessibleTableInterface*>(this);
        return QAccessibleWidget::interface_cast(t);
    }
    int childCount() const override { return kCaption + 1; }
    QAccessibleInterface* child(int index) const override
    {
        if (index < 0 || index > kCaption)
            return nullptr;
        if (index < kFirstHeader)
            return cell(calendar()->firstDisplayedDate().addDays(index));
        return part(index - kFirstHeader);
    }
    int indexOfChild(const QAccessibleInterface* child) const override
    {
        if (!child)
            return -1;
        if (child->role() == QAccessible::Cell && child->parent() == this)
            return static_cast<const DayCell*>(child)->index();
        for (int k = 0; k <= kColumns; ++k)
            if (m_parts[k] && QAccessible::accessibleInterface(m_parts[k]) == child)
                return kFirstHeader + k;
        return -1;
    }
    QAccessibleInterface* childAt(int x, int y) const override
    {
        const QPoint p = calendar()->mapFromGlobal(QPoint(x, y));
        const QDate first = calendar()->firstDisplayedDate();
        for (int k = 0; k < MonthCalendar::DisplayedDays; ++k)
            if (calendar()->dayRect(first.addDays(k)).contains(p))
                return child(k);
        return nullptr;
    }
    QAccessibleInterface* focusChild() const override
    {
        return calendar()->hasFocus() ? cell(calendar()->value()) : nullptr;
    }

    QAccessibleInterface* caption() const override { return part(kColumns); }
    QAccessibleInterface* summary() const override { return nullptr; }
    QAccessibleInterface* cellAt(int row, int column) const override
    {
        if (row < 0 || row >= kRows || column < 0 || column >= kColumns)
            return nullptr;
        return child(row * kColumns + column);
    }
    int selectedCellCount() const override { return int(selectedCells().size()); }
    QList<QAccessibleInterface*> selectedCells() const override
    {
        QAccessibleInterface* selected = cell(calendar()->value());
        return selected ? QList<QAccessibleInterface*>{selected} : QList<QAccessibleInterface*>{};
    }
    QString columnDescription(int column) const override
    {
        QAccessibleInterface* header = column >= 0 && column < kColumns ? part(column) : nullptr;
        return header ? header->text(QAccessible::Name) : QString();
    }
    QString rowDescription(int) const override { return QString(); }
    int selectedColumnCount() const override { return 0; }
    int selectedRowCount() const override { return 0; }
    int rowCount() const override { return kRows; }
    int columnCount() const override { return kColumns; }
    QList<int> selectedColumns() const override { return {}; }
    QList<int> selectedRows() const override { return {}; }
    bool isColumnSelected(int) const override { return false; }
    bool isRowSelected(int) const override { return false; }
    bool selectRow(int) override { return false; }
    bool selectColumn(int) override { return false; }
    bool unselectRow(int) override { return false; }
    bool unselectColumn(int) override { return false; }
    void modelChange(QAccessibleTableModelChangeEvent*) override { dropHiddenCells(); }

    // The cell of a displayed date, made on first use; null for other dates.
    QAccessibleInterface* cell(const QDate& date) const
    {
        dropHiddenCells();
        const qint64 k = calendar()->firstDisplayedDate().daysTo(date);
        if (!date.isValid() || k < 0 || k >= MonthCalendar::DisplayedDays)
            return nullptr;
        const auto found = m_cells.find(date);
        if (found != m_cells.end())
            return QAccessible::accessibleInterface(found->second);
        auto* made = new DayCell(calendar(), date);
        m_cells.emplace(date, QAccessible::registerAccessibleInterface(made));
        return made;
    }
    // Headers 0 … 6, then the caption.
    QAccessibleInterface* part(int k) const
    {
        if (!m_parts[k]) {
            QAccessibleInterface* made = k < kColumns
                                             ? static_cast<QAccessibleInterface*>(new WeekdayHeader(calendar(), k))
                                             : new MonthCaption(calendar());
            m_parts[k] = QAccessible::registerAccessibleInterface(made);
        }
        return QAccessible::accessibleInterface(m_parts[k]);
    }

private:
    // Only the days on show keep cells, however far the calendar is paged; those
    // of the days shown before stay one change longer, since a screen reader
    // compares the newly focused day with the one it left.
    void dropHiddenCells() const
    {
        const QDate first = calendar()->firstDisplayedDate();
        if (first == m_cellsFirst)
            return;
        const QDate before = std::exchange(m_cellsFirst, first);
        const auto shownFrom = [](const QDate& from, const QDate& date) {
            const qint64 k = from.daysTo(date);
            return from.isValid() && k >= 0 && k < MonthCalendar::DisplayedDays;
        };
        for (auto it = m_cells.begin(); it != m_cells.end();) {
            if (shownFrom(first, it->first) || shownFrom(before, it->first)) {
                ++it;
            } else {
                QAccessible::deleteAccessibleInterface(it->second);
                it = m_cells.erase(it);
            }
        }
    }

    const MonthCalendar* m_calendar; // only a key once the widget is gone
    mutable std::map<QDate, QAccessible::Id> m_cells;
    mutable QDate m_cellsFirst;
    mutable std::array<QAccessible::Id, kColumns + 1> m_parts{};
};

CalendarTable* Part::table() const
{
    return m_calendar ? dynamic_cast<CalendarTable*>(QAccessible::queryAccessibleInterface(m_calendar.data()))
                      : nullptr;
}

QList<QAccessibleInterface*> DayCell::columnHeaderCells() const
{
    CalendarTable* t = Part::table();
    const int column = columnIndex();
    if (!t || column < 0)
        return {};
    return {t->part(column)};
}

QAccessibleInterface* factory(const QString&, QObject* object)
{
    auto* calendar = qobject_cast<MonthCalendar*>(object);
    return calendar ? new CalendarTable(calendar) : nullptr;
}

CalendarTable* tableOf(MonthCalendar* calendar)
{
    if (!QAccessible::isActive() && !withTable().contains(calendar))
        return nullptr;
    return dynamic_cast<CalendarTable*>(QAccessible::queryAccessibleInterface(calendar));
}

void send(QAccessibleInterface* iface, QAccessible::Event type)
{
    if (iface) {
        QAccessibleEvent event(iface, type);
        QAccessible::updateAccessibility(&event);
    }
}

} // namespace

namespace MonthCalendarAccessible {

void install()
{
    static const bool installed = (QAccessible::installFactory(factory), true);
    (void)installed;
}

void daysChanged(MonthCalendar* calendar, bool columnsChanged)
{
    CalendarTable* table = tableOf(calendar);
    if (!table)
        return;
    QAccessibleTableModelChangeEvent reset(calendar, QAccessibleTableModelChangeEvent::ModelReset);
    QAccessible::updateAccessibility(&reset);
    send(table->caption(), QAccessible::NameChanged);
    for (int column = 0; columnsChanged && column < kColumns; ++column)
        send(table->part(column), QAccessible::NameChanged);
}

void valueChanged(MonthCalendar* calendar)
{
    CalendarTable* table = tableOf(calendar);
    if (!table)
        return;
    QAccessibleInterface* cell = table->cell(calendar->value());
    // Only a calendar with the focus may move the screen reader's focus.
    if (calendar->hasFocus())
        send(cell, QAccessible::Focus);
    send(cell, QAccessible::Selection);
}

} // namespace MonthCalendarAccessible
