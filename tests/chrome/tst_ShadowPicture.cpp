// The shadow's pictures: product table, template, the assembled picture and how the window shows it.
#include "ShadowedForm.h"
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
        QCOMPARE(shadowed.Shadow->LastWidth(), 620);
        QCOMPARE(shadowed.Shadow->LastHeight(), 416);
        // The window is the form's area with the band around it; the area lies where the form was put.
        QCOMPARE(shadowed.Form->geometry(), QRect(84, 84, 652, 448));
        QCOMPARE(shadowed.Shadow->FormArea(), QRect(16, 16, 620, 416));
        QCOMPARE(shadowed.Area->geometry(), QRect(16, 16, 620, 416));
        QVERIFY(shadowed.Form->testAttribute(Qt::WA_TranslucentBackground));
        // The layer that paints it lies beneath the area, lets the mouse through and takes no focus.
        QWidget* layer = shadowed.Shadow->ShadowLayer();
        QVERIFY(layer->testAttribute(Qt::WA_TransparentForMouseEvents));
        QCOMPARE(layer->focusPolicy(), Qt::NoFocus);
        QCOMPARE(layer->geometry(), shadowed.Form->rect());
        QCOMPARE(shadowed.Form->children().indexOf(layer) < shadowed.Form->children().indexOf(shadowed.Area),
                 true);
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

    // What the window shows: the form's area as the form paints it, the band translucent around it,
    // clear at the outermost pixels.
    void windowShowsTheAreaInsideTheBand() {
        const QColor colour(200, 100, 50);
        TShadowedForm shadowed(QRect(100, 100, 300, 200), colour);
        QVERIFY(shadowed.WaitShown());
        const QImage shown = shadowed.Form->grab().toImage().convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(shown.size(), QSize(332, 232));
        for (int y = 16; y < 216; y += 7)
            for (int x = 16; x < 316; x += 7)
                QCOMPARE(shown.pixel(x, y), colour.rgb());
        const QRgb band = shown.pixel(160, 224); // below the form, where the shadow is deepest
        QVERIFY(qAlpha(band) > 0 && qAlpha(band) < 255);
        QCOMPARE(qRed(band), 0);
        QCOMPARE(qAlpha(shown.pixel(0, 0)), 0);
        QCOMPARE(qAlpha(shown.pixel(331, 231)), 0);
    }
};

QTEST_MAIN(TestShadowPicture)
#include "tst_ShadowPicture.moc"
