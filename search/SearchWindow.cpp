#include "search/SearchWindow.h"

#include "platform/Fonts.h"
#include "platform/InputMethodSwitch.h"
#include "platform/WidgetColour.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QHash>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QStaticText>
#include <QStyledItemDelegate>
#include <QTreeView>
#include <QVBoxLayout>
#include <QtMath>

#include <optional>

namespace {

// What a row shows, made when the row is first drawn: the list holds up to
// every box of the year, the screen a score of them.
struct Shown {
    QString date, box, count;
    SearchSnippet parts;
};

} // namespace

// The hits of the last search as the list's rows: date, box, snippet.
class SearchResults : public QAbstractTableModel {
public:
    using QAbstractTableModel::QAbstractTableModel;

    void setHits(QList<SearchHit> hits)
    {
        // As many rows as before: the view keeps its rows and only repaints them.
        const bool sameRows = hits.size() == m_hits.size();
        if (!sameRows)
            beginResetModel();
        m_hits = std::move(hits);
        m_shown.clear();
        if (!sameRows)
            endResetModel();
        else if (!m_hits.isEmpty())
            emit dataChanged(index(0, 0), index(rowCount() - 1, 2));
    }
    const QList<SearchHit>& hits() const { return m_hits; }

    const Shown& shown(int row) const
    {
        auto it = m_shown.find(row);
        if (it == m_shown.end()) {
            const SearchHit& hit = m_hits[row];
            it = m_shown.insert(row, {DiarySearch::dateCaption(hit.date), DiarySearch::boxCaption(hit.column),
                                      QStringLiteral("（%1 か所）").arg(hit.count), DiarySearch::snippet(hit)});
        }
        return *it;
    }

    int rowCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : int(m_hits.size()); }
    int columnCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : 3; }

    QVariant data(const QModelIndex& index, int role) const override
    {
        if (!index.isValid() || role != Qt::DisplayRole)
            return {};
        const Shown& row = shown(index.row());
        if (index.column() == 0)
            return row.date;
        if (index.column() == 1)
            return row.box;
        return row.parts.before + QStringLiteral("【") + row.parts.match + QStringLiteral("】") + row.parts.after
               + row.count;
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
            return {};
        static const char16_t* const titles[3] = {u"日付", u"欄", u"書いてあること"};
        return QString::fromUtf16(titles[section]);
    }

private:
    QList<SearchHit> m_hits;
    mutable QHash<int, Shown> m_shown;
};

namespace {

// Draws the rows without the style's text layout, which wraps and elides
// every cell anew at each repaint: captions and counts are laid out once,
// the snippet with the word in bold on a marker colour.
class ResultDelegate : public QStyledItemDelegate {
public:
    ResultDelegate(const SearchResults* results, QObject* parent)
        : QStyledItemDelegate(parent)
        , m_results(results)
    {
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyleOptionViewItem opt(option);
        opt.index = index;
        const QWidget* view = opt.widget;
        QStyle* style = view ? view->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, view);
        QRect area = style->subElementRect(QStyle::SE_ItemViewItemText, &opt, view).adjusted(3, 0, -3, 0);
        const bool selected = opt.state & QStyle::State_Selected;
        const Shown& row = m_results->shown(index.row());
        painter->save();
        painter->setClipRect(area);
        painter->setFont(opt.font);
        painter->setPen(opt.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
        if (index.column() < 2) {
            drawLaidOut(painter, area, index.column() == 0 ? row.date : row.box, false);
        } else {
            area.setRight(drawLaidOut(painter, area, row.count, true) - 4);
            drawSnippet(painter, area, opt.font, row.parts, selected);
        }
        painter->restore();
    }

private:
    // Left or right in area; returns the left edge of what was drawn.
    int drawLaidOut(QPainter* painter, const QRect& area, const QString& text, bool right) const
    {
        // Dates, captions and counts repeat: a year has a few hundred of them.
        if (m_laidOut.size() > 2000)
            m_laidOut.clear();
        auto it = m_laidOut.find(text);
        if (it == m_laidOut.end()) {
            it = m_laidOut.insert(text, QStaticText(text));
            it->setTextFormat(Qt::PlainText);
            it->prepare(QTransform(), painter->font());
        }
        const QSizeF size = it->size();
        const int x = right ? area.right() + 1 - qCeil(size.width()) : area.left();
        painter->drawStaticText(QPointF(x, area.top() + (area.height() - size.height()) / 2), *it);
        return x;
    }

    static void drawSnippet(QPainter* painter, const QRect& area, QFont font, const SearchSnippet& parts, bool selected)
    {
        // Drawing gives the width the next part starts after: each part is laid out as few times as it can be.
        const QString* texts[3] = {&parts.before, &parts.match, &parts.after};
        int x = area.left();
        for (int i = 0; i < 3 && x <= area.right(); ++i) {
            font.setBold(i == 1);
            painter->setFont(font);
            const QRect rest(x, area.top(), area.right() - x + 1, area.height());
            if (i == 1 && !selected) {
                const int width = QFontMetrics(font).horizontalAdvance(*texts[i]);
                painter->fillRect(QRect(x, area.top() + 1, width, area.height() - 2), QColor(255, 230, 120));
            }
            const QString text =
                i == 2 ? QFontMetrics(font).elidedText(*texts[i], Qt::ElideRight, rest.width()) : *texts[i];
            QRect drawn;
            painter->drawText(rest, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text, &drawn);
            x += drawn.width();
        }
    }

