// picturegen: draws every picture of the windows.
//
//   picturegen OUTDIR          writes the PNG files and their resource list pictures.qrc into OUTDIR
//   picturegen --check DIR     fails unless DIR holds exactly what the program draws, byte for byte
//   picturegen --sheet FILE    writes a contact sheet of all pictures at 1:1, for looking at them
//   picturegen --icon SIZE FILE  draws the program's icon at SIZE x SIZE pixels into FILE (the build does)
#include <cstdio>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QPainter>

#include "AppIcon.h"
#include "PictureStyle.h"
#include "Pictures.h"

namespace {

QByteArray EncodePng(const QImage& Image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    Image.save(&buffer, "PNG");
    return bytes;
}

QByteArray ResourceList(const std::vector<TPicture>& Pictures) {
    QByteArray text = "<!DOCTYPE RCC>\n<!-- Written by tools/picturegen; lists every picture it draws. -->\n"
                      "<RCC version=\"1.0\">\n<qresource prefix=\"/pictures\">\n";
    for (const TPicture& picture : Pictures) {
        text += "    <file>" + picture.FileName.toUtf8() + "</file>\n";
    }
    text += "</qresource>\n</RCC>\n";
    return text;
}

// Draws every picture and checks that it has its stated size.
bool DrawAll(std::vector<TPicture>& Pictures, std::vector<QImage>& Images) {
    Pictures = AllPictures();
    for (const TPicture& picture : Pictures) {
        QImage image = picture.Draw();
        if (image.size() != QSize(picture.Width, picture.Height)) {
            std::fprintf(stderr, "%s: drawn %dx%d, expected %dx%d\n", qPrintable(picture.FileName),
                         image.width(), image.height(), picture.Width, picture.Height);
            return false;
        }
        Images.push_back(std::move(image));
    }
    return true;
}

int Write(const QString& Dir, const std::vector<TPicture>& Pictures, const std::vector<QImage>& Images) {
    if (!QDir().mkpath(Dir)) {
        std::fprintf(stderr, "cannot create %s\n", qPrintable(Dir));
        return 1;
    }
    auto save = [&](const QString& name, const QByteArray& bytes) {
        QFile file(QDir(Dir).filePath(name));
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size()) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file.fileName()));
            return false;
        }
        return true;
    };
    for (std::size_t i = 0; i < Pictures.size(); ++i) {
        if (!save(Pictures[i].FileName, EncodePng(Images[i]))) {
            return 1;
        }
    }
    return save(QStringLiteral("pictures.qrc"), ResourceList(Pictures)) ? 0 : 1;
}

int Check(const QString& Dir, const std::vector<TPicture>& Pictures, const std::vector<QImage>& Images) {
    int faults = 0;
    auto compare = [&](const QString& name, const QByteArray& expected) {
        QFile file(QDir(Dir).filePath(name));
        if (!file.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "missing: %s\n", qPrintable(name));
            ++faults;
        } else if (file.readAll() != expected) {
            std::fprintf(stderr, "differs from what picturegen draws: %s\n", qPrintable(name));
            ++faults;
        }
    };
    QStringList known;
    for (std::size_t i = 0; i < Pictures.size(); ++i) {
        compare(Pictures[i].FileName, EncodePng(Images[i]));
        known << Pictures[i].FileName;
    }
    compare(QStringLiteral("pictures.qrc"), ResourceList(Pictures));
    for (const QString& name : QDir(Dir).entryList({QStringLiteral("*.png")}, QDir::Files)) {
        if (!known.contains(name)) {
            std::fprintf(stderr, "not drawn by picturegen: %s\n", qPrintable(name));
            ++faults;
        }
    }
    if (faults > 0) {
        std::fprintf(stderr, "%d fault(s); run \"picturegen %s\" and commit the result\n", faults,
                     qPrintable(Dir));
        return 1;
    }
    std::printf("%zu pictures and the resource list match\n", Pictures.size());
    return 0;
}

void Checkerboard(QPainter& P, const QRect& Area) {
    P.save();
    P.setClipRect(Area);
    for (int y = Area.top(); y < Area.bottom() + 1; y += 8) {
        for (int x = Area.left(); x < Area.right() + 1; x += 8) {
            const bool dark = ((x - Area.left()) / 8 + (y - Area.top()) / 8) % 2 == 1;
            P.fillRect(QRect(x, y, 8, 8), dark ? QColor(196, 196, 196) : QColor(232, 232, 232));
        }
    }
    P.restore();
}

