// The picture buttons: placement of the picture, stretching, the outline, the disabled picture, the
// mouse's pictures, groups and the caption.
#include "chrome/PNGImageButton.h"

#include <QFontMetrics>
#include <QPainter>
#include <QtTest>

#include <memory>

namespace {

QImage Solid(QSize size, QColor colour) {
    QImage image(size, QImage::Format_ARGB32);
    image.fill(colour);
    return image;
}

// A picture whose row y has the colour (y, 0, 255): rows can be told apart after a stretch.
QImage RowCoded(int width, int height) {
    QImage image(width, height, QImage::Format_ARGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgb(y, 0, 255));
    return image;
}
QImage ColumnCoded(int width, int height) {
    QImage image(width, height, QImage::Format_ARGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgb(x, 0, 255));
    return image;
}

void SendEnter(QWidget* w) {
    QEnterEvent event(QPointF(2, 2), QPointF(2, 2), w->mapToGlobal(QPointF(2, 2)));
    QCoreApplication::sendEvent(w, &event);
}
void SendLeave(QWidget* w) {
    QEvent event(QEvent::Leave);
    QCoreApplication::sendEvent(w, &event);
}
void SendMouse(QWidget* w, QEvent::Type type, Qt::MouseButton button, QPoint at = {3, 3}) {
    const Qt::MouseButtons held = type == QEvent::MouseButtonPress ? Qt::MouseButtons(button) : Qt::NoButton;
    QMouseEvent event(type, QPointF(at), w->mapToGlobal(QPointF(at)), button, held, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &event);
}

using TPic = TPNGImageButton::TPicture;

} // namespace

