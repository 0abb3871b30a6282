#include <QTest>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "ControlTests.h"
#include "HexLayout.h"
#include "HexRowText.h"

Q_DECLARE_METATYPE(std::vector<std::uint8_t>)

namespace {

HexLayoutInput FormInput(int clientWidth, int clientHeight, std::uint32_t length) {
    HexLayoutInput in;
    in.charWidth = 8;
    in.lineHeight = 15;
    in.clientWidth = clientWidth;
    in.clientHeight = clientHeight;
    in.length = length;
    in.bytesPerRowSetting = 8;
    in.addressDigits = 4;
    in.autoFit = true;
    in.showAddress = true;
    return in;
}

std::string Words(const std::vector<std::uint8_t>& bytes) {
    std::array<char, HexRowText::kWordBufferSize> out{};
    const std::size_t n =
        HexRowText::Words(out, bytes.data(), static_cast<std::uint32_t>(bytes.size()));
    return std::string(out.data(), n);
}

std::string Address(std::uint32_t address, std::uint32_t digits) {
    std::array<char, HexRowText::kAddressBufferSize> out{};
    const std::size_t n = HexRowText::Address(out, address, digits);
    return std::string(out.data(), n);
}

}  // namespace

class HexLayoutTest : public QObject {
    Q_OBJECT

private slots:
    void BytesPerRow_data() {
        QTest::addColumn<int>("clientWidth");
        QTest::addColumn<bool>("autoFit");
        QTest::addColumn<bool>("ascii");
        QTest::addColumn<int>("setting");
        QTest::addColumn<int>("expected");
        // 400 - 37 = 363 pixels, 40 per word: 9 words.
        QTest::newRow("auto fit, form example") << 400 << true << false << 8 << 18;
        // 400 - 37 - 5 = 358 pixels, 56 per word with the character column: 6 words.
        QTest::newRow("auto fit with characters") << 400 << true << true << 8 << 12;
        QTest::newRow("auto fit narrower than a word") << 60 << true << false << 8 << 2;
        QTest::newRow("auto fit narrower than the address") << 20 << true << false << 8 << 2;
        QTest::newRow("auto fit bounded") << 100000 << true << false << 8 << 340;
        QTest::newRow("fixed") << 400 << false << false << 16 << 16;
        QTest::newRow("fixed odd rounds up") << 400 << false << false << 7 << 8;
        QTest::newRow("fixed zero") << 400 << false << false << 0 << 2;
        QTest::newRow("fixed bounded") << 400 << false << false << 5000 << 340;
    }
    void BytesPerRow() {
        QFETCH(int, clientWidth);
        QFETCH(bool, autoFit);
        QFETCH(bool, ascii);
        QFETCH(int, setting);
        QFETCH(int, expected);
        HexLayoutInput in = FormInput(clientWidth, 100, 0x10000);
        in.autoFit = autoFit;
        in.showAscii = ascii;
        in.bytesPerRowSetting = static_cast<std::uint32_t>(setting);
        QCOMPARE(HexLayout::Compute(in).bytesPerRow, static_cast<std::uint32_t>(expected));
    }

    void FormExampleColumns() {
        const HexLayout l = HexLayout::Compute(FormInput(400, 100, 0x10000));
        QCOMPARE(l.addrWidth, 37);
        QCOMPARE(l.hexX, 37);
        QCOMPARE(l.wordTextWidth, 352);
        QCOMPARE(l.contentWidth, 389);
        QCOMPARE(l.maxHorzOffset, 0u);  // no horizontal bar
        QCOMPARE(l.asciiX, 0);

        HexLayoutInput in = FormInput(400, 100, 0x10000);
        in.showAscii = true;
        const HexLayout withChars = HexLayout::Compute(in);
        QCOMPARE(withChars.asciiX, 37 + withChars.wordTextWidth + 5);
        QCOMPARE(withChars.contentWidth, withChars.asciiX + 12 * 8);
    }

    void RowsInView_data() {
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("fullRows");
        QTest::addColumn<int>("rowsInView");
        QTest::newRow("partial row") << 100 << 6 << 7;
        QTest::newRow("exact") << 90 << 6 << 6;
        QTest::newRow("shorter than a line") << 10 << 0 << 1;
        QTest::newRow("empty") << 0 << 0 << 0;
    }
    void RowsInView() {
        QFETCH(int, height);
        QFETCH(int, fullRows);
        QFETCH(int, rowsInView);
        const HexLayout l = HexLayout::Compute(FormInput(400, height, 64));
        QCOMPARE(l.fullRows, static_cast<std::uint32_t>(fullRows));
        QCOMPARE(l.rowsInView, static_cast<std::uint32_t>(rowsInView));
    }

