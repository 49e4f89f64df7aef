#include "support/DiaryFixture.h"

#include "main_window/Form1.h"
#include "main_window/Form1Controls.h"
#include "platform/ColourChooser.h"
#include "platform/Fonts.h"
#include "platform/MessageBox.h"
#include "platform/MonthCalendar.h"
#include "platform/workbook/Workbook.h"
#include "printing/PrintRange.h"
#include "store/DiaryStore.h"

#include <QInputMethodEvent>
#include <QTest>

DiaryFixture::DiaryFixture(const QDate& today)
    : m_folder(today)
{
    MessageBox::resetForTesting();
    ColourChooser::resetForTesting();
    PrintRangeDialog::resetForTesting();
    Fonts::installSubstitutions();
}

DiaryFixture::~DiaryFixture() { m_form.reset(); }

QString DiaryFixture::workbookPath() const { return DiaryStore::workbookPath(); }

bool DiaryFixture::start(QString* message)
{
    m_form = std::make_unique<Form1>();
    QString why;
    if (!m_form->Form_Load(&why)) {
        if (message)
            *message = why;
        m_form.reset();
        return false;
    }
    m_form->show();
    m_form->Form_Activate();
    return true;
}

bool DiaryFixture::closeWindow()
{
    const bool closed = m_form->close();
    if (closed)
        m_form.reset();
    return closed;
}

void DiaryFixture::clickDate(const QDate& date, Qt::MouseButton button)
{
    MonthCalendar* calendar = controlsOf(m_form.get()).MonthView1;
    if (calendar->dayRect(date).isNull()) {
        // Page through the months with the arrows, as a user would.
        const bool forward = date > calendar->value();
        for (int i = 0; i < 12 && calendar->dayRect(date).isNull(); ++i) {
            const QRect arrow = forward ? calendar->nextArrowRect() : calendar->previousArrowRect();
            QTest::mouseClick(calendar, Qt::LeftButton, {}, arrow.center());
        }
    }
    const QRect cell = calendar->dayRect(date);
    if (cell.isNull())
        qFatal("day %s is not on show", qPrintable(date.toString(Qt::ISODate)));
    QTest::mouseClick(calendar, button, {}, cell.center());
}

void DiaryFixture::type(QWidget* widget, const QString& text)
{
    widget->setFocus(Qt::OtherFocusReason);
    QInputMethodEvent commit;
    commit.setCommitString(text);
    QCoreApplication::sendEvent(widget, &commit);
}

QString DiaryFixture::fileField(int record, const QString& column) const
{
    workbook::Error error;
    auto book = workbook::Workbook::open(workbookPath(), &error);
    if (!book)
        return QStringLiteral("<cannot open: %1>").arg(error.detail);
    workbook::RecordTable table;
    if (!book->readTable(QStringLiteral("Sheet1"), &table, &error))
        return QStringLiteral("<no sheet>");
    return table.field(record - 1, table.columnIndex(column));
}
