// The search window's ties to the main window: Ctrl+F and the entry boxes'
// context menus open it (Form1::createShortcuts), and a result it shows is a
// click on that day, the cursor then in the box at the word.
#include "main_window/Form1.h"

#include "main_window/DataControl.h"
#include "platform/EntryBox.h"
#include "platform/MonthCalendar.h"
#include "search/SearchWindow.h"

#include <QLineEdit>
#include <QTextCursor>
#include <QTextDocument>

SearchWindow* Form1::searchWindow() const { return m_search.data(); }

void Form1::openSearch()
{
    if (!m_search) {
        m_search = new SearchWindow(*m_diary, [this](const SearchHit& hit) {
            showFoundDay(hit.date);
            // The box bound to the column the word was found in.
            auto* box = dynamic_cast<EntryBox*>(Data1->fieldOf(hit.column));
            if (!box || MonthView1->value() != hit.date)
                return;
            // The text may have changed since the search: the cursor stays inside it.
            QTextCursor cursor = box->textCursor();
            cursor.setPosition(
                int(qMin(DiarySearch::span(hit).first, qsizetype(box->document()->characterCount() - 1))));
            box->setTextCursor(cursor);
            box->setFocus(Qt::OtherFocusReason);
        });
        m_search->installEventFilter(this);
    }
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
