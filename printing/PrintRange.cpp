#include "printing/PrintRange.h"

#include "platform/DateText.h"
#include "platform/FaceButton.h"
#include "platform/Fonts.h"
#include "platform/WidgetColour.h"
#include "store/SchoolYear.h"

#include <QButtonGroup>
#include <QDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QList>
#include <QRadioButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// The colours of the design's other dialogs (the colour settings).
constexpr ColourValue DialogBack{0x00FDE8C4};
constexpr ColourValue ConfirmFace{0x00FCD89C};

bool g_testing = false;
QList<std::optional<PrintRange::Span>> g_spans;
QStringList g_paths;

} // namespace

PrintRange PrintRange::around(const QDate& date, Span span, int weekStart)
{
    PrintRange range{span, date, date};
    switch (span) {
    case Day: break;
    case Week: {
        const int startDay = weekStart == 1 ? Qt::Sunday : weekStart - 1;
        range.first = date.addDays(-((date.dayOfWeek() - startDay + 7) % 7));
        range.last = range.first.addDays(6);
        break;
    }
    case Month:
        range.first = QDate(date.year(), date.month(), 1);
        range.last = range.first.addMonths(1).addDays(-1);
        break;
    case Year:
        range.first = DiaryYear.first;
        range.last = DiaryYear.last();
        break;
    }
    range.first = std::max(range.first, DiaryYear.first);
    range.last = std::min(range.last, DiaryYear.last());
    return range;
}

QString PrintRange::name() const
{
    switch (span) {
    case Day: return DateText::withWeekday(first);
    case Week: {
        QString end = QStringLiteral("%1日").arg(last.day());
        if (last.month() != first.month())
            end = last.year() == first.year() ? QStringLiteral("%1月%2").arg(last.month()).arg(end)
                                              : DateText::date(last);
        return DateText::date(first) + QStringLiteral("〜") + end;
    }
    case Month: return QStringLiteral("%1年%2月").arg(first.year()).arg(first.month());
    case Year: break;
    }
    return QStringLiteral("%1年度").arg(DiaryYear.first.year());
}

QString PrintRange::fileName() const
{
    const QString what = span == Day    ? DateText::date(first)
                         : span == Week ? DateText::date(first) + QStringLiteral("の週")
                                        : name();
    return QStringLiteral("日記_%1.pdf").arg(what);
}

namespace PrintRangeDialog {

std::optional<PrintRange::Span> choose(QWidget* parent, const QString& title, const QDate& date, int weekStart)
{
    if (g_testing)
        return g_spans.isEmpty() ? std::nullopt : g_spans.takeFirst();

    QDialog dialog(parent);
    dialog.setWindowTitle(title);
    dialog.setFont(Fonts::font(Fonts::Gothic, 9));
    setWidgetColour(&dialog, QPalette::Window, DialogBack);
    dialog.setAutoFillBackground(true);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(new QLabel(QStringLiteral("範囲を選んでください。"), &dialog));
    QButtonGroup group;
    const struct {
        PrintRange::Span span;
        const char* caption;
    } choices[] = {
        {PrintRange::Day, "日"}, {PrintRange::Week, "週"}, {PrintRange::Month, "月"}, {PrintRange::Year, "年"}};
    for (const auto& choice : choices) {
        const PrintRange range = PrintRange::around(date, choice.span, weekStart);
        QString text = QString::fromUtf8(choice.caption) + QStringLiteral("　") + range.name();
        if (choice.span == PrintRange::Year)
            text += QStringLiteral("（%1年4月〜%2年3月）").arg(range.first.year()).arg(range.last.year());
        auto* button = new QRadioButton(text, &dialog);
        button->setChecked(choice.span == PrintRange::Month);
        group.addButton(button, choice.span);
        layout->addWidget(button);
    }
    auto* buttons = new QHBoxLayout;
    auto* ok = new FaceButton(QStringLiteral("OK"), ConfirmFace, &dialog);
    auto* cancel = new FaceButton(QStringLiteral("キャンセル"), ConfirmFace, &dialog);
    for (FaceButton* button : {ok, cancel})
        button->setMinimumSize(92, 23);
    ok->setDefault(true);
    QObject::connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
    QObject::connect(cancel, &QPushButton::clicked, &dialog, &QDialog::reject);
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
    group.checkedButton()->setFocus();
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return PrintRange::Span(group.checkedId());
}

QString savePath(QWidget* parent, const QString& suggested)
{
    QString path;
    if (g_testing) {
        if (g_paths.isEmpty())
            return {};
        path = g_paths.takeFirst();
        return path.isEmpty() ? suggested : path;
    }
    path = QFileDialog::getSaveFileName(parent, QStringLiteral("PDFに書き出す"), suggested,
                                        QStringLiteral("PDF ファイル (*.pdf)"));
    // A name typed without a suffix still makes a file that opens as a PDF.
    if (!path.isEmpty() && QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".pdf");
    return path;
}

void setNextAnswerForTesting(std::optional<PrintRange::Span> span)
{
    g_testing = true;
    g_spans << span;
}

void setNextSavePathForTesting(const QString& path)
{
    g_testing = true;
    g_paths << path;
}

void resetForTesting()
{
    g_testing = true;
    g_spans.clear();
    g_paths.clear();
}

} // namespace PrintRangeDialog
