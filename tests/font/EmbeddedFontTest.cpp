// The font the program brings, on a machine without any CJK font: a fontconfig that sees only DejaVu.
//
// Every text of the three windows is drawn by the embedded font, with no missing glyph; and the start page
// and a message box, rendered there, show the same text lines as the same windows without the embedded font
// on a machine with Noto Sans CJK SC installed (the font the subset is cut from), while the render without
// the embedded font on the machine without CJK fonts shows boxes. The renders are made by this program
// itself, started again with another fontconfig (--render MODE FOLDER).
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QImage>
#include <QLabel>
#include <QProcess>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTemporaryDir>
#include <QTextLayout>
#include <QTextStream>
#include <QWidget>

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <vector>

#include "chrome/CjkFont.h"
#include "forms/f_Info.h"
#include "forms/f_Main.h"
#include "forms/f_MsgDlgBox.h"
#include "tests/mainwindow/QuietSeams.h"

// Readable QString values in failure messages.
void PrintTo(const QString& Text, std::ostream* Out) {
    *Out << '"' << Text.toStdString() << '"';
}

namespace {

const char* const kNoCjkConfig = KELTRIMA_NO_CJK_FONTCONFIG;
const char* const kWithCjkConfig = KELTRIMA_WITH_CJK_FONTCONFIG;
const QString kMessage = QStringLiteral("网络异常，请检查网络后重试！");

QString TextOf(const QWidget* Widget) {
    if (const auto* label = qobject_cast<const QLabel*>(Widget)) {
        return label->text();
    }
    if (const auto* button = qobject_cast<const QAbstractButton*>(Widget)) {
        return QString(button->text()).remove(QLatin1Char('&'));
    }
    return QString();
}

// Every widget with a text below Top (itself included), visible or not.
std::vector<QWidget*> TextWidgets(QWidget* Top) {
    std::vector<QWidget*> found;
    QList<QWidget*> all = Top->findChildren<QWidget*>();
    all.prepend(Top);
    for (QWidget* widget : all) {
        if (!TextOf(widget).isEmpty()) {
            found.push_back(widget);
        }
    }
    return found;
}

// Where a text comes out wrong: the characters drawn with a missing glyph or by another font than the
// embedded one.
QString Faults(const QString& Text, const QFont& Font) {
    QTextLayout layout(Text, Font);
    layout.beginLayout();
    while (layout.createLine().isValid()) {
    }
    layout.endLayout();
    QString faults;
    for (const QGlyphRun& run : layout.glyphRuns()) {
        const QVector<quint32> glyphs = run.glyphIndexes();
        const bool missing = std::find(glyphs.begin(), glyphs.end(), 0u) != glyphs.end();
        if (missing || run.rawFont().familyName().compare(EmbeddedCjkFamily(), Qt::CaseInsensitive) != 0) {
            faults +=
                QStringLiteral("[%1 glyphs of \"%2\"%3] ")
                    .arg(glyphs.size())
                    .arg(run.rawFont().familyName(), missing ? QStringLiteral(", some missing") : QString());
        }
    }
    return faults;
}

// ---------------------------------------------------------------------------------------------------------
// Renders (the child's side)

// What a render writes: the window as PNG and, per text widget shown, its name and rectangle.
void WriteRender(QWidget& Window, const QString& Folder, const QString& Name) {
    Window.show();
    QApplication::processEvents();
    Window.grab().toImage().save(Folder + QLatin1Char('/') + Name + QStringLiteral(".png"));
    QFile manifest(Folder + QLatin1Char('/') + Name + QStringLiteral(".txt"));
    if (!manifest.open(QIODevice::WriteOnly | QIODevice::Text)) {
        std::exit(3);
    }
    QTextStream out(&manifest);
    for (QWidget* widget : TextWidgets(&Window)) {
        if (widget->isVisible()) {
            // A radio button's or check box's text only, without its mark.
            QRect inside = widget->rect();
            const bool radio = qobject_cast<QRadioButton*>(widget) != nullptr;
            if (radio || qobject_cast<QCheckBox*>(widget) != nullptr) {
                QStyleOptionButton option;
                option.initFrom(widget);
                option.text = TextOf(widget);
                inside = widget->style()->subElementRect(
                    radio ? QStyle::SE_RadioButtonContents : QStyle::SE_CheckBoxContents, &option, widget);
            }
            const QRect r(widget->mapTo(&Window, inside.topLeft()), inside.size());
            out << widget->objectName() << ' ' << r.x() << ' ' << r.y() << ' ' << r.width() << ' '
                << r.height() << '\n';
        }
    }
}

// MODE "program": as the program draws; "without": the embedded font taken away again, so that every text
// falls to the machine's fonts.
int Render(const QString& Mode, const QString& Folder) {
    InstallCjkFontSubstitution();
    if (Mode == QLatin1String("without")) {
        QFontDatabase::removeAllApplicationFonts();
    }
    Tfrm_Main main(QuietSeams());
    WriteRender(main, Folder, QStringLiteral("start"));
    Tfrm_MsgDlg box;
    box.Prepare(mbkInformation, kMessage, QString(), false, QString());
    WriteRender(box, Folder, QStringLiteral("box"));
    return 0;
}

// ---------------------------------------------------------------------------------------------------------
// Comparing renders (the test's side)

struct TRegion {
    QString Name;
    QRect Rect;
};

std::vector<TRegion> ReadManifest(const QString& Path) {
    std::vector<TRegion> regions;
    QFile file(Path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        return regions;
    }
    QTextStream in(&file);
    while (!in.atEnd()) {
        const QStringList f = in.readLine().split(QLatin1Char(' '));
        if (f.size() == 5) {
            regions.push_back({f[0], QRect(f[1].toInt(), f[2].toInt(), f[3].toInt(), f[4].toInt())});
        }
    }
    return regions;
}

// The lines of text inside a region, each cut to its ink: rows and columns that differ from the region's
// corner colour.
std::vector<QImage> InkLines(const QImage& Shot, const QRect& Region) {
    const QImage area = Shot.copy(Region).convertToFormat(QImage::Format_RGB32);
    const QRgb ground = area.pixel(0, 0);
    auto ink = [&](int X, int Y) {
        const QRgb p = area.pixel(X, Y);
        return std::abs(qRed(p) - qRed(ground)) + std::abs(qGreen(p) - qGreen(ground)) +
                   std::abs(qBlue(p) - qBlue(ground)) >
               60;
    };
    std::vector<QImage> lines;
    int top = -1;
    for (int y = 0; y <= area.height(); ++y) {
        bool any = false;
        for (int x = 0; y < area.height() && x < area.width() && !any; ++x) {
            any = ink(x, y);
        }
        if (any && top < 0) {
            top = y;
        } else if (!any && top >= 0) {
            int left = area.width();
            int right = -1;
            for (int yy = top; yy < y; ++yy) {
                for (int x = 0; x < area.width(); ++x) {
                    if (ink(x, yy)) {
                        left = std::min(left, x);
                        right = std::max(right, x);
                    }
                }
            }
            lines.push_back(area.copy(QRect(left, top, right - left + 1, y - top)));
            top = -1;
        }
    }
    return lines;
}

// How far two ink lines are apart (0 to 255): the mean difference of the two, each blurred to half its
// size, at the best of the offsets up to a pixel, so that the hinting of the font's two copies does not
// count, only the glyphs' shapes; 255 when their sizes differ by more than two pixels.
double LineDifference(const QImage& A, const QImage& B) {
    if (std::abs(A.width() - B.width()) > 2 || std::abs(A.height() - B.height()) > 2) {
        return 255;
    }
    double best = 255;
    for (int dy = -1; dy <= 1; ++dy) {
        for (int dx = -1; dx <= 1; ++dx) {
            // The overlap of A and B shifted by (dx, dy).
            const QRect overlap = A.rect().intersected(B.rect().translated(dx, dy));
            const QSize half(std::max(1, overlap.width() / 2), std::max(1, overlap.height() / 2));
            const QImage a = A.copy(overlap).scaled(half, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            const QImage b = B.copy(overlap.translated(-dx, -dy))
                                 .scaled(half, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            double sum = 0;
            for (int y = 0; y < half.height(); ++y) {
                for (int x = 0; x < half.width(); ++x) {
                    sum += std::abs(qGray(a.pixel(x, y)) - qGray(b.pixel(x, y)));
                }
            }
            best = std::min(best, sum / (half.width() * half.height()));
        }
    }
    return best;
}

// Renders into Folder with the given fontconfig, for a user of the Chinese locale (which picks the Simplified
// Chinese face where a text falls back to the machine's fonts).
::testing::AssertionResult RenderIn(const QString& Mode, const char* FontConfig, const QString& Folder) {
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("FONTCONFIG_FILE"), QString::fromLocal8Bit(FontConfig));
    env.insert(QStringLiteral("LANG"), QStringLiteral("zh_CN.UTF-8"));
    env.remove(QStringLiteral("LC_ALL"));
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::ForwardedChannels);
    QDir().mkpath(Folder);
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--render"), Mode, Folder});
    if (!child.waitForFinished(60000) || child.exitCode() != 0) {
        return ::testing::AssertionFailure() << "the render " << Mode.toStdString() << " failed";
    }
    return ::testing::AssertionSuccess();
}

struct TComparison {
    int Lines = 0;         // text lines compared
    int Differing = 0;     // lines that differ
    QStringList Unmatched; // regions whose line counts differ
};

TComparison Compare(const QString& A, const QString& B, const QString& Name) {
    TComparison result;
    const QImage shotA(A + QLatin1Char('/') + Name + QStringLiteral(".png"));
    const QImage shotB(B + QLatin1Char('/') + Name + QStringLiteral(".png"));
    const auto regionsA = ReadManifest(A + QLatin1Char('/') + Name + QStringLiteral(".txt"));
    const auto regionsB = ReadManifest(B + QLatin1Char('/') + Name + QStringLiteral(".txt"));
    for (const TRegion& a : regionsA) {
        const auto b = std::find_if(regionsB.begin(), regionsB.end(),
                                    [&](const TRegion& r) { return r.Name == a.Name; });
        if (b == regionsB.end()) {
            result.Unmatched << a.Name;
            continue;
        }
        const auto linesA = InkLines(shotA, a.Rect);
        const auto linesB = InkLines(shotB, b->Rect);
        if (linesA.size() != linesB.size() || linesA.empty()) {
            result.Unmatched << a.Name;
            continue;
        }
        for (std::size_t i = 0; i < linesA.size(); ++i) {
            ++result.Lines;
            const double difference = LineDifference(linesA[i], linesB[i]);
            if (difference > 12.0) {
                ++result.Differing;
                std::cerr << Name.toStdString() << "/" << a.Name.toStdString() << " line " << i << ": "
                          << linesA[i].width() << "x" << linesA[i].height() << " against "
                          << linesB[i].width() << "x" << linesB[i].height() << ", mean difference "
                          << difference << "\n";
            }
        }
    }
    return result;
}

// ---------------------------------------------------------------------------------------------------------

class EmbeddedFontTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(qgetenv("FONTCONFIG_FILE"), QByteArray(kNoCjkConfig))
            << "run by CTest, with its fontconfig";
        InstallCjkFontSubstitution();
    }
};

