// What a window manager reads of the windows, on a real X server.
#include "support/DiaryFixture.h"

#include "app/FrmSplash.h"
#include "appearance/FrmAbout.h"
#include "main_window/Form1.h"
#include "main_window/Form1Controls.h"
#include "platform/EntryBox.h"
#include "platform/Footprint.h"
#include "platform/Notice.h"
#include "store/Diary.h"
#include "weather/Form2.h"

#include <QApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QTest>

#include <xcb/xcb.h>

#include <clocale>
#include <cstdlib>
#include <cstring>

namespace {

// A property of the window's native window, as the window manager sees it.
QByteArray nativeProperty(QWidget* window, const char* name)
{
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* c = x11->connection();
    auto* atom = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, quint16(std::strlen(name)), name), nullptr);
    auto* reply = xcb_get_property_reply(
        c, xcb_get_property(c, 0, xcb_window_t(window->winId()), atom->atom, XCB_GET_PROPERTY_TYPE_ANY, 0, 1024),
        nullptr);
    QByteArray value(static_cast<const char*>(xcb_get_property_value(reply)), xcb_get_property_value_length(reply));
    std::free(reply);
    std::free(atom);
    return value;
}

quint32 motifWord(QWidget* window, int index)
{
    const QByteArray hints = nativeProperty(window, "_MOTIF_WM_HINTS");
    return hints.size() >= 20 ? reinterpret_cast<const quint32*>(hints.constData())[index] : 0;
}

constexpr quint32 FuncResize = 1u << 1, FuncMove = 1u << 2, FuncClose = 1u << 5;
constexpr quint32 DecorResizeHandle = 1u << 2, DecorTitle = 1u << 3;

} // namespace

class TestWindowHints : public QObject {
    Q_OBJECT
private slots:
    void dialogsOfFixedSizeOfferNoResizing();
    void splashHasNoTitleAndHandsOverToToday();
    void noticeLeavesTheKeyboardToTheBox();
    void oldTitlePropertyIsRightUnderTheCLocale();
};

void TestWindowHints::dialogsOfFixedSizeOfferNoResizing()
{
    QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
    DiaryFixture diary;
    QVERIFY(diary.start());
    diary.form()->Command1_Click();
    diary.form()->Label7_Click();
    const QList<QWidget*> fixed{diary.form()->openColourSettings(), diary.form()->weatherPicker()};
    for (QWidget* dialog : fixed) {
        QVERIFY(QTest::qWaitForWindowExposed(dialog));
        QCOMPARE(motifWord(dialog, 1) & (FuncResize | FuncMove | FuncClose), FuncMove | FuncClose);
        QCOMPARE(motifWord(dialog, 2) & (DecorResizeHandle | DecorTitle), DecorTitle);
    }
    // The main window is resizable, and says so.
    QVERIFY(motifWord(diary.form(), 1) & FuncResize || nativeProperty(diary.form(), "_MOTIF_WM_HINTS").isEmpty());
}

// No window manager here activates the main window: today's page comes all the same.
void TestWindowHints::splashHasNoTitleAndHandsOverToToday()
{
    {
        FrmSplash splash;
        splash.show();
        QVERIFY(QTest::qWaitForWindowExposed(&splash));
        QCOMPARE(nativeProperty(&splash, "_NET_WM_NAME"), QByteArray());
        QCOMPARE(nativeProperty(&splash, "WM_NAME"), QByteArray());
        QCOMPARE(splash.size(), QSize(377, 170));
        const QLabel* version = splash.findChild<QLabel*>(QStringLiteral("lblVersion"));
        QVERIFY(version->text() == QStringLiteral("ver1.2") && version->font().bold()
                && version->font().pointSizeF() == 12);
        QCOMPARE(splash.findChild<QLabel*>(QStringLiteral("lblProductName"))->text(),
                 QStringLiteral("Merrow 日記\u3000"));
        QCOMPARE(splash.grab().toImage().pixelColor(370, 165), QColor(162, 215, 225));
    }
    DiaryFixture diary(QDate(2002, 10, 1));
    std::unique_ptr<Form1> form(FrmSplash::Form_Load());
    QVERIFY(form && form->isVisible());
    QTRY_COMPARE(form->tag(), QStringLiteral("1"));
    QVERIFY(!form->isActiveWindow());
    QCOMPARE(form->diary().currentDate(), QDate(2002, 10, 1));
    for (QWidget* w : QApplication::topLevelWidgets())
        QVERIFY(w->objectName() != QLatin1String("frmSplash"));
}

// A notice that arises mid-typing takes neither the X input focus nor Qt's:
// the next key still goes to the box, however fast the pupil types.
void TestWindowHints::noticeLeavesTheKeyboardToTheBox()
{
    DiaryFixture diary;
    QVERIFY(diary.start());
    Form1* form = diary.form();
    form->activateWindow();
    controlsOf(form).Text5->setFocus();
    QVERIFY(QTest::qWaitForWindowActive(form));
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    const auto inputFocus = [x11] {
        auto* reply = xcb_get_input_focus_reply(x11->connection(), xcb_get_input_focus(x11->connection()), nullptr);
        const xcb_window_t focus = reply ? reply->focus : 0;
        std::free(reply);
        return focus;
    };
    QTRY_COMPARE(inputFocus(), xcb_window_t(form->winId()));
    form->notice()->tell(QStringLiteral("日記ファイルに保存できませんでした。"));
    QVERIFY(QTest::qWaitForWindowExposed(form->notice()));
    QTest::qWait(200); // what a window manager would do with a new window happens now
    QCOMPARE(inputFocus(), xcb_window_t(form->winId()));
    QCOMPARE(QApplication::focusWidget(), controlsOf(form).Text5);
    // WM_HINTS: the input flag set and false, so that no window manager gives it the keys.
    const QByteArray hints = nativeProperty(form->notice(), "WM_HINTS");
    QVERIFY(hints.size() >= 8);
    QCOMPARE(reinterpret_cast<const quint32*>(hints.constData())[0] & 1u, 1u);
    QCOMPARE(reinterpret_cast<const quint32*>(hints.constData())[1], 0u);
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("ok "));
    QCOMPARE(controlsOf(form).Text5->toPlainText(), QStringLiteral("ok "));
    QVERIFY(form->notice()->isVisible());
}

// Window lists that read WM_NAME, not _NET_WM_NAME, show the title right even
// when the program starts without a locale.
void TestWindowHints::oldTitlePropertyIsRightUnderTheCLocale()
{
    std::setlocale(LC_CTYPE, "C");
    Footprint::useUtf8Characters();
    QWidget window;
    window.setWindowTitle(QStringLiteral("Merrow日記Lt."));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    // COMPOUND_TEXT: 日記 in JIS X 0208 (0x467C 0x352D, "F|5-"), not UTF-8 bytes taken for Latin-1.
    QCOMPARE(nativeProperty(&window, "WM_NAME"), QByteArray("Merrow\x1b$(BF|5-\x1b(BLt."));
    std::setlocale(LC_CTYPE, "");
}

int main(int argc, char** argv)
{
    const Footprint footprint; // as the program starts: no D-Bus daemon of its own
    QApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    TestWindowHints test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "test_window_hints.moc"
