// The committed pictures (written by tools/make_icons.py) must load in Qt with the
// sizes and colour depths the program's windows are laid out for.
#include <QColor>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QSet>
#include <QTest>
#include <QtEndian>

namespace {

struct Entry {
    int width;
    int height;
    int colourCount;
    int bitCount;
    int dibBitCount;
};

// Qt hands every .ico back as 32-bit ARGB, so the stored depth is read from the bytes.
QList<Entry> directory(const QByteArray& bytes)
{
    QList<Entry> entries;
    const auto* p = reinterpret_cast<const uchar*>(bytes.constData());
    if (bytes.size() < 6 || qFromLittleEndian<quint16>(p) != 0 || qFromLittleEndian<quint16>(p + 2) != 1)
        return entries;
    const int count = qFromLittleEndian<quint16>(p + 4);
    for (int i = 0; i < count; ++i) {
        const int at = 6 + 16 * i;
        if (bytes.size() < at + 16)
            return {};
        const quint32 offset = qFromLittleEndian<quint32>(p + at + 12);
        if (quint64(bytes.size()) < quint64(offset) + 40)
            return {};
        entries.append({p[at], p[at + 1], p[at + 2], qFromLittleEndian<quint16>(p + at + 6),
                        qFromLittleEndian<quint16>(p + offset + 14)});
    }
    return entries;
}

const QList<QRgb>& classicPalette()
{
    static const QList<QRgb> colours = {
        qRgb(0, 0, 0), qRgb(128, 0, 0), qRgb(0, 128, 0), qRgb(128, 128, 0),
        qRgb(0, 0, 128), qRgb(128, 0, 128), qRgb(0, 128, 128), qRgb(192, 192, 192),
        qRgb(128, 128, 128), qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(255, 255, 0),
        qRgb(0, 0, 255), qRgb(255, 0, 255), qRgb(0, 255, 255), qRgb(255, 255, 255)};
    return colours;
}

} // namespace

class TestIcons : public QObject {
    Q_OBJECT

private slots:
    void pictures_data();
    void pictures();
    void rainFallsDown_data();
    void rainFallsDown();
    void embeddedPictures_data();
    void embeddedPictures();
};

void TestIcons::pictures_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("bits");
    QTest::addColumn<QList<int>>("sizes");

    const QString embedded = QStringLiteral(SOURCE_DIR "/resources/embedded/%1.ico");
    const QString weather = QStringLiteral(SOURCE_DIR "/resources/weather/%1.ico");
    QTest::newRow("window") << embedded.arg(u"window") << 8 << QList<int>{32};
    QTest::newRow("logo") << embedded.arg(u"logo") << 8 << QList<int>{32};
    for (const char* name : {"はれ", "くもり", "あめ", "ゆき", "かみなり"})
        QTest::newRow(name) << weather.arg(QString::fromUtf8(name)) << 8 << QList<int>{32};
    for (const char* name : {"sun", "cloud", "rain", "snow", "thunder"})
        QTest::newRow(name) << embedded.arg(QStringLiteral("button_") + QLatin1String(name)) << 4 << QList<int>{32, 16};
}

