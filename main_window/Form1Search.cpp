// The search window's ties to the main window: Ctrl+F and the entry boxes'
// context menus open it, and a result it shows is a click on that day, the
// cursor then in the box at the word.
#include "main_window/Form1.h"

#include "platform/EntryBox.h"
#include "platform/MonthCalendar.h"
#include "search/SearchWindow.h"
#include "store/DayRecord.h"

#include <QAction>
#include <QLineEdit>
#include <QTextCursor>
#include <QTextDocument>

namespace {

EntryBox* boxOf(const Form1& form, const QString& column)
{
    if (column == DayRecord::plan())
        return form.Text1;
    if (column == DayRecord::attendance())
        return form.Text2;
    for (size_t k = 0; k < form.Text3.size(); ++k) {
        if (column == DayRecord::subject(int(k)))
            return form.Text3[k];
        if (column == DayRecord::content(int(k)))
            return form.Text4[k];
    }
    return column == DayRecord::impressions() ? form.Text5 : nullptr;
}

} // namespace

void Form1::createSearchAction()
{
    auto* action = new QAction(QStringLiteral("検索…"), this);
    action->setObjectName(QStringLiteral("searchAction"));
    action->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    action->setShortcutContext(Qt::WindowShortcut);
    connect(action, &QAction::triggered, this, &Form1::openSearch);
    addAction(action);
    for (EntryBox* box : findChildren<EntryBox*>())
        box->addAction(action);
}

SearchWindow* Form1::searchWindow() const { return m_search.data(); }

void Form1::openSearch()
{
    if (!m_search)
        m_search = new SearchWindow(*m_diary, [this](const SearchHit& hit) {
            showFoundDay(hit.date);
            EntryBox* box = boxOf(*this, hit.column);
            if (!box || MonthView1->value() != hit.date)
                return;
            // The text may have changed since the search: the cursor stays inside it.
            QTextCursor cursor = box->textCursor();
            cursor.setPosition(
                int(qMin(DiarySearch::span(hit).first, qsizetype(box->document()->characterCount() - 1))));
            box->setTextCursor(cursor);
            box->setFocus(Qt::OtherFocusReason);
        });
    m_search->show();
    m_search->raise();
    m_search->activateWindow();
    // Typing again replaces the last word.
    m_search->wordField->setFocus(Qt::ShortcutFocusReason);
    m_search->wordField->selectAll();
}

void Form1::showFoundDay(const QDate& date)
{
    // What a click on the day does: the colours of the day left, then its date.
    MonthView1_MouseDown();
    if (!MonthView1->setValue(date))
        return;
    MonthView1_DateClick(date);
    raise();
    activateWindow();
}
