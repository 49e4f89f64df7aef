#include "printing/PrintRange.h"

#include "platform/DateText.h"
#include "platform/FaceButton.h"
#include "platform/Fonts.h"
#include "platform/WidgetColour.h"
#include "store/SchoolYear.h"

#include <QAbstractFileIconProvider>
#include <QButtonGroup>
#include <QDateTime>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QList>
#include <QLocale>
#include <QMimeDatabase>
#include <QRadioButton>
#include <QStyleOptionHeader>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>
#include <memory>

namespace {

// The colours of the design's other dialogs (the colour settings).
constexpr ColourValue DialogBack{0x00FDE8C4};
constexpr ColourValue ConfirmFace{0x00FCD89C};

bool g_testing = false;
QList<std::optional<PrintRange::Span>> g_spans;
QStringList g_paths;

// The widest of what a detail view column shows: its heading and values like
// those in a folder of diaries. Qt sizes the columns for English headings and
// English sample values, which cut the Japanese and the longer values short.
int columnWidth(const QHeaderView* header, const QTreeView* view, int column, const QStringList& values)
{
    QStyleOptionHeader heading;
    heading.initFrom(header);
    QFont bold = header->font(); // the header measures its sections in bold
    bold.setBold(true);
    heading.fontMetrics = QFontMetrics(bold);
    heading.text = header->model()->headerData(column, Qt::Horizontal).toString();
    heading.sortIndicator = QStyleOptionHeader::SortDown; // room for the mark when sorted by it
    int width = header->style()->sizeFromContents(QStyle::CT_HeaderSection, &heading, QSize(), header).width();
    const int margin = 2 * (view->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view) + 1);
    for (const QString& value : values)
        width = std::max(width, view->fontMetrics().horizontalAdvance(value) + margin);
    return width;
}

void widenDetailColumns(QFileDialog* dialog)
{
    auto* view = dialog->findChild<QTreeView*>();
    if (!view || view->header()->count() < 4)
        return;
    QHeaderView* header = view->header();
    const QLocale locale = QLocale::system(); // as the file system model writes sizes and dates
    QStringList dates;
    for (int month = 1; month <= 12; ++month)
        dates << locale.toString(QDateTime(QDate(2002, month, 28), QTime(23, 59, 59)), QLocale::ShortFormat);
    const QStringList values[4] = {
        {},
        {locale.formattedDataSize(qint64(999.99 * 1024)), locale.formattedDataSize(qint64(999.99 * 1024 * 1024))},
        {dialog->iconProvider() ? dialog->iconProvider()->type(QFileInfo(QDir::homePath())) : QString(),
         QMimeDatabase().mimeTypeForName(QStringLiteral("application/pdf")).comment()},
        dates};
    for (int column = 0; column < 4; ++column) {
        const int width = columnWidth(header, view, column, values[column]);
        if (header->sectionSize(column) < width)
            header->resizeSection(column, width);
    }
}

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
    const std::unique_ptr<QFileDialog> dialog(saveDialog(parent, suggested));
    if (dialog->exec() == QDialog::Accepted && !dialog->selectedFiles().isEmpty())
        path = dialog->selectedFiles().constFirst();
    // A name typed without a suffix still makes a file that opens as a PDF.
    if (!path.isEmpty() && QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".pdf");
    return path;
}

QFileDialog* saveDialog(QWidget* parent, const QString& suggested)
{
    auto* dialog =
        new QFileDialog(parent, QStringLiteral("PDFに書き出す"), suggested, QStringLiteral("PDF ファイル (*.pdf)"));
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    // Added before the dialog looks for the file, so that replacing one is asked.
    dialog->setDefaultSuffix(QStringLiteral("pdf"));
    // Qt's own dialog, in Japanese like the rest, with the columns fitted below.
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    widenDetailColumns(dialog);
    return dialog;
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
