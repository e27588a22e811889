// Opening pictures on the worker threads: the newest request wins, large
// photos show a reduced first view before the full picture, and failures
// come back with the picture reader's message.

#include "TestSupport.h"
#include "picture/PictureLoader.h"

#include <QGuiApplication>
#include <QSignalSpy>
#include <QTest>

class TestLoader : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }
    void newestRequestWins();
    void largePhotoShowsAFirstViewFirst_data();
    void largePhotoShowsAFirstViewFirst();
    void failureComesBackWithItsMessage_data();
    void failureComesBackWithItsMessage();

private:
    QString write(const QString &name, const QImage &image, const char *format)
    {
        const QString path = m_dir.filePath(name);
        writeWholeFile(path, encoded(image, format));
        return path;
    }
    QTemporaryDir m_dir;
};

void TestLoader::newestRequestWins()
{
    QImage big(3000, 2000, QImage::Format_RGB32);
    big.fill(Qt::red);
    QImage small(20, 10, QImage::Format_RGB32);
    small.fill(Qt::blue);
    const QString older = write(QStringLiteral("older.jpg"), big, "jpeg");
    const QString newer = write(QStringLiteral("newer.bmp"), small, "bmp");
    PictureLoader loader;
    QSignalSpy loaded(&loader, &PictureLoader::loaded);
    QSignalSpy first(&loader, &PictureLoader::firstView);
    loader.load(older);
    loader.load(newer);
    QVERIFY(loader.busy());
    QTRY_VERIFY(!loader.busy());
    QTest::qWait(500); // whatever the older request still brings
    QCOMPARE(loaded.size(), 1);
    QCOMPARE(first.size(), 0);
    QCOMPARE(loaded.front().front().value<Picture>().size(), QSize(20, 10));
}

void TestLoader::largePhotoShowsAFirstViewFirst_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<bool>("firstView");
    QTest::newRow("6 megapixels") << QSize(3000, 2000) << true;
    QTest::newRow("2 megapixels") << QSize(1800, 1100) << false;
}

void TestLoader::largePhotoShowsAFirstViewFirst()
{
    QFETCH(QSize, size);
    QFETCH(bool, firstView);
    QImage photo(size, QImage::Format_RGB32);
    photo.fill(qRgb(30, 160, 60));
    const QString path = write(QStringLiteral("photo.jpg"), photo, "jpeg");
    PictureLoader loader;
    QStringList order;
    QSize reducedSize, fullSize;
    connect(&loader, &PictureLoader::firstView, this, [&](const QImage &reduced, QSize full) {
        order << QStringLiteral("first");
        reducedSize = reduced.size();
        fullSize = full;
    });
    connect(&loader, &PictureLoader::loaded, this, [&](const Picture &picture) {
        order << QStringLiteral("loaded");
        QCOMPARE(picture.size(), size);
    });
    loader.load(path);
    QTRY_VERIFY(!loader.busy());
    if (!firstView) {
        QCOMPARE(order, QStringList{QStringLiteral("loaded")});
        return;
    }
    QCOMPARE(order, (QStringList{QStringLiteral("first"), QStringLiteral("loaded")}));
    QCOMPARE(fullSize, size);
    QVERIFY(std::max(reducedSize.width(), reducedSize.height()) <= PictureLoader::FirstViewSide);
    QCOMPARE(reducedSize, size / 4);
}

void TestLoader::failureComesBackWithItsMessage_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("message");
    QTest::newRow("broken bitmap") << "b.bmp" << QByteArray("BM not really") << "Bitmap image is not valid";
    QTest::newRow("unknown extension") << "b.png" << QByteArray("x") << "Unknown picture file extension (.png)";
    QTest::newRow("missing") << "" << QByteArray() << "Cannot open file";
}

void TestLoader::failureComesBackWithItsMessage()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, message);
    QString path = m_dir.filePath(name.isEmpty() ? QStringLiteral("missing.bmp") : name);
    if (!name.isEmpty())
        QVERIFY(writeWholeFile(path, bytes));
    PictureLoader loader;
    QSignalSpy failed(&loader, &PictureLoader::failed);
    QSignalSpy loaded(&loader, &PictureLoader::loaded);
    loader.load(path);
    QTRY_COMPARE(failed.size(), 1);
    QVERIFY(failed.front().front().toString().startsWith(message));
    QVERIFY(loaded.isEmpty());
    QVERIFY(!loader.busy());
}

QTEST_MAIN(TestLoader)
#include "tst_loader.moc"
