// The visual language of the windows' pictures: the palette, the caption font and the drawing helpers
// that every picture shares.
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QRectF>
#include <QString>

namespace style {

// The colours of the windows.
inline const QColor kButton{66, 139, 202};
inline const QColor kButtonHover{14, 97, 185};
inline const QColor kLink{72, 124, 181};
inline const QColor kBar{240, 243, 247};
inline const QColor kFrame{142, 142, 142};
inline const QColor kNavy{16, 42, 92};
inline const QColor kGrey{141, 141, 141};
inline const QColor kCloseHover{226, 64, 64};
inline const QColor kError{214, 76, 70};
inline const QColor kWarning{240, 165, 48};

// The family every caption is drawn in; the program refuses to draw with any other.
inline constexpr const char* kCjkFamily = "WenQuanYi Micro Hei";

// A transparent picture of Width x Height logical pixels drawn at Scale (its device pixel ratio): a painter
// on it draws in logical pixels.
QImage NewPicture(int Width, int Height, qreal Scale);
// The size of a picture in logical pixels.
QSizeF LogicalSize(const QImage& Picture);
// A painter with antialiasing for shapes and text.
void PrepareForDrawing(QPainter& Painter);
QFont CjkFont(int PixelSize, bool Bold = false);
// Checks that the CJK font is installed and picked for CJK text (no substitute, no boxes).
bool CjkFontAvailable(QString& Problem);

// Mixes A towards B by T (0 gives A, 1 gives B).
QColor Mix(const QColor& A, const QColor& B, double T);

// What the big buttons show left of their caption.
enum class TGlyph { None, Download, Install };

// A rounded blue button with a white caption, filling the picture (a soft shadow below when
// the picture is taller than 40 pixels).
void DrawButton(QImage& Picture, const QColor& Face, const QString& Caption, int PixelSize,
                TGlyph Glyph = TGlyph::None);

// Text with a faint shadow, centred in Box.
void DrawCaption(QPainter& Painter, const QRectF& Box, const QString& Caption, const QFont& Font,
                 const QColor& Colour);

// A title bar's blue face: vertical gradient, highlight at the top, a darker line at the bottom.
void DrawTitleBar(QImage& Picture);

// A stroked "x" of the given half-size around Centre.
void DrawCross(QPainter& Painter, QPointF Centre, double HalfSize, double Width, const QColor& Colour);

} // namespace style
