// SPDX-License-Identifier: GPL-3.0-or-later
#include "fakes/windowtest.h"
#include "main/controls.h"

#include <QFile>
#include <QImageReader>
#include <QtEndian>

namespace {
// A little-endian 16-bit field of a file's header.
int headerField(const QString &path, int offset)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray header = file.read(offset + 2);
    return header.size() == offset + 2 ? qFromLittleEndian<quint16>(header.constData() + offset)
                                       : -1;
}
} // namespace

// The pictures and the icon, as Qt reads them from the program's resources.
class TestPictures : public QObject, public WindowTest
{
    Q_OBJECT

private slots:
    void cleanup() { stop(); }

    void pictures_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QByteArray>("format");
        QTest::addColumn<QSize>("size");
        QTest::newRow("Picture1") << ":/pictures/picture1.bmp" << QByteArray("bmp")
                                  << QSize(80, 60);
        QTest::newRow("Picture2") << ":/pictures/picture2.bmp" << QByteArray("bmp")
                                  << QSize(105, 34);
        QTest::newRow("Picture3") << ":/pictures/picture3.jpg" << QByteArray("jpeg")
                                  << QSize(360, 240);
        // Each drawn at twice the size, for screens that scale by 2.
        QTest::newRow("Picture1@2x")
            << ":/pictures/picture1@2x.bmp" << QByteArray("bmp") << QSize(160, 120);
        QTest::newRow("Picture2@2x")
            << ":/pictures/picture2@2x.bmp" << QByteArray("bmp") << QSize(210, 68);
        QTest::newRow("Picture3@2x")
            << ":/pictures/picture3@2x.jpg" << QByteArray("jpeg") << QSize(720, 480);
    }

    void pictures()
    {
        QFETCH(QString, path);
        QFETCH(QByteArray, format);
        QFETCH(QSize, size);
        QImageReader reader(path);
        QCOMPARE(reader.format(), format);
        QCOMPARE(reader.read().size(), size);
        if (format == "bmp") // bits per pixel, in the bitmap's header
            QCOMPARE(headerField(path, 28), 24);
    }

    // Two images, 32 x 32 and 16 x 16, each of 4 bits per pixel (16 colours).
    void icon()
    {
        const QString path = QStringLiteral(":/icons/wakewell.ico");
        QImageReader reader(path);
        QCOMPARE(reader.format(), QByteArray("ico"));
        QCOMPARE(reader.imageCount(), 2);
        QList<QSize> sizes;
        for (int i = 0; i < reader.imageCount(); ++i) {
            QVERIFY(reader.jumpToImage(i));
            sizes << reader.read().size();
            QCOMPARE(headerField(path, 6 + 16 * i + 6), 4);
        }
        QCOMPARE(sizes, (QList<QSize> {{32, 32}, {16, 16}}));
    }

    // Each box reads its picture when it is first painted, in as many pixels as the screen
    // has for it: on a screen that scales by 2, the picture drawn at twice the size.
    void windowShowsThem()
    {
        start();
        for (const char *name : {"Picture1", "Picture2", "Picture3"}) {
            auto *box = child<PictureBox>(name);
            box->grab();
            QVERIFY2(!box->pixmap().isNull(), name);
            QCOMPARE(box->pixmap().devicePixelRatio(), box->devicePixelRatio());
        }
        const QPixmap clock = child<PictureBox>("Picture1")->pixmap();
        QCOMPARE(clock.deviceIndependentSize(), QSizeF(80, 60));
        QVERIFY(m_window->windowIcon().availableSizes().contains(QSize(16, 16)));
    }
};

QTEST_MAIN(TestPictures)
#include "test_pictures.moc"
