// The windows at twice the pixel density (QT_SCALE_FACTOR=2, set by the test itself): a picture on screen
// is the drawing made at 2x, pixel for pixel, not the 1x drawing enlarged; the layout keeps its logical
// sizes.
#include "QuietSeams.h"
#include "chrome/CjkFont.h"
#include "chrome/f_ShadowFrame.h"
#include "forms/f_Info.h"
#include "forms/f_Main.h"

#include <QApplication>
#include <QPainter>
#include <QtTest>

namespace {

// The picture file drawn over white, as the page shows it, in device pixels.
QImage OverWhite(const QImage& picture, QSize size) {
    QImage out(size, QImage::Format_RGB32);
    out.fill(Qt::white);
    QPainter p(&out);
    p.setRenderHint(QPainter::SmoothPixmapTransform, true);
    p.drawImage(QRect(QPoint(0, 0), size), picture);
    return out;
}

// How many pixels differ by more than a small tolerance in any channel.
int Differing(const QImage& a, const QImage& b) {
    int count = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            if (std::abs(qRed(p) - qRed(q)) > 8 || std::abs(qGreen(p) - qGreen(q)) > 8 ||
                std::abs(qBlue(p) - qBlue(q)) > 8)
                ++count;
        }
    return count;
}

} // namespace

class TestHiDpi : public QObject {
    Q_OBJECT

    // The control as the window paints it, in device pixels, against the 2x and the enlarged 1x drawing.
    static void CompareWithDrawings(QWidget* page, QWidget* control, const QString& file) {
        const QRect area(control->mapTo(page, QPoint(0, 0)), control->size());
        const QImage shown = page->grab(area).toImage().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(shown.size(), control->size() * 2);
        const QImage twice(QStringLiteral(":/pictures/%1@2x.png").arg(file));
        const QImage once(QStringLiteral(":/pictures/%1.png").arg(file));
        QCOMPARE(twice.size(), control->size() * 2);
        const int fromTwice = Differing(shown, OverWhite(twice, shown.size()));
        const int fromOnce = Differing(shown, OverWhite(once, shown.size()));
        const int all = shown.width() * shown.height();
        QVERIFY2(
            fromTwice <= all / 200,
            qPrintable(QStringLiteral("%1 of %2 pixels differ from the 2x drawing").arg(fromTwice).arg(all)));
        QVERIFY2(
            fromOnce > all / 20,
            qPrintable(QStringLiteral("only %1 of %2 pixels differ from the 1x one").arg(fromOnce).arg(all)));
    }

private slots:
    void mainWindowPicturesAreThe2xDrawings() {
        Tfrm_Main window(QuietSeams());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(window.devicePixelRatioF(), 2.0);
        QCOMPARE(window.Shadow()->FormArea().size(), QSize(620, 416)); // logical pixels, as at scale 1
        QWidget* page = window.findChild<QWidget*>(QStringLiteral("TS1"));
        CompareWithDrawings(page, window.findChild<QWidget*>(QStringLiteral("btnDownloadNow")),
                            QStringLiteral("download_now"));
    }

    void failPromptPicturesAreThe2xDrawings() {
        Tfrm_Info prompt;
        prompt.setModal(false);
        prompt.show();
        QVERIFY(QTest::qWaitForWindowExposed(&prompt));
        QWidget* form = prompt.findChild<QWidget*>(QStringLiteral("pnlForm"));
        CompareWithDrawings(form, prompt.findChild<QWidget*>(QStringLiteral("Image1")),
                            QStringLiteral("info_icon"));
    }
};

int main(int argc, char** argv) {
    qputenv("QT_SCALE_FACTOR", "2");
    QApplication app(argc, argv);
    InstallCjkFontSubstitution();
    TestHiDpi test;
    return QTest::qExec(&test, argc, argv);
}

#include "HiDpiTest.moc"