class TestPNGImageButton : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { qRegisterMetaType<QMouseEvent*>(); }

    void targetRect_data() {
        QTest::addColumn<QSize>("client");
        QTest::addColumn<QSize>("picture");
        QTest::addColumn<QRect>("expected"); // left, top, right (exclusive), bottom (exclusive)
        QTest::newRow("30x27 in 30x27") << QSize(30, 27) << QSize(30, 27) << QRect(0, 0, 30, 27);
        QTest::newRow("30x27 in 31 wide") << QSize(31, 27) << QSize(30, 27) << QRect(1, 0, 30, 27);
        QTest::newRow("30x27 in 33x30") << QSize(33, 30) << QSize(30, 27) << QRect(2, 2, 30, 27);
        QTest::newRow("wider than the button") << QSize(30, 27) << QSize(60, 27) << QRect(0, 0, 30, 27);
        QTest::newRow("taller than the button") << QSize(30, 27) << QSize(30, 40) << QRect(0, 0, 30, 27);
        QTest::newRow("small in large") << QSize(50, 50) << QSize(10, 20) << QRect(20, 15, 10, 20);
    }
    void targetRect() {
        QFETCH(QSize, client);
        QFETCH(QSize, picture);
        QFETCH(QRect, expected);
        QCOMPARE(TPNGImageButton::TargetRect(client, picture), expected);
    }

    void pictureDrawnAtRAndAutoSized() {
        TPNGImageButton button;
        QCOMPARE(button.size(), QSize(50, 50));
        button.SetPngImg(Solid({30, 27}, Qt::red));
        QCOMPARE(button.size(), QSize(30, 27)); // AutoSize follows PngImg
        QCOMPARE(button.PngImg().format(), QImage::Format_ARGB32_Premultiplied);
        button.SetAutoSize(false);
        button.resize(31, 27);
        const QImage shown = button.Render();
        QCOMPARE(qAlpha(shown.pixel(0, 10)), 0);
        QCOMPARE(shown.pixel(1, 10), qRgb(255, 0, 0));
        QCOMPARE(shown.pixel(30, 26), qRgb(255, 0, 0));
    }

    void widerPictureIsSqueezedNotCropped() {
        TPNGImageButton button;
        button.SetAutoSize(false);
        button.resize(30, 27);
        QImage wide(60, 27, QImage::Format_ARGB32);
        wide.fill(Qt::red);
        QPainter(&wide).fillRect(30, 0, 30, 27, Qt::blue);
        button.SetPngImg(wide);
        const QImage shown = button.Render();
        QCOMPARE(shown.size(), QSize(30, 27));
        QCOMPARE(shown.pixel(3, 13), qRgb(255, 0, 0));
        QCOMPARE(shown.pixel(26, 13), qRgb(0, 0, 255)); // cropping would show red only
    }

    void fixedBorders_data() {
        QTest::addColumn<int>("fixed");
        QTest::addColumn<int>("clientHeight");
        QTest::addColumn<bool>("sliced");
        QTest::newRow("5 in 10: plain stretch") << 5 << 10 << false;
        QTest::newRow("5 in 11: sliced") << 5 << 11 << true;
        QTest::newRow("10 in 40: sliced") << 10 << 40 << true;
        QTest::newRow("10 in 20: plain stretch") << 10 << 20 << false;
        QTest::newRow("0: plain stretch") << 0 << 40 << false;
    }
    void fixedBorders() {
        QFETCH(int, fixed);
        QFETCH(int, clientHeight);
        QFETCH(bool, sliced);
        const QImage p = RowCoded(8, 30);
        const QImage q = TPNGImageButton::StretchFixedBorders(p, QSize(8, clientHeight), 0, fixed);
        if (!sliced) {
            QCOMPARE(q.height(), 30);
            return;
        }
        QCOMPARE(q.height(), clientHeight);
        for (int y = 0; y < fixed; ++y) {
            QCOMPARE(qRed(q.pixel(4, y)), y);                                     // top rows unscaled
            QCOMPARE(qRed(q.pixel(4, clientHeight - fixed + y)), 30 - fixed + y); // bottom rows unscaled
        }
        for (int y = fixed; y < clientHeight - fixed; ++y) { // the middle takes only middle rows
            QVERIFY(qRed(q.pixel(4, y)) >= fixed);
            QVERIFY(qRed(q.pixel(4, y)) < 30 - fixed);
        }
    }

    void fixedWidthAcrossColumnsAndOnScreen() {
        TPNGImageButton button;
        button.SetAutoSize(false);
        button.SetStretch(true);
        button.SetFixedWidth(5);
        button.SetPngImg(ColumnCoded(20, 10));
        button.resize(100, 10);
        const QImage shown = button.Render();
        for (int x = 0; x < 5; ++x) {
            QCOMPARE(qRed(shown.pixel(x, 5)), x);
            QCOMPARE(qRed(shown.pixel(95 + x, 5)), 15 + x);
        }
        QVERIFY(qRed(shown.pixel(50, 5)) >= 5 && qRed(shown.pixel(50, 5)) < 15);
    }

    void negativeFixedSizesStoredAsZero() {
        TPNGImageButton button;
        button.SetFixedWidth(-3);
        button.SetFixedHeight(-1);
        QCOMPARE(button.FixedWidth(), 0);
        QCOMPARE(button.FixedHeight(), 0);
        button.SetFixedWidth(7);
        QCOMPARE(button.FixedWidth(), 7);
    }

    void emptyButtonShowsADashedOutline() {
        TPNGImageButton button;
        const QImage shown = button.Render();
        QCOMPARE(shown.size(), QSize(50, 50));
        QCOMPARE(shown.pixel(0, 0), qRgb(0, 0, 0));
        int black = 0, clear = 0;
        for (int x = 0; x < 50; ++x) {
            const QRgb p = shown.pixel(x, 0);
            (qAlpha(p) == 255 && qRed(p) == 0 ? black : clear) += 1;
        }
        QVERIFY(black > 10);
        QVERIFY(clear > 5); // dashed, not solid
        QVERIFY(qAlpha(shown.pixel(49, 20)) == 255 || qAlpha(shown.pixel(49, 21)) == 255 ||
                qAlpha(shown.pixel(49, 22)) == 255); // the right edge is drawn too
        QCOMPARE(qAlpha(shown.pixel(25, 25)), 0);    // no fill
    }

    void disablingShowsAThirdOfTheColours() {
        QWidget parent;
        auto* button = new TPNGImageButton(&parent);
        QImage picture(4, 4, QImage::Format_ARGB32);
        picture.fill(qRgba(150, 91, 32, 255));
        picture.setPixel(1, 1, qRgba(150, 90, 30, 128));
        button->SetPngImg(picture);
        button->setEnabled(false);
        QCOMPARE(button->CurrentPicture(), TPic::Disabled);
        const QImage disabled = button->PngDisabled().convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(disabled.pixel(0, 0), qRgba(50, 30, 10, 255));
        const QRgb half = disabled.pixel(1, 1);
        QCOMPARE(qAlpha(half), 128);
        QVERIFY(qAbs(qRed(half) - 50) <= 1 && qAbs(qGreen(half) - 30) <= 1 && qAbs(qBlue(half) - 10) <= 1);
        QCOMPARE(button->Render().pixel(0, 0), qRgb(50, 30, 10));
        // A whole parent switched off counts as well; on again shows PngImg.
        button->setEnabled(true);
        QCOMPARE(button->CurrentPicture(), TPic::Img);
        parent.setEnabled(false);
        QCOMPARE(button->CurrentPicture(), TPic::Disabled);
        parent.setEnabled(true);
        QCOMPARE(button->CurrentPicture(), TPic::Img);
    }

    void givenDisabledPictureIsKept() {
        TPNGImageButton button;
        button.SetPngImg(Solid({4, 4}, Qt::red));
        button.SetPngDisabled(Solid({4, 4}, Qt::gray));
        button.setEnabled(false);
        QCOMPARE(button.Render().pixel(1, 1), QColor(Qt::gray).rgb());
    }

    void paletteBasedPictureStaysUndimmed() {
        QImage indexed(2, 2, QImage::Format_Indexed8);
        indexed.setColorTable({qRgb(150, 90, 30)});
        indexed.fill(0);
        TPNGImageButton button;
        button.SetPngImg(indexed);
        button.MakeDisabledPicture();
        QCOMPARE(button.PngDisabled().pixel(0, 0), qRgb(150, 90, 30));
    }

    // Normal, hover, press (no pressed picture), release inside, leave, enter again.
    void hoverPressReleaseSequence() {
        QWidget parent;
        auto* button = new TPNGImageButton(&parent);
        button->SetPngImg(Solid({30, 27}, Qt::red));
        button->SetPngOver(Solid({30, 27}, Qt::green));
        QSignalSpy clicks(button, &TPNGImageButton::OnClick);
        QSignalSpy enters(button, &TPNGImageButton::OnMouseEnter);
        QSignalSpy ups(button, &TPNGImageButton::OnMouseUp);
        QCOMPARE(button->Render().pixel(5, 5), QColor(Qt::red).rgb());
        SendEnter(button);
        QCOMPARE(button->CurrentPicture(), TPic::Over);
        SendMouse(button, QEvent::MouseButtonPress, Qt::LeftButton);
        QCOMPARE(button->CurrentPicture(), TPic::Over);
        SendMouse(button, QEvent::MouseButtonRelease, Qt::LeftButton);
        QCOMPARE(button->CurrentPicture(), TPic::Img); // PngOver was current and PngUp is empty
        QCOMPARE(clicks.count(), 1);
        QCOMPARE(ups.count(), 1);
        SendLeave(button);
        QCOMPARE(button->CurrentPicture(), TPic::Img);
        SendEnter(button);
        QCOMPARE(button->CurrentPicture(), TPic::Over);
        QCOMPARE(enters.count(), 2);
        QCOMPARE(button->Render().pixel(5, 5), QColor(Qt::green).rgb());
    }

    void pressedAndReleasedPictures() {
        TPNGImageButton button;
        button.SetPngImg(Solid({10, 10}, Qt::red));
        button.SetPngDown(Solid({10, 10}, Qt::blue));
        button.SetPngUp(Solid({10, 10}, Qt::yellow));
        QSignalSpy downs(&button, &TPNGImageButton::OnMouseDown);
        QSignalSpy clicks(&button, &TPNGImageButton::OnClick);
        SendMouse(&button, QEvent::MouseButtonPress, Qt::LeftButton);
        QCOMPARE(button.CurrentPicture(), TPic::Down);
        SendMouse(&button, QEvent::MouseButtonRelease, Qt::LeftButton, QPoint(40, 40)); // outside
        QCOMPARE(button.CurrentPicture(), TPic::Up);
        QCOMPARE(clicks.count(), 0);
        // Other buttons change nothing and raise nothing.
        SendMouse(&button, QEvent::MouseButtonPress, Qt::RightButton);
        QCOMPARE(button.CurrentPicture(), TPic::Up);
        QCOMPARE(downs.count(), 1);
    }

    void emptiedCurrentPictureFallsBack() {
        TPNGImageButton button;
        button.SetPngImg(Solid({10, 10}, Qt::red));
        button.SetPngOver(Solid({10, 10}, Qt::green));
        SendEnter(&button);
        QCOMPARE(button.CurrentPicture(), TPic::Over);
        QSignalSpy changes(&button, &TPNGImageButton::OnPictureChange);
        button.SetPngOver(QImage());
        QCOMPARE(changes.count(), 1);
        QCOMPARE(button.CurrentPicture(), TPic::None);
        QCOMPARE(button.Render().pixel(5, 5), QColor(Qt::red).rgb());
        QCOMPARE(button.size(), QSize(10, 10)); // an empty picture does not size the button
    }

    void tileAndIcon() {
        TPNGImageButton button;
        button.SetAutoSize(false);
        button.resize(30, 30);
        QImage cell = Solid({10, 10}, Qt::red);
        QPainter(&cell).fillRect(0, 0, 5, 10, Qt::blue);
        button.SetPngImg(cell);
        button.SetTile(true);
        QImage shown = button.Render();
        QCOMPARE(shown.pixel(22, 25), qRgb(0, 0, 255));
        QCOMPARE(shown.pixel(27, 25), qRgb(255, 0, 0));
        button.SetTile(false);
        button.SetIcon(Solid({4, 4}, Qt::white));
        button.SetIconOffsetX(3);
        shown = button.Render();
        QCOMPARE(shown.pixel(13 + 3, 13), qRgb(255, 255, 255));
        QCOMPARE(shown.pixel(12 + 3, 13), qRgb(255, 0, 0));

        // The popup arrow shows at the right edge only while a popup menu is attached.
        button.SetIcon(QImage());
        button.SetStretch(true); // red over the right half
        button.SetPopupArrow(Solid({4, 6}, Qt::black));
        QCOMPARE(button.Render().pixel(21, 12), qRgb(255, 0, 0));
        QMenu menu;
        button.SetPopupMenu(&menu);
        button.SetPopupArrowOffsetY(1);
        shown = button.Render();
        QCOMPARE(shown.pixel(21, 12 + 1), qRgb(0, 0, 0)); // x = 30 - 4 - 5, y = (30 - 6) / 2 + 1
        QCOMPARE(shown.pixel(20, 13), qRgb(255, 0, 0));
        QCOMPARE(shown.pixel(21, 12), qRgb(255, 0, 0));
    }

    void groupReleasesTheOthers() {
        QWidget parent;
        auto* a = new TPNGImageButtonEx(&parent);
        auto* b = new TPNGImageButtonEx(&parent);
        auto* other = new TPNGImageButtonEx(&parent); // another group
        for (TPNGImageButtonEx* button : {a, b, other}) {
            button->SetPngImg(Solid({10, 10}, Qt::red));
            button->SetPngOver(Solid({10, 10}, Qt::green));
            button->SetPngDown(Solid({10, 10}, Qt::blue));
        }
        a->SetGroupIndex(1);
        b->SetGroupIndex(1);
        other->SetGroupIndex(2);
        SendMouse(a, QEvent::MouseButtonPress, Qt::LeftButton);
        SendMouse(a, QEvent::MouseButtonRelease, Qt::LeftButton);
        SendMouse(other, QEvent::MouseButtonPress, Qt::LeftButton);
        QVERIFY(a->Down());
        QCOMPARE(a->CurrentPicture(), TPic::Down); // the release was ignored
        SendEnter(a);
        SendLeave(a);
        QCOMPARE(a->CurrentPicture(), TPic::Down);

        SendMouse(b, QEvent::MouseButtonPress, Qt::LeftButton);
        QVERIFY(b->Down());
        QVERIFY(!a->Down());
        QCOMPARE(a->CurrentPicture(), TPic::Img);
        QVERIFY(other->Down()); // another group is not touched

        // Pressing the button that is already down changes neither a picture nor a state.
        SendMouse(b, QEvent::MouseButtonRelease, Qt::LeftButton);
        SendMouse(b, QEvent::MouseButtonPress, Qt::LeftButton);
        QVERIFY(b->Down());
        QCOMPARE(b->CurrentPicture(), TPic::Down);
        QVERIFY(!a->Down());
        QCOMPARE(a->CurrentPicture(), TPic::Img);

        // Set by program: the others are released, the shown picture is not changed by the setter.
        a->SetDown(true);
        QVERIFY(!b->Down());
        QCOMPARE(b->CurrentPicture(), TPic::Img);
        QCOMPARE(a->CurrentPicture(), TPic::Img);
    }

    void captionPlacement_data() {
        QTest::addColumn<int>("alignment");
        QTest::addColumn<int>("offsetX");
        QTest::newRow("right") << int(Qt::AlignRight) << 0;
        QTest::newRow("right, offset 3") << int(Qt::AlignRight) << 3;
        QTest::newRow("left") << int(Qt::AlignLeft) << 0;
        QTest::newRow("centre") << int(Qt::AlignHCenter) << -2;
    }
    void captionPlacement() {
        QFETCH(int, alignment);
        QFETCH(int, offsetX);
        TPNGImageButtonEx button;
        button.SetAutoSize(false);
        button.resize(100, 30);
        QFont font = button.font();
        font.setPixelSize(12);
        button.setFont(font);
        // A caption 40 pixels wide, built from the font in use.
        QString caption;
        const QFontMetrics metrics(font);
        while (metrics.horizontalAdvance(caption + QLatin1Char('i')) <= 40)
            caption += QLatin1Char('i');
        const int w = metrics.horizontalAdvance(caption);
        button.SetCaption(caption);
        button.SetAlignment(Qt::Alignment(alignment));
        button.SetCaptionOffsetX(offsetX);
        int x = (100 - w) / 2;
        if (alignment == Qt::AlignRight)
            x = 100 - w - 2; // 58 for a caption of 40 pixels
        else if (alignment == Qt::AlignLeft)
            x = 2;
        QCOMPARE(button.CaptionPosition(), QPoint(x + offsetX, (30 - metrics.height()) / 2));
        if (w == 40 && alignment == Qt::AlignRight)
            QCOMPARE(button.CaptionPosition().x(), 58 + offsetX);
        // Drawn there, with no picture (a dashed outline) beneath.
        const QImage shown = button.Render();
        int firstInk = -1;
        for (int px = 1; px < 99 && firstInk < 0; ++px)
            for (int py = 3; py < 27; ++py)
                if (qAlpha(shown.pixel(px, py)) > 0) {
                    firstInk = px;
                    break;
                }
        QVERIFY(firstInk >= x + offsetX);
        QVERIFY(firstInk <= x + offsetX + 4);
    }
};

QTEST_MAIN(TestPNGImageButton)
#include "tst_PNGImageButton.moc"
