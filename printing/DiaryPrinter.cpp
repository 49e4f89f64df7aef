#include "printing/DiaryPrinter.h"

#include "platform/AppInfo.h"
#include "platform/DateText.h"
#include "platform/Fonts.h"
#include "platform/WidgetColour.h"
#include "store/DayFields.h"
#include "store/DayRecord.h"
#include "store/Diary.h"

#include <QAbstractTextDocumentLayout>
#include <QFileInfo>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QTextDocument>
#include <QUrl>

#include <algorithm>

namespace {

// The page's captions in the design colour of the window's captions.
const QString CaptionColour = QStringLiteral("#a9720c");
const QString RuleColour = QStringLiteral("#c8b48c");
const QString HeaderBack = QStringLiteral("#f5e8c7"); // the window's background

bool hasEntry(const Day& day)
{
    if (!day.weather.trimmed().isEmpty())
        return true;
    const auto boxes = day.boxTexts();
    return std::any_of(boxes.cbegin(), boxes.cend(), [](const auto& box) { return !box.second.trimmed().isEmpty(); });
}

// Paper is white: the desktop's own text colour, light on a dark desktop,
// prints black; a chosen colour prints as chosen.
QString colourOf(const Day& day, int field)
{
    const auto colour = day.colour(field);
    if (!colour || colour->isSystem())
        return QStringLiteral("#000000");
    return resolveColour(*colour, QPalette()).name();
}

// An entry's text as HTML, its line breaks (of any system) kept. An empty
// cell would let the layout drop the margin of the caption below its table.
QString textHtml(QString text)
{
    if (text.isEmpty())
        return QStringLiteral("&nbsp;");
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text.toHtmlEscaped().replace(QLatin1Char('\n'), QStringLiteral("<br>"));
}

// Lengths in pixels are screen pixels (1/96 inch): the layout scales them to the device.
QString caption(const QString& text)
{
    return QStringLiteral("<p style=\"margin-top:16px; margin-bottom:4px; font-size:12pt; font-weight:bold; "
                          "color:%1\">%2</p>")
        .arg(CaptionColour, text);
}

// An entry box: its text in a frame, in the day's colour for it, at least
// some lines high so that a short entry still looks like its box.
QString box(const QString& text, const QString& colour, int minLines)
{
    // About 45 characters fill a line of a box across the page.
    qsizetype lines = 0;
    for (const QString& paragraph : QString(text).replace(QLatin1Char('\r'), QString()).split(QLatin1Char('\n')))
        lines += std::max<qsizetype>(1, (paragraph.size() + 44) / 45);
    QString html = textHtml(text);
    for (; lines < minLines; ++lines)
        html += QStringLiteral("<br>");
    return QStringLiteral(
               "<table width=\"100%\" border=\"1\" cellspacing=\"0\" cellpadding=\"6\" "
               "style=\"border-color:%1; border-style:solid\"><tr><td style=\"color:%2\">%3</td></tr></table>")
        .arg(RuleColour, colour, html);
}

QString dayHtml(const QDate& date, const Day& day, bool hasPicture)
{
    QString weather = QStringLiteral("&nbsp;"); // an empty cell would take the rule below with it
    if (!day.weather.isEmpty()) {
        // The icon's name is the weather's: はれ, くもり, ... from any stored path.
        const QString name =
            QFileInfo(QString(day.weather).replace(QLatin1Char('\\'), QLatin1Char('/'))).completeBaseName();
        weather =
            QStringLiteral("<span style=\"font-size:11pt; color:%1\">今日の天気</span>&nbsp;&nbsp;").arg(CaptionColour);
        if (hasPicture)
            weather += QStringLiteral(
                "<img src=\"weather:mark\" width=\"36\" height=\"36\" style=\"vertical-align:middle\">&nbsp;");
        weather += QStringLiteral("<span style=\"font-size:11pt\">%1</span>").arg(name.toHtmlEscaped());
    }
    QString html =
        QStringLiteral("<table width=\"100%\" cellspacing=\"0\" cellpadding=\"0\"><tr>"
                       "<td valign=\"middle\"><span style=\"font-size:18pt; font-weight:bold\">%1</span></td>"
                       "<td align=\"right\" valign=\"middle\">%2</td></tr></table>"
                       "<hr style=\"background-color:%3\">")
            .arg(DateText::withWeekday(date), weather, CaptionColour);
    const auto boxName = [](const QString& column) { return DayFields::named(column)->boxName; };
    html += caption(boxName(DayRecord::plan())) + box(day.plan, colourOf(day, Day::PlanColour), 3);
    html += caption(boxName(DayRecord::attendance())) + box(day.attendance, QStringLiteral("#000000"), 1);

    html += caption(QStringLiteral("時間割・授業内容"));
    html +=
        QStringLiteral("<table width=\"100%\" border=\"1\" cellspacing=\"0\" cellpadding=\"5\" "
                       "style=\"border-color:%1; border-style:solid\">"
                       "<thead><tr style=\"background-color:%2\"><th width=\"6%\">時間</th><th width=\"28%\">教科</th>"
                       "<th>授業内容</th></tr></thead>")
            .arg(RuleColour, HeaderBack);
    for (int k = 0; k < Day::Periods; ++k) {
        const QString colour = colourOf(day, Day::periodColour(k));
        html += QStringLiteral("<tr><td align=\"center\" valign=\"middle\" style=\"font-size:14pt; font-weight:bold; "
                               "font-style:italic; color:%1\">%2</td>"
                               "<td style=\"font-family:'%3'; font-size:11pt; color:%4\">%5</td>"
                               "<td style=\"font-family:'%3'; color:%4\">%6</td></tr>")
                    .arg(CaptionColour)
                    .arg(k + 1)
                    .arg(Fonts::Mincho, colour, textHtml(day.subjects[size_t(k)]), textHtml(day.contents[size_t(k)]));
    }
    html += QStringLiteral("</table>");
    html += caption(boxName(DayRecord::impressions())) + box(day.impressions, colourOf(day, Day::ImpressionsColour), 5);
    return html;
}

void drawTitlePage(QPainter& painter, const QRectF& page, const PrintRange& range, qsizetype dayCount)
{
    const struct {
        QString text;
        double points;
        bool bold;
        QColor colour;
        double top; // share of the page height
    } lines[] = {
        {AppInfo::title(), 14, false, QColor(CaptionColour), 0.28},
        {range.name() + QStringLiteral("の日記"), 26, true, Qt::black, 0.34},
        {QStringLiteral("%1〜%2").arg(DateText::withWeekday(range.first), DateText::withWeekday(range.last)), 12, false,
         Qt::black, 0.44},
        {dayCount ? QStringLiteral("書いた日：%1日").arg(dayCount) : QStringLiteral("書いた日はありません"), 12, false,
         Qt::black, 0.49},
    };
    for (const auto& line : lines) {
        painter.setFont(Fonts::font(Fonts::Gothic, line.points, line.bold));
        painter.setPen(line.colour);
        painter.drawText(QRectF(page.left(), page.top() + page.height() * line.top, page.width(), page.height() * 0.1),
                         Qt::AlignHCenter | Qt::AlignTop, line.text);
    }
}

// The foot of a day's page: the program and the day, with the page's number
// when the day runs over several.
void drawFooter(QPainter& painter, const QRectF& band, const QDate& date, int page, int pages)
{
    painter.setFont(Fonts::font(Fonts::Gothic, 8));
    painter.setPen(QColor(RuleColour).darker(130));
    painter.drawText(band, Qt::AlignLeft | Qt::AlignBottom, AppInfo::title());
    QString day = DateText::withWeekday(date);
    if (pages > 1)
        day += QStringLiteral("（%1/%2）").arg(page + 1).arg(pages);
    painter.drawText(band, Qt::AlignRight | Qt::AlignBottom, day);
}

} // namespace

