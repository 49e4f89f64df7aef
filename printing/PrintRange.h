// What goes on paper: the day on screen, its week, its month or the whole
// year; how the range is named on the title page and in the PDF's file name,
// and the dialogs that ask for the range and the file.
#pragma once

#include <QDate>
#include <QString>

#include <optional>

class QFileDialog;
class QWidget;

struct PrintRange {
    enum Span { Day, Week, Month, Year };

    Span span = Month;
    QDate first;
    QDate last;

    // The range of a span around a date, kept within the diary's year. A week
    // starts on the calendar's first weekday (1 Sunday ... 7 Saturday).
    static PrintRange around(const QDate& date, Span span, int weekStart);

    // "2002年5月10日(金)", "2002年5月5日〜11日", "2002年5月", "2002年度"
    QString name() const;
    // "日記_2002年5月10日.pdf", "日記_2002年5月5日の週.pdf", "日記_2002年5月.pdf", "日記_2002年度.pdf"
    QString fileName() const;
};

namespace PrintRangeDialog {

// Asks which range to print or export, the month preselected; nothing when cancelled.
std::optional<PrintRange::Span> choose(QWidget* parent, const QString& title, const QDate& date, int weekStart);
// Asks where to save the PDF with the suggested path filled in; empty when cancelled.
QString savePath(QWidget* parent, const QString& suggested);
// The dialog savePath shows, not yet shown; the caller owns it.
QFileDialog* saveDialog(QWidget* parent, const QString& suggested);

// Test seams: queued answers replace the dialogs, and an unanswered one
// cancels. An empty path takes the suggested one, as Enter does.
void setNextAnswerForTesting(std::optional<PrintRange::Span> span);
void setNextSavePathForTesting(const QString& path);
void resetForTesting();

} // namespace PrintRangeDialog
