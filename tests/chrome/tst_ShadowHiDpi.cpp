// The shadow on a screen of twice the pixel density (QT_SCALE_FACTOR=2): built in device pixels, the
// same design at twice the size, not the small picture enlarged.
#include "ShadowedForm.h"
#include "chrome/f_ShadowFrame.h"

#include <QApplication>
#include <QtTest>

#include <cstdlib>

class TestShadowHiDpi : public QObject {
    Q_OBJECT
private slots:
    void builtAtTheScreensDensity() {
        TShadowedForm f(QRect(100, 100, 620, 416));
        QVERIFY(f.WaitShown());
        QCOMPARE(f.Form->devicePixelRatioF(), 2.0);
        const QImage& picture = f.Shadow->ShadowBitmap();
        QCOMPARE(picture.size(), QSize(1304, 896));
        QCOMPARE(picture.devicePixelRatio(), 2.0);
        QCOMPARE(picture.deviceIndependentSize(), QSizeF(652, 448));
        QCOMPARE(f.Shadow->ShadowTemplate().size(), QSize(270, 270));
        QCOMPARE(f.Form->size(), QSize(652, 448)); // logical pixels, as at scale 1

        // The profile across the band below the form, compared with the one at scale 1: each device row
        // at scale 2 is close to the scale-1 row it lies in, and the band changes at every device row (a
        // picture enlarged pixel by pixel would repeat each value twice).
        TFormShadow single(nullptr); // with no form, the template is made at scale 1
        single.BuildShadow(10, 10);
        const QImage templ1 = single.ShadowTemplate();
        QCOMPARE(templ1.size(), QSize(135, 135));
        int repeats = 0;
        for (int y = 2 * 119; y < 270; ++y) {
            const int a2 = qAlpha(f.Shadow->ShadowTemplate().pixel(130, y));
            const int a1 = qAlpha(templ1.pixel(65, y / 2));
            QVERIFY2(std::abs(a2 - a1) <= 24,
                     qPrintable(QStringLiteral("row %1: %2 against %3").arg(y).arg(a2).arg(a1)));
            if (y % 2 == 1 && a2 > 0 && a2 == qAlpha(f.Shadow->ShadowTemplate().pixel(130, y - 1)))
                ++repeats;
        }
        QVERIFY(repeats < 4);
    }
};

int main(int argc, char** argv) {
    qputenv("QT_SCALE_FACTOR", "2");
    QApplication app(argc, argv);
    TestShadowHiDpi test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_ShadowHiDpi.moc"
