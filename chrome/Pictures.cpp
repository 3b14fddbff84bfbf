#include "chrome/Pictures.h"

#include <QEvent>
#include <QFile>
#include <QWidget>

QImage LoadPicture(const QString& fileName, qreal devicePixelRatio) {
    const QString base = QStringLiteral(":/pictures/") + fileName;
    if (devicePixelRatio > 1.0) {
        const qsizetype dot = base.lastIndexOf(QLatin1Char('.'));
        const QString twice = base.left(dot) + QStringLiteral("@2x") + base.mid(dot);
        if (QFile::exists(twice)) {
            QImage picture = QImage(twice).convertToFormat(QImage::Format_ARGB32_Premultiplied);
            picture.setDevicePixelRatio(2.0);
            return picture;
        }
    }
    QImage picture = QImage(base).convertToFormat(QImage::Format_ARGB32_Premultiplied);
    picture.setDevicePixelRatio(1.0);
    return picture;
}

namespace {

// Watches the form's pixel density; lives as a child of the form.
class TDensityWatch : public QObject {
public:
    TDensityWatch(QWidget* form, std::function<void()> reload)
        : QObject(form), FForm(form), FReload(std::move(reload)), FRatio(form->devicePixelRatioF()) {
        form->installEventFilter(this);
        FReload();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == FForm &&
            (event->type() == QEvent::Show || event->type() == QEvent::ScreenChangeInternal ||
             event->type() == QEvent::WinIdChange) &&
            FForm->devicePixelRatioF() != FRatio) {
            FRatio = FForm->devicePixelRatioF();
            FReload();
        }
        return false;
    }

private:
    QWidget* FForm;
    std::function<void()> FReload;
    qreal FRatio;
};

} // namespace

void LoadPicturesForDensity(QWidget* form, const std::function<void()>& reload) {
    new TDensityWatch(form, reload);
}
