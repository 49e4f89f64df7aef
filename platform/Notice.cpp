#include "platform/Notice.h"

#include "platform/AppInfo.h"

#include <QAccessible>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

namespace {

constexpr int MaxTexts = 4; // the oldest go first: the newest say what holds now
const QString Separator = QStringLiteral("\n\n");

} // namespace

Notice::Notice(QWidget* owner)
    : QWidget(owner, Qt::Tool | Qt::WindowDoesNotAcceptFocus)
    , m_owner(owner)
    , m_text(new QLabel(this))
    , m_close(new QPushButton(QStringLiteral("閉じる"), this))
{
    setObjectName(QStringLiteral("Notice"));
    setWindowTitle(AppInfo::title() + QStringLiteral(" のお知らせ"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
    setAccessibleName(QStringLiteral("日記のお知らせ"));
    m_text->setWordWrap(true);
    m_text->setTextFormat(Qt::PlainText);
    // A click closes it; a key never does, because it never has the focus.
    m_close->setFocusPolicy(Qt::NoFocus);
    m_close->setAutoDefault(false);
    connect(m_close, &QPushButton::clicked, this, [this] {
        hide();
        m_text->clear();
    });
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(m_text, 1);
    layout->addWidget(m_close, 0, Qt::AlignBottom);
}

QString Notice::text() const { return m_text->text(); }

void Notice::tell(const QString& text)
{
    QStringList texts = m_text->text().isEmpty() ? QStringList() : m_text->text().split(Separator);
    texts.removeAll(text);
    texts.append(text);
    while (texts.size() > MaxTexts)
        texts.removeFirst();
    m_text->setText(texts.join(Separator));
    setAccessibleDescription(text);
    adjustSize();
    if (isVisible())
        placeOverOwner();
    else
        show();
    QAccessibleEvent alert(this, QAccessible::Alert);
    QAccessible::updateAccessibility(&alert);
}

void Notice::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    placeOverOwner();
}

// Over the bottom of the window, as wide as it: where the pupil looks, off the boxes above.
void Notice::placeOverOwner()
{
    const QRect frame = m_owner->frameGeometry();
    const int width = std::max(320, frame.width() - 40);
    setFixedWidth(width);
    adjustSize();
    setGeometry(frame.left() + (frame.width() - width) / 2, frame.bottom() - height() - 60, width, height());
}