TEST_F(EmbeddedFontTest, TheMachineHasNoCjkFontButTheProgramsOwn) {
    const QStringList families = QFontDatabase::families();
    for (const QString& family : families) {
        EXPECT_FALSE(family.contains(QStringLiteral("CJK")) || family.contains(QStringLiteral("WenQuanYi")))
            << family.toStdString();
    }
    EXPECT_TRUE(families.contains(EmbeddedCjkFamily()));
    EXPECT_EQ(QFontInfo(YaheiFont(13)).family().toLower(), EmbeddedCjkFamily().toLower());
}

TEST_F(EmbeddedFontTest, EveryTextOfTheWindowsIsDrawnByTheEmbeddedFont) {
    Tfrm_Main main(QuietSeams());
    Tfrm_Info prompt;
    std::vector<std::unique_ptr<Tfrm_MsgDlg>> boxes;
    std::vector<QWidget*> windows{&main, &prompt};
    for (std::uint8_t kind = mbkInformation; kind <= mbkYesNo2 + 1; ++kind) {
        boxes.push_back(std::make_unique<Tfrm_MsgDlg>());
        boxes.back()->Prepare(kind, kMessage, QStringLiteral("详细信息"), false, QStringLiteral("不再提醒"));
        windows.push_back(boxes.back().get());
    }
    int texts = 0;
    for (QWidget* window : windows) {
        window->ensurePolished();
        for (QWidget* widget : TextWidgets(window)) {
            widget->ensurePolished();
            const QString text = TextOf(widget);
            ++texts;
            EXPECT_EQ(Faults(text, widget->font()), QString())
                << window->objectName().toStdString() << "/" << widget->objectName().toStdString() << ": "
                << text.toStdString();
        }
    }
    EXPECT_GT(texts, 20);
}