int Sheet(const QString& File, const std::vector<TPicture>& Pictures, const std::vector<QImage>& Images) {
    const int width = 1320;
    const int margin = 16;
    // Lay the tiles out in rows first, to know the height.
    struct TTile {
        QPoint At;
        std::size_t Index;
    };
    std::vector<TTile> tiles;
    int x = margin;
    int y = margin;
    int rowHeight = 0;
    for (std::size_t i = 0; i < Pictures.size(); ++i) {
        const QSize size = Images[i].size();
        if (x + std::max(size.width(), 120) + margin > width) {
            x = margin;
            y += rowHeight + 22;
            rowHeight = 0;
        }
        tiles.push_back({QPoint(x, y), i});
        x += std::max(size.width(), 120) + margin;
        rowHeight = std::max(rowHeight, size.height());
    }
    const int composedTop = y + rowHeight + 40;
    QImage sheet(width, composedTop + 241 + 180 + margin, QImage::Format_ARGB32_Premultiplied);
    sheet.fill(QColor(250, 250, 250));
    QPainter p(&sheet);
    p.setFont(style::CjkFont(11));
    for (const TTile& tile : tiles) {
        const QImage& image = Images[tile.Index];
        Checkerboard(p, QRect(tile.At, image.size()));
        p.drawImage(tile.At, image);
        p.setPen(Qt::black);
        p.drawText(tile.At + QPoint(0, image.height() + 14), QStringLiteral("%1 %2x%3")
                                                                 .arg(Pictures[tile.Index].FileName)
                                                                 .arg(image.width())
                                                                 .arg(image.height()));
    }

    // The pictures where the windows put them: banner with its title buttons, the bar half full.
    auto find = [&](const char* name) -> const QImage& {
        for (std::size_t i = 0; i < Pictures.size(); ++i) {
            if (Pictures[i].FileName == QLatin1String(name)) {
                return Images[i];
            }
        }
        std::fprintf(stderr, "no picture %s\n", name);
        std::abort();
    };
    const QPoint form(margin, composedTop);
    p.fillRect(QRect(form, QSize(620, 416)), Qt::white);
    p.drawImage(form, find("banner.png"));
    p.drawImage(form + QPoint(539, 0), find("min_normal.png"));
    p.drawImage(form + QPoint(569, 0), find("close_hover.png"));
    p.drawImage(form + QPoint(199, 241 + 42), find("download_now.png"));
    p.drawImage(form + QPoint(31, 241 + 120), find("progress_track.png"));
    p.drawImage(form + QPoint(31, 241 + 120), find("progress_fill.png"), QRect(0, 0, 275, 19));

    const QPoint prompt(form.x() + 640, composedTop);
    p.fillRect(QRect(prompt, QSize(413, 161)), Qt::white);
    p.drawImage(prompt, find("info_titlebar.png"));
    p.drawImage(prompt + QPoint(383, 0), find("close_normal.png"));
    p.setFont(style::CjkFont(15, true));
    p.setPen(Qt::white);
    p.drawText(prompt + QPoint(17, 24), QStringLiteral("提示信息"));
    p.drawImage(prompt + QPoint(13, 49), find("info_icon.png"));
    p.fillRect(QRect(prompt + QPoint(0, 120), QSize(413, 41)), style::kBar);
    p.drawImage(prompt + QPoint(331, 128), find("redownload.png"));
    p.drawImage(prompt + QPoint(19, 135), find("browser_link.png"));

    const QPoint box(prompt.x(), composedTop + 180);
    p.drawImage(QRect(box, QSize(300, 183)), find("msg_frame.png"));
    p.drawImage(QRect(box + QPoint(1, 1), QSize(298, 35)), find("msg_titlebar.png"));
    p.fillRect(QRect(box + QPoint(1, 36), QSize(298, 101)), Qt::white);
    p.drawImage(QRect(box + QPoint(1, 136), QSize(298, 46)), find("msg_buttonbar.png"));
    p.drawImage(box + QPoint(1 + 270, 1 + 4), find("msg_close.png"));
    p.drawImage(box + QPoint(12, 40), find("msg_question.png"));
    p.setFont(style::CjkFont(15));
    p.drawText(box + QPoint(23, 25), QStringLiteral("确认信息"));
    p.setPen(Qt::black);
    p.drawText(box + QPoint(68, 68), QStringLiteral("文件已存在，需要重新下载吗？"));
    p.end();
    return sheet.save(File) ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() == 3 && args[0] == QLatin1String("--icon")) {
        return WriteAppIcon(args[1].toInt(), args[2]); // the icon has no text: no font needed
    }
    const bool check = args.size() == 2 && args[0] == QLatin1String("--check");
    const bool sheet = args.size() == 2 && args[0] == QLatin1String("--sheet");
    if (!(args.size() == 1 || check || sheet) || args.last().startsWith(QLatin1Char('-'))) {
        std::fprintf(stderr, "usage: picturegen OUTDIR | --check DIR | --sheet FILE\n");
        return 2;
    }
    QString problem;
    if (!style::CjkFontAvailable(problem)) {
        std::fprintf(stderr, "picturegen: %s\n", qPrintable(problem));
        return 1;
    }
    std::vector<TPicture> pictures;
    std::vector<QImage> images;
    if (!DrawAll(pictures, images)) {
        return 1;
    }
    if (check) {
        return Check(args[1], pictures, images);
    }
    if (sheet) {
        return Sheet(args[1], pictures, images);
    }
    return Write(args[0], pictures, images);
}