DiaryPrinter::DiaryPrinter(Diary& diary, WeatherLoader weather)
    : m_diary(diary)
    , m_weather(std::move(weather))
{
}

QList<std::pair<QDate, Day>> DiaryPrinter::daysOf(const PrintRange& range) const
{
    if (range.span == PrintRange::Day)
        return {{range.first, m_diary.day(range.first)}};
    QList<std::pair<QDate, Day>> days;
    m_diary.forEachDay([&](const QDate& date, const Day& day) {
        if (date >= range.first && date <= range.last && hasEntry(day))
            days.append({date, day});
    });
    return days;
}

bool DiaryPrinter::print(const PrintRange& range, const QList<std::pair<QDate, Day>>& days,
                         QPagedPaintDevice* device) const
{
    QPainter painter;
    if (!painter.begin(device))
        return false;
    // The device's coordinates cover the printable area, in its own resolution.
    const QRectF page(0, 0, device->width(), device->height());
    const qreal footerHeight = 8 * 2.5 * device->logicalDpiY() / 72.0; // 8-point lines
    bool firstPage = true;
    const auto startPage = [&] {
        if (!firstPage)
            device->newPage();
        firstPage = false;
    };
    if (range.span != PrintRange::Day) {
        startPage();
        drawTitlePage(painter, page, range, days.size());
    }
    for (const auto& [date, day] : days) {
        QTextDocument document;
        // Laid out for the device, so that points and pictures keep their size on paper.
        document.documentLayout()->setPaintDevice(device);
        document.setDefaultFont(Fonts::font(Fonts::Gothic, 10.5));
        QTextOption option = document.defaultTextOption();
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        document.setDefaultTextOption(option);
        document.setDocumentMargin(0);
        const QPixmap mark = day.weather.isEmpty() ? QPixmap() : m_weather(day.weather);
        if (!mark.isNull())
            document.addResource(QTextDocument::ImageResource, QUrl(QStringLiteral("weather:mark")), mark.toImage());
        document.setHtml(dayHtml(date, day, !mark.isNull()));
        // A page size makes the layout break between lines, never through one.
        const QSizeF body(page.width(), page.height() - footerHeight);
        document.setPageSize(body);
        const int pages = document.pageCount();
        for (int i = 0; i < pages; ++i) {
            startPage();
            painter.save();
            painter.translate(0, -i * body.height());
            document.drawContents(&painter, QRectF(0, i * body.height(), body.width(), body.height()));
            painter.restore();
            drawFooter(painter, QRectF(0, body.height(), page.width(), footerHeight), date, i, pages);
        }
    }
    return painter.end();
}