TEST_F(EmbeddedFontTest, ACharacterOutsideTheProgramsTextsIsCaught) {
    // "龘" stands in no text of the program: the check above would name it.
    const QString faults = Faults(QStringLiteral("电信龘"), YaheiFont(13));
    EXPECT_FALSE(faults.isEmpty());
    EXPECT_TRUE(faults.contains(QStringLiteral("some missing"))) << faults.toStdString();
}

TEST_F(EmbeddedFontTest, StartPageAndMessageBoxReadAsWithTheInstalledCjkFont) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString noCjk = dir.filePath(QStringLiteral("no-cjk"));
    const QString installed = dir.filePath(QStringLiteral("installed"));
    const QString boxes = dir.filePath(QStringLiteral("boxes"));
    ASSERT_TRUE(RenderIn(QStringLiteral("program"), kNoCjkConfig, noCjk));
    ASSERT_TRUE(RenderIn(QStringLiteral("without"), kWithCjkConfig, installed));
    ASSERT_TRUE(RenderIn(QStringLiteral("without"), kNoCjkConfig, boxes));

    for (const char* name : {"start", "box"}) {
        SCOPED_TRACE(name);
        // Without a CJK font on the machine, every line reads as with Noto Sans CJK SC installed.
        const TComparison same = Compare(noCjk, installed, QString::fromLatin1(name));
        EXPECT_GE(same.Lines, 2);
        EXPECT_EQ(same.Differing, 0);
        EXPECT_TRUE(same.Unmatched.isEmpty()) << same.Unmatched.join(u' ').toStdString();
        // The comparison sees boxes: without the embedded font the Chinese lines differ.
        const TComparison withBoxes = Compare(boxes, installed, QString::fromLatin1(name));
        EXPECT_GE(withBoxes.Differing + withBoxes.Unmatched.size(), 2);
    }
    if (const char* keep = std::getenv("KELTRIMA_FONT_RENDERS")) {
        for (const QString& sub : {noCjk, installed, boxes}) {
            const QString target =
                QString::fromLocal8Bit(keep) + QLatin1Char('/') + QFileInfo(sub).fileName();
            QDir().mkpath(target);
            for (const QString& file : QDir(sub).entryList(QDir::Files)) {
                QFile::remove(target + QLatin1Char('/') + file);
                QFile::copy(sub + QLatin1Char('/') + file, target + QLatin1Char('/') + file);
            }
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments();
    if (args.size() == 4 && args[1] == QLatin1String("--render")) {
        return Render(args[2], args[3]);
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