void TestIcons::pictures()
{
    QFETCH(QString, path);
    QFETCH(int, bits);
    QFETCH(QList<int>, sizes);

    QFile file(path);
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(path));
    const QList<Entry> entries = directory(file.readAll());
    QCOMPARE(entries.size(), sizes.size());
    for (int i = 0; i < entries.size(); ++i) {
        QCOMPARE(entries[i].width, sizes[i]);
        QCOMPARE(entries[i].height, sizes[i]);
        QCOMPARE(entries[i].bitCount, bits);
        QCOMPARE(entries[i].dibBitCount, bits);
        QCOMPARE(entries[i].colourCount, bits == 4 ? 16 : 0);
    }

    QImageReader reader(path);
    QCOMPARE(reader.imageCount(), sizes.size());
    QImage previous;
    for (int i = 0; i < sizes.size(); ++i) {
        if (i > 0)
            QVERIFY(reader.jumpToNextImage());
        const QImage image = reader.read().convertToFormat(QImage::Format_ARGB32);
        QVERIFY2(!image.isNull(), qPrintable(reader.errorString()));
        QCOMPARE(image.size(), QSize(sizes[i], sizes[i]));

        int opaque = 0;
        int clear = 0;
        bool border = false;
        QSet<QRgb> colours;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QRgb px = image.pixel(x, y);
                QVERIFY2(qAlpha(px) == 0 || qAlpha(px) == 255, "the mask is one bit: no half-transparent pixels");
                if (qAlpha(px) == 0) {
                    ++clear;
                    continue;
                }
                ++opaque;
                colours.insert(qRgb(qRed(px), qGreen(px), qBlue(px)));
                if (bits == 4)
                    QVERIFY2(classicPalette().contains(px), qPrintable(QColor(px).name()));
            }
        }
        // A drawing, not a blank or a filled square: the background shows through the mask.
        QVERIFY2(opaque >= image.width() * image.height() / 6, qPrintable(QString::number(opaque)));
        QVERIFY2(clear >= image.width() * image.height() / 8, qPrintable(QString::number(clear)));
        QVERIFY2(colours.size() >= 2, "an outline and a fill");
        // Transparent corners: every picture sits on the window's own background.
        for (const QPoint corner : {QPoint(0, 0), QPoint(image.width() - 1, 0), QPoint(0, image.height() - 1),
                                    QPoint(image.width() - 1, image.height() - 1)}) {
            if (qAlpha(image.pixel(corner)) == 0)
                border = true;
        }
        QVERIFY(border);
        // The small picture is drawn for its size, not the big one with every other pixel dropped.
        if (!previous.isNull() && image.width() < previous.width()) {
            const QImage sampled = previous.scaled(image.size(), Qt::IgnoreAspectRatio, Qt::FastTransformation);
            int differ = 0;
            for (int y = 0; y < image.height(); ++y) {
                for (int x = 0; x < image.width(); ++x)
                    differ += sampled.pixel(x, y) != image.pixel(x, y);
            }
            QVERIFY2(differ >= image.width(), qPrintable(QString::number(differ)));
        }
        previous = image;
    }
}

void TestIcons::rainFallsDown_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("index");
    QTest::newRow("weather") << QStringLiteral(SOURCE_DIR "/resources/weather/あめ.ico") << 0;
    QTest::newRow("button 32") << QStringLiteral(SOURCE_DIR "/resources/embedded/button_rain.ico") << 0;
    QTest::newRow("button 16") << QStringLiteral(SOURCE_DIR "/resources/embedded/button_rain.ico") << 1;
}

// Catches pictures stored upside down (DIB rows run bottom-up): the drops fall below the cloud.
void TestIcons::rainFallsDown()
{
    QFETCH(QString, path);
    QFETCH(int, index);
    QImageReader reader(path);
    QVERIFY(reader.jumpToImage(index));
    const QImage image = reader.read().convertToFormat(QImage::Format_ARGB32);
    QVERIFY2(!image.isNull(), qPrintable(reader.errorString()));
    double blueY = 0, blueCount = 0, cloudY = 0, cloudCount = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb px = image.pixel(x, y);
            if (qAlpha(px) == 0)
                continue;
            if (qBlue(px) > qRed(px) + 80) {
                blueY += y;
                ++blueCount;
            } else if (qRed(px) >= 150 && qAbs(qRed(px) - qBlue(px)) < 40) {
                cloudY += y;
                ++cloudCount;
            }
        }
    }
    QVERIFY(blueCount > 0 && cloudCount > 0);
    QVERIFY2(blueY / blueCount > cloudY / cloudCount + image.height() / 4.0, "rain under the cloud");
}

void TestIcons::embeddedPictures_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("count");
    QTest::newRow("window") << QStringLiteral(":/window.ico") << 1;
    QTest::newRow("logo") << QStringLiteral(":/logo.ico") << 1;
    for (const char* name : {"sun", "cloud", "rain", "snow", "thunder"})
        QTest::newRow(name) << QStringLiteral(":/button_%1.ico").arg(QLatin1String(name)) << 2;
}

// The windows load these from the program's resources, not from disk.
void TestIcons::embeddedPictures()
{
    QFETCH(QString, path);
    QFETCH(int, count);
    QImageReader reader(path);
    QCOMPARE(reader.imageCount(), count);
    const QImage image = reader.read();
    QVERIFY2(!image.isNull(), qPrintable(reader.errorString()));
    QCOMPARE(image.size(), QSize(32, 32));
}

QTEST_GUILESS_MAIN(TestIcons)
#include "test_icons.moc"
