// The bottom layer: the bounds-checked byte reader and code page 1252.

#include "base/ByteReader.h"
#include "base/Cp1252.h"

#include <QTest>

#include <limits>

class TestBase : public QObject
{
    Q_OBJECT
private slots:
    void readsLittleEndian();
    void nothingOutsideTheBytes_data();
    void nothingOutsideTheBytes();
    void uncheckedReadsAgree();
    void everyByteBothWays();
    void whatCannotBeWritten_data();
    void whatCannotBeWritten();
};

namespace {

const QByteArray Sample = QByteArray::fromHex("01020384858687880000803f");

} // namespace

void TestBase::readsLittleEndian()
{
    const ByteReader b(Sample);
    QCOMPARE(b.u8(0), std::optional<std::uint8_t>(0x01));
    QCOMPARE(b.u16(1), std::optional<std::uint16_t>(0x0302));
    QCOMPARE(b.i16(3), std::optional<std::int16_t>(std::int16_t(0x8584)));
    QCOMPARE(b.u32(4), std::optional<std::uint32_t>(0x88878685u));
    QCOMPARE(b.i32(4), std::optional<std::int32_t>(std::int32_t(0x88878685u)));
    QCOMPARE(b.u64(0), std::optional<std::uint64_t>(0x8887868584030201ull));
    QCOMPARE(b.f32(8), std::optional<float>(1.0f)); // 00 00 80 3f
    QCOMPARE(b.slice(1, 2), QByteArray::fromHex("0203"));
}

void TestBase::nothingOutsideTheBytes_data()
{
    QTest::addColumn<qsizetype>("at");
    QTest::addColumn<qsizetype>("count");
    QTest::newRow("negative place") << qsizetype(-1) << qsizetype(4);
    QTest::newRow("negative count") << qsizetype(0) << qsizetype(-1);
    QTest::newRow("past the end") << Sample.size() << qsizetype(1);
    QTest::newRow("straddling the end") << Sample.size() - 3 << qsizetype(4);
    QTest::newRow("last byte and one more") << Sample.size() - 1 << qsizetype(2);
    QTest::newRow("a count that wraps") << qsizetype(4) << std::numeric_limits<qsizetype>::max();
    QTest::newRow("a place that wraps") << std::numeric_limits<qsizetype>::max() << qsizetype(4);
}

// Every read that would touch a byte outside gives nothing.
void TestBase::nothingOutsideTheBytes()
{
    QFETCH(qsizetype, at);
    QFETCH(qsizetype, count);
    const ByteReader b(Sample);
    QVERIFY(!b.has(at, count));
    QVERIFY(b.slice(at, count).isEmpty());
    if (count == 1)
        QVERIFY(!b.u8(at));
    if (count == 2)
        QVERIFY(!b.u16(at) && !b.i16(at));
    if (count == 4)
        QVERIFY(!b.u32(at) && !b.i32(at) && !b.f32(at) && !b.u64(at));
    QVERIFY(b.has(0, Sample.size()));
    QVERIFY(b.has(Sample.size(), 0));
}

void TestBase::uncheckedReadsAgree()
{
    const auto *p = reinterpret_cast<const unsigned char *>(Sample.constData());
    const ByteReader b(Sample);
    for (qsizetype at = 0; at + 4 <= Sample.size(); ++at) {
        QCOMPARE(ByteReader::le16(p + at), *b.u16(at));
        QCOMPARE(ByteReader::le32(p + at), *b.u32(at));
    }
}

void TestBase::everyByteBothWays()
{
    QByteArray all(256, '\0');
    for (int i = 0; i < 256; ++i)
        all[i] = char(i);
    const QString text = fromCp1252(all);
    QCOMPARE(text.size(), 256);
    QCOMPARE(toCp1252(text), all);
    // A few of the code page's own: the euro, the curly quotes, the five
    // undefined bytes as their control characters.
    QCOMPARE(text[0x80], QChar(0x20AC));
    QCOMPARE(text[0x93], QChar(0x201C));
    QCOMPARE(text[0x81], QChar(0x0081));
    QCOMPARE(text[0xE9], QChar(0x00E9));
}

void TestBase::whatCannotBeWritten_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("Greek") << QStringLiteral("Ω") << QByteArray("?");
    QTest::newRow("C1 control the euro took") << QString(QChar(0x0080)) << QByteArray("?");
    QTest::newRow("outside the first plane") << QStringLiteral("a\U0001F600b") << QByteArray("a??b");
    QTest::newRow("mixed") << QStringLiteral("café €5")
                           << QByteArray("caf\xE9 \x80"
                                         "5");
}

void TestBase::whatCannotBeWritten()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QCOMPARE(toCp1252(text), bytes);
}

QTEST_GUILESS_MAIN(TestBase)
#include "tst_base.moc"
