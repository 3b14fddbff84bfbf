// The shadow's pictures: product table, template, assembled picture and the captured form area.
#include "chrome/f_ShadowFrame.h"

#include <QPalette>
#include <QtTest>

#include <memory>
#include <vector>

namespace {

int Alpha(const QImage& image, int x, int y) {
    return qAlpha(image.pixel(x, y));
}
int Blue(const QImage& image, int x, int y) {
    return image.constScanLine(y)[x * 4];
}
quint32 Raw(const QImage& image, int x, int y) {
    return reinterpret_cast<const quint32*>(image.constScanLine(y))[x];
}

// A frameless, opaque form in one colour with an active shadow.
struct TShadowedForm {
    std::unique_ptr<QWidget> Form;
    TFormShadow* Shadow = nullptr;

    TShadowedForm(QRect geometry, QColor colour = QColor(200, 100, 50),
                  const std::function<void(TFormShadow&)>& setup = {}) {
        Form = std::make_unique<QWidget>(nullptr, Qt::FramelessWindowHint);
        QPalette palette = Form->palette();
        palette.setColor(QPalette::Window, colour);
        Form->setPalette(palette);
        Form->setAutoFillBackground(true);
        Form->setGeometry(geometry);
        Shadow = new TFormShadow(Form.get());
        if (setup)
            setup(*Shadow);
        Shadow->SetForm(Form.get());
        Form->show();
        Shadow->SetShadowVisible(true);
    }
    bool WaitActive() const {
        return QTest::qWaitFor([&] { return Shadow->Active() && Shadow->BuildCount() > 0; }, 2000);
    }
};

} // namespace

class TestShadowPicture : public QObject {
    Q_OBJECT
private slots:
    void productTable() {
        const TProductTable& table = ProductTable();
        QCOMPARE(table[0][0], 0);
        QCOMPARE(table[255][255], 255);
        QCOMPARE(table[255][7], 7);
        QCOMPARE(table[128][128], 64); // 16384 / 255 = 64.25, truncated
        QCOMPARE(table[254][1], 0);    // 254 / 255 truncates to 0
        QCOMPARE(table[200][100], 78); // 20000 / 255 = 78.4
        for (int a = 0; a < 256; a += 17)
            for (int b = 0; b < 256; b += 13)
                QCOMPARE(int(table[a][b]), a * b / 255);
    }

    // The template's alpha profile with the defaults (two passes, black), as designed.
    void templateProfile() {
        TShadowedForm shadowed(QRect(100, 100, 200, 150));
        QVERIFY(shadowed.WaitActive());
        const QImage& t = shadowed.Shadow->ShadowTemplate();
        QCOMPARE(t.size(), QSize(135, 135));

        const std::vector<int> top = {0, 63, 95, 143, 167};
        for (int i = 0; i < int(top.size()); ++i)
            QCOMPARE(Alpha(t, 65, 12 + i), top[i]);
        const std::vector<int> side = {1, 1, 4, 7, 17, 28, 60, 77, 116};
        for (int i = 0; i < int(side.size()); ++i) {
            QCOMPARE(Alpha(t, 7 + i, 65), side[i]);
            QCOMPARE(Alpha(t, 134 - 7 - i, 65), side[i]); // mirrored on the right
        }
        const std::vector<int> bottom = {110, 86, 58, 44, 29, 22, 14, 11, 7, 5, 3, 2, 1, 1, 0};
        // Row 118 lies under the form and keeps its blurred white (alpha byte untouched, 0); the
        // values are the blue bytes there, which the tint turns into the alpha from row 119 on.
        QCOMPARE(Blue(t, 65, 118), bottom[0]);
        for (int i = 1; i < int(bottom.size()); ++i)
            QCOMPARE(Alpha(t, 65, 118 + i), bottom[i]);
        // Black tint: premultiplied colour bytes are 0 where alpha was set.
        QCOMPARE(qRed(t.pixel(65, 14)), 0);
    }

    void tintFollowsColourSetBeforeTheFirstBuild() {
        TShadowedForm shadowed(QRect(100, 100, 200, 150), Qt::white,
                               [](TFormShadow& s) { s.SetShadowColor(QColor(255, 0, 0)); });
        QVERIFY(shadowed.WaitActive());
        const QImage& t = shadowed.Shadow->ShadowTemplate();
        const uchar* p = t.constScanLine(14) + 65 * 4; // B, G, R, A
        QCOMPARE(int(p[3]), 95);
        QCOMPARE(int(p[2]), 95); // red = 255 * 95 / 255
        QCOMPARE(int(p[1]), 0);
        QCOMPARE(int(p[0]), 0);
    }

    void colourChangeAfterShowingKeepsThePicture() {
        TShadowedForm shadowed(QRect(100, 100, 200, 150));
        QVERIFY(shadowed.WaitActive());
        const QImage before = shadowed.Shadow->ShadowBitmap().copy();
        const int builds = shadowed.Shadow->BuildCount();
        shadowed.Shadow->SetShadowColor(QColor(0, 0, 255));
        QCOMPARE(shadowed.Shadow->ShadowBitmap(), before);
        QCOMPARE(shadowed.Shadow->BuildCount(), builds);
    }