    const SearchResults* m_results;
    mutable QHash<QString, QStaticText> m_laidOut;
};

} // namespace

SearchWindow::SearchWindow(Diary& diary, std::function<void(const SearchHit&)> showHit)
    : QWidget(nullptr, Qt::Window)
    , m_diary(diary)
    , m_showHit(std::move(showHit))
{
    setObjectName(QStringLiteral("SearchWindow"));
    setWindowTitle(QStringLiteral("日記の検索"));
    setWindowIcon(QIcon(QStringLiteral(":/window.ico")));
    setFont(Fonts::font(Fonts::Gothic, 9));
    setWidgetColour(this, QPalette::Window, ColourValue(0x00FDE8C4));
    setAutoFillBackground(true);

    auto* prompt = new QLabel(QStringLiteral("探す言葉(&F):"), this);
    wordField = new QLineEdit(this);
    wordField->setObjectName(QStringLiteral("wordField"));
    wordField->setClearButtonEnabled(true);
    prompt->setBuddy(wordField);
    countLabel = new QLabel(this);
    countLabel->setObjectName(QStringLiteral("countLabel"));
    // Its name is its text, which a screen reader is told of as it changes.
    countLabel->setAccessibleDescription(QStringLiteral("見つかった日と欄の数"));

    m_results = new SearchResults(this);
    resultList = new QTreeView(this);
    resultList->setObjectName(QStringLiteral("resultList"));
    resultList->setModel(m_results);
    resultList->setItemDelegate(new ResultDelegate(m_results, resultList));
    resultList->setAccessibleName(QStringLiteral("検索結果"));
    resultList->setRootIsDecorated(false);
    resultList->setUniformRowHeights(true);
    resultList->setAllColumnsShowFocus(true);
    resultList->setAlternatingRowColors(true);
    resultList->setSelectionBehavior(QAbstractItemView::SelectRows);
    resultList->setSelectionMode(QAbstractItemView::SingleSelection);
    resultList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Fixed widths: measuring every row's text would cost more than the search.
    const QFontMetrics metrics(font());
    resultList->header()->setStretchLastSection(true);
    resultList->header()->resizeSection(0, metrics.horizontalAdvance(QStringLiteral("2002年12月31日(火)")) + 16);
    resultList->header()->resizeSection(1, metrics.horizontalAdvance(QStringLiteral("7時間目 授業内容")) + 16);

    auto* fieldRow = new QHBoxLayout;
    fieldRow->addWidget(prompt);
    fieldRow->addWidget(wordField, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fieldRow);
    layout->addWidget(resultList, 1);
    layout->addWidget(countLabel);
    resize(640, 420);

    connect(wordField, &QLineEdit::textChanged, this, &SearchWindow::search);
    connect(wordField, &QLineEdit::returnPressed, this, &SearchWindow::wordEntered);
    connect(resultList, &QAbstractItemView::activated, this, &SearchWindow::showSelected);
    wordField->installEventFilter(this);
    m_search.prepare(m_diary);
    search();
}

SearchWindow::~SearchWindow() = default;

void SearchWindow::search()
{
    // The row selected before stays selected while it is still found.
    const QModelIndex current = resultList->currentIndex();
    std::optional<std::pair<QDate, QString>> kept;
    if (current.isValid() && m_listedWord == wordField->text())
        kept = {m_results->hits()[current.row()].date, m_results->hits()[current.row()].column};

    m_listedWord = wordField->text();
    m_results->setHits(m_search.find(m_diary, m_listedWord));
    const QList<SearchHit>& hits = m_results->hits();
    int row = 0;
    for (int i = 0; kept && i < hits.size(); ++i) {
        if (hits[i].date == kept->first && hits[i].column == kept->second)
            row = i;
    }
    if (!hits.isEmpty())
        resultList->setCurrentIndex(m_results->index(row, 0));

    // The hits come by date.
    int days = 0;
    for (qsizetype i = 0; i < hits.size(); ++i)
        days += i == 0 || hits[i].date != hits[i - 1].date;
    if (m_listedWord.trimmed().isEmpty())
        countLabel->setText(QStringLiteral("ひらがなとカタカナ、全角と半角、大文字と小文字は同じ字として探します。"));
    else if (hits.isEmpty())
        countLabel->setText(QStringLiteral("「%1」は見つかりませんでした。").arg(m_listedWord.trimmed()));
    else
        countLabel->setText(
            QStringLiteral("%1 日の %2 の欄に見つかりました。Enter でその欄を表示します。").arg(days).arg(hits.size()));
}

void SearchWindow::wordEntered()
{
    if (m_listedWord != wordField->text())
        search();
    else
        showSelected();
}

void SearchWindow::showSelected()
{
    const QModelIndex current = resultList->currentIndex();
    if (current.isValid() && m_showHit)
        m_showHit(m_results->hits()[current.row()]);
}

bool SearchWindow::event(QEvent* event)
{
    // The diary may have changed while another window was active.
    if (event->type() == QEvent::WindowActivate && !m_listedWord.isEmpty())
        search();
    return QWidget::event(event);
}

bool SearchWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == wordField && event->type() == QEvent::FocusIn)
        InputMethodSwitch::turnOnJapanese();
    // The arrow keys in the field move through the results.
    if (watched == wordField && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_PageUp || key == Qt::Key_PageDown) {
            QCoreApplication::sendEvent(resultList, event);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void SearchWindow::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape)
        close();
    else
        QWidget::keyPressEvent(event);
}
