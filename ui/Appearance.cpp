#include "ui/Appearance.h"

#include <QApplication>
#include <QIconEngine>
#include <QPointer>
#include <QProxyStyle>
#include <QStringList>
#include <QStyleOption>
#include <optional>

namespace faderwell {

namespace {
const QString kWindowFamily = QStringLiteral("ＭＳ Ｐゴシック");

/// One standard icon of a style, asked of the style when it is first drawn
/// or measured, for the layout direction of the moment it was asked for.
class StandardIconOnFirstUse final : public QIconEngine {
public:
    StandardIconOnFirstUse(const QStyle* style, QStyle::StandardPixmap which,
                           Qt::LayoutDirection direction)
        : style_(style), which_(which), direction_(direction) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode,
               QIcon::State state) override {
        Icon().paint(painter, rect, Qt::AlignCenter, mode, state);
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return Icon().pixmap(size, mode, state);
    }
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state,
                         qreal scale) override {
        return Icon().pixmap(size, scale, mode, state);
    }
    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return Icon().actualSize(size, mode, state);
    }
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override {
        return Icon().availableSizes(mode, state);
    }
    bool isNull() override { return Icon().isNull(); }
    QString key() const override { return QStringLiteral("faderwell.standard-icon"); }
    QIconEngine* clone() const override { return new StandardIconOnFirstUse(*this); }

private:
    const QIcon& Icon() {
        if (!icon_) {
            QStyleOption option;
            option.direction = direction_;
            icon_ = style_ ? style_->standardIcon(which_, &option) : QIcon();
        }
        return *icon_;
    }

    QPointer<const QStyle> style_;
    QStyle::StandardPixmap which_;
    Qt::LayoutDirection direction_;
    std::optional<QIcon> icon_;
};

class StyleWithIconsOnFirstUse final : public QProxyStyle {
public:
    QIcon standardIcon(StandardPixmap which, const QStyleOption* option,
                       const QWidget* widget) const override {
        Qt::LayoutDirection direction = QGuiApplication::layoutDirection();
        if (option != nullptr)
            direction = option->direction;
        else if (widget != nullptr)
            direction = widget->layoutDirection();
        return QIcon(new StandardIconOnFirstUse(baseStyle(), which, direction));
    }
};
}  // namespace

QFont WindowFont(int pixelHeight, bool bold) {
    QFont font(kWindowFamily);
    font.setPixelSize(pixelHeight);
    font.setBold(bold);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

void InstallStyle() {
    if (dynamic_cast<const StyleWithIconsOnFirstUse*>(QApplication::style()) == nullptr)
        QApplication::setStyle(new StyleWithIconsOnFirstUse);
}

QString PlatformStyleName() {
    const QStyle* style = QApplication::style();
    if (const auto* ours = dynamic_cast<const StyleWithIconsOnFirstUse*>(style))
        style = ours->baseStyle();
    return style->name();
}

void InstallFontSubstitutes() {
    // IPAPGothic shares the metrics of the proportional Gothic the layout was made with.
    QFont::insertSubstitutions(kWindowFamily,
                               {QStringLiteral("IPAPGothic"), QStringLiteral("MS PGothic"),
                                QStringLiteral("Noto Sans CJK JP")});
}

}  // namespace faderwell
