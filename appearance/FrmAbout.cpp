#include "appearance/FrmAbout.h"

#include "platform/AppInfo.h"
#include "platform/ColourChooser.h"
#include "platform/ColourSwatch.h"
#include "platform/FaceButton.h"
#include "platform/Fonts.h"
#include "platform/Twips.h"
#include "platform/WidgetColour.h"
#include "platform/WindowHints.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>

namespace {

constexpr ColourValue DialogBack{0x00FDE8C4};
constexpr ColourValue ConfirmFace{0x00FCD89C};

QLabel* label(QWidget* parent, const QString& name, const QString& text, int l, int t, int w, int h)
{
    auto* lbl = new QLabel(text, parent);
    lbl->setObjectName(name);
    lbl->setGeometry(Twips::rect(l, t, w, h));
    lbl->setWordWrap(true);
    lbl->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return lbl;
}

} // namespace

FrmAbout::FrmAbout(SchemeTarget* form1)
    : QWidget(nullptr, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
    , m_form1(form1)
{
    setObjectName(QStringLiteral("frmAbout"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowIcon(QIcon(QStringLiteral(":/window.ico")));
    setFixedSize(Twips::size(6015, 4215));
    WindowHints::keepFixedBorder(this);
    // The captions were laid out for a 9-point proportional Japanese face;
    // wider default faces would cut them off.
    setFont(Fonts::font(Fonts::Gothic, 9));
    setWidgetColour(this, QPalette::Window, DialogBack);
    setAutoFillBackground(true);
    createControls();
    Form_Load();
}

void FrmAbout::createControls()
{
    auto* picIcon = new QLabel(this);
    picIcon->setObjectName(QStringLiteral("picIcon"));
    picIcon->setGeometry(Twips::rect(240, 240, 480, 480));
    // At the screen's ratio, or a scaled screen enlarges the 32-pixel image.
    picIcon->setPixmap(QIcon(QStringLiteral(":/window.ico")).pixmap(QSize(32, 32), picIcon->devicePixelRatioF()));

    lblTitle = label(this, QStringLiteral("lblTitle"), QString(), 1080, 240, 3885, 480);
    lblVersion = label(this, QStringLiteral("lblVersion"), QString(), 1080, 600, 3885, 225);

    struct Row {
        const char* caption;
        const char* labelName;
        int labelRect[4];
        const char* swatchName;
        int swatchRect[4];
        const char* buttonName;
        int buttonRect[2];
    };
    // One row of the design's layout table per line.
    // clang-format off
    static const Row rows[6] = {
        {"文字色設定", "Label1(0)", {600, 1200, 1095, 255}, "Text1", {1800, 1200, 615, 270}, "Command1", {2640, 1080}},
        {"バックの色設定", "Label1(1)", {360, 1800, 1215, 255}, "Text2", {1800, 1800, 615, 270}, "Command2", {2640, 1680}},
        {"日付文字", "Label2(0)", {360, 2880, 735, 255}, "Text3", {1440, 2880, 495, 270}, "Command4", {2040, 2760}},
        {"日付バック", "Label2(2)", {3120, 2880, 975, 255}, "Text4", {4320, 2880, 495, 270}, "Command5", {4920, 2760}},
        {"タイトル文字", "Label2(1)", {360, 3240, 1095, 255}, "Text5", {1440, 3240, 495, 270}, "Command6", {2040, 3240}},
        {"タイトルバック", "Label2(3)", {3120, 3240, 1095, 255}, "Text6", {4320, 3240, 495, 270}, "Command7", {4920, 3240}},
    };
    // clang-format on
    for (int i = 0; i < 6; ++i) {
        const Row& r = rows[i];
        label(this, QLatin1String(r.labelName), QString::fromUtf8(r.caption), r.labelRect[0], r.labelRect[1],
              r.labelRect[2], r.labelRect[3]);
        swatches[i] = new ColourSwatch(this);
        swatches[i]->setObjectName(QLatin1String(r.swatchName));
        swatches[i]->setGeometry(Twips::rect(r.swatchRect[0], r.swatchRect[1], r.swatchRect[2], r.swatchRect[3]));
        changeButtons[i] = new QPushButton(QStringLiteral("変更"), this);
        changeButtons[i]->setObjectName(QLatin1String(r.buttonName));
        changeButtons[i]->setGeometry(Twips::rect(r.buttonRect[0], r.buttonRect[1], 975, 375));
        changeButtons[i]->setAutoDefault(false);
        // Six buttons read "変更": each says which colour it changes.
        swatches[i]->setAccessibleName(QString::fromUtf8(r.caption) + QStringLiteral("の見本"));
        changeButtons[i]->setAccessibleName(QString::fromUtf8(r.caption) + QStringLiteral("を変更"));
        connect(changeButtons[i], &QPushButton::clicked, this, [this, i] { changeSwatch(i); });
    }
    label(this, QStringLiteral("Label3"), QStringLiteral("各項目の窓の中の文字色はその横のラベルクリックし変更します"),
          4320, 1200, 1575, 975);
    label(this, QStringLiteral("Label1(2)"), QStringLiteral("カレンダーの色設定"), 360, 2520, 1695, 255);

    cmdOK = new FaceButton(QStringLiteral("OK"), ConfirmFace, this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setGeometry(Twips::rect(1200, 3840, 1380, 345));
    connect(cmdOK, &QPushButton::clicked, this, &FrmAbout::cmdOK_Click);
    Command3 = new FaceButton(QStringLiteral("キャンセル"), ConfirmFace, this);
    Command3->setObjectName(QStringLiteral("Command3"));
    Command3->setGeometry(Twips::rect(3480, 3840, 1380, 345));
    connect(Command3, &QPushButton::clicked, this, &FrmAbout::Command3_Click);
}

void FrmAbout::Form_Load()
{
    setWindowTitle(AppInfo::title());
    lblVersion->setText(QStringLiteral("ﾊﾞｰｼﾞｮﾝ %1.%2.%3")
                            .arg(AppInfo::VersionMajor)
                            .arg(AppInfo::VersionMinor)
                            .arg(AppInfo::VersionRevision));
    lblTitle->setText(AppInfo::title());
    const ColourScheme scheme = CurrentColourScheme(*m_form1);
    for (int i = 0; i < 6; ++i)
        swatches[i]->setColour(scheme[i]);
}

ColourScheme FrmAbout::swatchScheme() const
{
    ColourScheme scheme;
    for (int i = 0; i < 6; ++i)
        scheme.colours[size_t(i)] = swatches[i]->colour();
    return scheme;
}

void FrmAbout::changeSwatch(int swatch)
{
    if (const auto colour = ColourChooser::choose(this))
        swatches[swatch]->setColour(*colour);
    // Back where the choice began, chosen or cancelled.
    activateWindow();
    changeButtons[swatch]->setFocus(Qt::OtherFocusReason);
}

void FrmAbout::cmdOK_Click()
{
    ApplyColourScheme(*m_form1, swatchScheme());
    close();
}

void FrmAbout::Command3_Click() { close(); }

void FrmAbout::paintEvent(QPaintEvent* event)
{
    QWidget::paintEvent(event);
    // Two etched separators: under the title block and above the calendar colours.
    QPainter painter(this);
    const int right = Twips::toPixels(5564);
    const auto line = [&](int twipsY, ColourValue colour) {
        painter.setPen(resolveColour(colour, palette()));
        const int y = Twips::toPixels(twipsY);
        painter.drawLine(0, y, right, y);
    };
    line(960, ColourValue(0x00808080));
    line(975, ColourValue(0x00E0E0E0));
    line(2280, ColourValue(0x00808080));
    line(2295, ColourValue(0x00FFFFFF));
}

// Esc is the cancel button, as in any dialog.
void FrmAbout::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier)
        Command3_Click();
    else
        QWidget::keyPressEvent(event);
}
