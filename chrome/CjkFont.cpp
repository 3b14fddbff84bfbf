#include "chrome/CjkFont.h"

#include <QFontDatabase>
#include <QStringList>
#include <QtGlobal>

#ifndef KELTRIMA_EMBEDDED_FONT_FAMILY
#error "KELTRIMA_EMBEDDED_FONT_FAMILY must name the family of the embedded font"
#endif
#ifndef KELTRIMA_EMBEDDED_FONT_RESOURCE
#error "KELTRIMA_EMBEDDED_FONT_RESOURCE must name the embedded font's resource"
#endif

namespace {
const QString YaheiFamily = QStringLiteral("微软雅黑");

// The installed font the subset was cut from comes next, so that other text looks the same.
QStringList Fallbacks() {
    return {EmbeddedCjkFamily(), QStringLiteral("Noto Sans CJK SC"), QStringLiteral("WenQuanYi Micro Hei")};
}

void RegisterEmbeddedFont() {
    static const bool registered = [] {
        if (QFontDatabase::addApplicationFont(QStringLiteral(KELTRIMA_EMBEDDED_FONT_RESOURCE)) < 0) {
            qWarning("Keltrima: the embedded font %s cannot be loaded", KELTRIMA_EMBEDDED_FONT_RESOURCE);
            return false;
        }
        return true;
    }();
    Q_UNUSED(registered);
}
} // namespace

QString EmbeddedCjkFamily() {
    return QStringLiteral(KELTRIMA_EMBEDDED_FONT_FAMILY);
}

void InstallCjkFontSubstitution() {
    RegisterEmbeddedFont();
    if (QFont::substitutes(YaheiFamily).join(u',').compare(Fallbacks().join(u','), Qt::CaseInsensitive) !=
        0) {
        QFont::removeSubstitutions(YaheiFamily);
        QFont::insertSubstitutions(YaheiFamily, Fallbacks());
    }
}

QFont YaheiFont(int pixelSize, bool bold) {
    QFont font(YaheiFamily);
    font.setFamilies(QStringList{YaheiFamily} + Fallbacks());
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}