    void geometryOfTheStandardForm() {
        TShadowedForm shadowed(QRect(100, 100, 620, 416));
        QVERIFY(shadowed.WaitActive());
        QCOMPARE(shadowed.Shadow->ShadowBitmap().size(), QSize(652, 448));
        QCOMPARE(shadowed.Shadow->ShadowBitmap().format(), QImage::Format_ARGB32_Premultiplied);
        QTRY_COMPARE(shadowed.Shadow->ShadowWindow()->geometry(), QRect(84, 84, 652, 448));
        QVERIFY(shadowed.Shadow->ShadowWindowVisible());
        QCOMPARE(shadowed.Shadow->LastWidth(), 620);
        QCOMPARE(shadowed.Shadow->LastHeight(), 416);
        // The shadow window lets the mouse through and never takes the focus.
        const Qt::WindowFlags flags = shadowed.Shadow->ShadowWindow()->windowFlags();
        QVERIFY(flags & Qt::WindowTransparentForInput);
        QVERIFY(flags & Qt::WindowDoesNotAcceptFocus);
        QVERIFY(flags & Qt::X11BypassWindowManagerHint);
        QVERIFY(!shadowed.Shadow->ShadowWindow()->isActiveWindow());
    }

    void cornersAndStrips_data() {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::newRow("620x416") << 620 << 416;
        QTest::newRow("33x40") << 33 << 40;
        QTest::newRow("100x20") << 100 << 20;
    }
    void cornersAndStrips() {
        QFETCH(int, width);
        QFETCH(int, height);
        TShadowedForm shadowed(QRect(100, 100, width, height));
        QVERIFY(shadowed.WaitActive());
        const QImage& t = shadowed.Shadow->ShadowTemplate();
        const QImage& b = shadowed.Shadow->ShadowBitmap();
        const int bw = width + 32, bh = height + 32;
        QCOMPARE(b.size(), QSize(bw, bh));
        for (int y = 0; y <= 16; ++y)
            for (int x = 31; x <= bw - 33; ++x)
                QCOMPARE(Raw(b, x, y), Raw(t, 65, y));
        for (int y = bh - 16; y <= bh - 1; ++y) // the row above lies under the form
            for (int x = 31; x <= bw - 33; ++x)
                QCOMPARE(Raw(b, x, y), Raw(t, 65, 118 + y - (bh - 17)));
        for (int y = 31; y <= bh - 33; ++y)
            for (int x = 0; x <= 15; ++x) {
                QCOMPARE(Raw(b, x, y), Raw(t, x, 65));
                QCOMPARE(Raw(b, bw - 1 - x, y), Raw(t, 134 - x, 65));
            }
        for (int y = 0; y < 16; ++y) // the outer parts of the four corners
            for (int x = 0; x < 16; ++x) {
                QCOMPARE(Raw(b, x, y), Raw(t, x, y));
                QCOMPARE(Raw(b, bw - 1 - x, y), Raw(t, 134 - x, y));
                QCOMPARE(Raw(b, x, bh - 1 - y), Raw(t, x, 134 - y));
                QCOMPARE(Raw(b, bw - 1 - x, bh - 1 - y), Raw(t, 134 - x, 134 - y));
            }
    }

    // Narrower than 32: no top or bottom strip, the corners overlap and the later copy wins.
    void narrowFormHasNoTopOrBottomStrip() {
        TShadowedForm shadowed(QRect(100, 100, 20, 100));
        QVERIFY(shadowed.WaitActive());
        const QImage& t = shadowed.Shadow->ShadowTemplate();
        const QImage& b = shadowed.Shadow->ShadowBitmap();
        const int bw = 52, bh = 132;
        QCOMPARE(b.size(), QSize(bw, bh));
        for (int y = 0; y < 16; ++y) {
            for (int x = 0; x < bw - 32; ++x)
                QCOMPARE(Raw(b, x, y), Raw(t, x, y));
            for (int x = bw - 32; x < bw; ++x) // the top-right corner overwrote the top-left one
                QCOMPARE(Raw(b, x, y), Raw(t, 103 + x - (bw - 32), y));
            for (int x = bw - 32; x < bw; ++x)
                QCOMPARE(Raw(b, x, bh - 1 - y), Raw(t, 103 + x - (bw - 32), 134 - y));
        }
    }

    void capturedFormAreaIsOpaque() {
        const QColor colour(200, 100, 50);
        TShadowedForm shadowed(QRect(100, 100, 300, 200), colour);
        QVERIFY(shadowed.WaitActive());
        QTRY_COMPARE_WITH_TIMEOUT(shadowed.Shadow->FormImage().size(), QSize(300, 200), 2000);
        const QImage& b = shadowed.Shadow->ShadowBitmap();
        for (int y = 16; y < 216; ++y)
            for (int x = 16; x < 316; ++x) {
                const QRgb p = b.pixel(x, y);
                QCOMPARE(qAlpha(p), 255);
                QCOMPARE(QColor(p).rgb(), colour.rgb());
            }
        // The band outside stays translucent and the outermost pixels are clear.
        QVERIFY(Alpha(b, 160, 8) < 255);
        QCOMPARE(Alpha(b, 0, 0), 0);
    }
};

QTEST_MAIN(TestShadowPicture)
#include "tst_ShadowPicture.moc"