    void ScrollLimits() {
        // 0x10000 bytes at 18 per row: 3641 rows, the last with 16 bytes.
        const HexLayout l = HexLayout::Compute(FormInput(400, 100, 0x10000));
        QCOMPARE(l.totalRows, 3641u);
        QCOMPARE(l.maxTopRow, 3641u - 6u);
        // Everything fits: no vertical scrolling.
        QCOMPARE(HexLayout::Compute(FormInput(400, 100, 36)).maxTopRow, 0u);
        // Content wider than the client.
        HexLayoutInput in = FormInput(200, 100, 64);
        in.autoFit = false;
        in.bytesPerRowSetting = 16;
        const HexLayout wide = HexLayout::Compute(in);
        QCOMPARE(wide.contentWidth, 37 + 8 * (8 + 32 - 1));
        QCOMPARE(wide.maxHorzOffset, static_cast<std::uint32_t>(wide.contentWidth - 200));
    }

    void DegenerateInputsStayDefined() {
        HexLayoutInput in = FormInput(400, 100, 0xFFFFFFFF);
        in.charWidth = 0;
        in.lineHeight = 0;
        in.addressDigits = 255;
        const HexLayout l = HexLayout::Compute(in);
        QVERIFY(l.bytesPerRow >= 2 && l.bytesPerRow <= HexLayout::kMaxBytesPerRow);
        QCOMPARE(l.addrWidth, 31 * 1 + 5);
        QVERIFY(l.totalRows > 0);
    }

    void WordsAreLittleEndian_data() {
        QTest::addColumn<std::vector<std::uint8_t>>("bytes");
        QTest::addColumn<QString>("expected");
        QTest::newRow("one word") << std::vector<std::uint8_t>{0x34, 0x12} << "1234";
        QTest::newRow("two words")
            << std::vector<std::uint8_t>{0x34, 0x12, 0xCD, 0xAB} << "1234 ABCD";
        QTest::newRow("lone last byte")
            << std::vector<std::uint8_t>{0x34, 0x12, 0x56} << "1234   56";
        QTest::newRow("erased flash") << std::vector<std::uint8_t>(4, 0xFF) << "FFFF FFFF";
        QTest::newRow("nothing") << std::vector<std::uint8_t>{} << "";
    }
    void WordsAreLittleEndian() {
        QFETCH(std::vector<std::uint8_t>, bytes);
        QFETCH(QString, expected);
        QCOMPARE(QString::fromStdString(Words(bytes)), expected);
    }

    void LongestRowFitsItsBuffer() {
        const std::string row = Words(std::vector<std::uint8_t>(HexRowText::kMaxBytes, 0xA5));
        QCOMPARE(row.size(), std::size_t{170 * 5 - 1});
        // More than a row holds is cut, not written past the buffer.
        QCOMPARE(Words(std::vector<std::uint8_t>(1000, 0)).size(), row.size());
    }

    void Addresses_data() {
        QTest::addColumn<quint32>("address");
        QTest::addColumn<quint32>("digits");
        QTest::addColumn<QString>("expected");
        QTest::newRow("form") << 0x1000u << 4u << "1000";
        QTest::newRow("default digits") << 0u << 8u << "00000000";
        QTest::newRow("longer than digits") << 0x12345u << 4u << "12345";
        QTest::newRow("no digits") << 0u << 0u << "0";
        QTest::newRow("widest") << 0xFFFFFFFFu << 40u
                                << QString(23, QLatin1Char('0')) + QStringLiteral("FFFFFFFF");
    }
    void Addresses() {
        QFETCH(quint32, address);
        QFETCH(quint32, digits);
        QFETCH(QString, expected);
        QCOMPARE(QString::fromStdString(Address(address, digits)), expected);
    }

    void Characters() {
        const std::vector<std::uint8_t> bytes = {0x1F, 0x20, 0x41, 0x7E, 0x7F, 0xFF};
        std::array<char, HexRowText::kCharBufferSize> out{};
        const std::size_t n = HexRowText::Chars(out, bytes.data(), 6);
        QCOMPARE(std::string(out.data(), n), std::string(". A~.."));
    }
};

std::unique_ptr<QObject> MakeHexLayoutTest() {
    return std::make_unique<HexLayoutTest>();
}

#include "HexLayoutTest.moc"
