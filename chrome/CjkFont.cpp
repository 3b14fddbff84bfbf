#include "chrome/CjkFont.h"

#include <QStringList>

namespace {
const QString YaheiFamily = QStringLiteral("微软雅黑");
QStringList Fallbacks() {
    return {QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Sans CJK SC")};
}
} // namespace

void InstallCjkFontSubstitution() {
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
