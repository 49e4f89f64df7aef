#include "platform/MessageBox.h"

#include "platform/AppInfo.h"

#include <QList>
#include <QPushButton>

namespace {

bool g_testing = false;
QList<int> g_answers;
QStringList g_shown;

// Under test, take the next queued answer (or the given default) instead of
// showing the box.
bool answerForTest(const QString& text, int fallback, int* answer)
{
    if (!g_testing)
        return false;
    g_shown << text;
    *answer = g_answers.isEmpty() ? fallback : g_answers.takeFirst();
    return true;
}

QMessageBox::StandardButton show(QMessageBox::Icon icon, QWidget* parent, const QString& text,
                                 QMessageBox::StandardButtons buttons)
{
    int answer = 0;
    if (answerForTest(text, QMessageBox::Ok, &answer))
        return QMessageBox::StandardButton(answer);
    QMessageBox box(icon, AppInfo::title(), text, buttons, parent);
    return QMessageBox::StandardButton(box.exec());
}

} // namespace

namespace MessageBox {

QMessageBox::StandardButton critical(QWidget* parent, const QString& text, QMessageBox::StandardButtons buttons)
{
    return show(QMessageBox::Critical, parent, text, buttons);
}

QMessageBox::StandardButton warning(QWidget* parent, const QString& text, QMessageBox::StandardButtons buttons)
{
    return show(QMessageBox::Warning, parent, text, buttons);
}

QMessageBox::StandardButton information(QWidget* parent, const QString& text)
{
    return show(QMessageBox::Information, parent, text, QMessageBox::Ok);
}

int choose(QWidget* parent, const QString& text, const QStringList& buttonTexts, int escapeIndex)
{
    int answer = 0;
    if (answerForTest(text, escapeIndex, &answer))
        return answer;
    QMessageBox box(QMessageBox::Warning, AppInfo::title(), text, QMessageBox::NoButton, parent);
    QList<QPushButton*> buttons;
    for (const QString& t : buttonTexts)
        buttons << box.addButton(t, QMessageBox::ActionRole);
    if (escapeIndex >= 0 && escapeIndex < buttons.size())
        box.setEscapeButton(buttons[escapeIndex]);
    box.exec();
    const int index = buttons.indexOf(static_cast<QPushButton*>(box.clickedButton()));
    return index < 0 ? escapeIndex : index;
}

void setNextAnswerForTesting(int answer)
{
    g_testing = true;
    g_answers << answer;
}

QStringList shownTextsForTesting() { return g_shown; }

void resetForTesting()
{
    g_testing = true;
    g_answers.clear();
    g_shown.clear();
}

} // namespace MessageBox
