#include "ui/about.h"

#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <array>

#include "core/AppInfo.h"
#include "ui/Appearance.h"
#include "ui/QtText.h"

namespace faderwell {

namespace {

constexpr QSize kClientSize{271, 107};
constexpr int kTitleFontPixels = 16;
constexpr int kVersionRightEdge = 260;

const QString kMakerPage = QStringLiteral("http://www.example.com/veldrin/");
const QString kMakerLine = QStringLiteral("Copyright (C) 1999-2000 VELDRIN");
const QString kMailLine = QStringLiteral("E-mail: faderwell@example.com");
const QString kPagePrefix = QStringLiteral("URL=");

constexpr int kPictureSize = 32;

}  // namespace

QPixmap ConnectorPicture() {
    // Hard edges, as a 16-colour icon has them: every pixel is face, metal or clear.
    QImage picture(kPictureSize, kPictureSize, QImage::Format_ARGB32);
    picture.fill(Qt::transparent);
    // The disc pixel by pixel, so that it fills the square evenly on all four sides.
    constexpr double kDiscRadius = kPictureSize / 2.0;
    for (int y = 0; y < kPictureSize; ++y) {
        for (int x = 0; x < kPictureSize; ++x) {
            const double dx = x + 0.5 - kDiscRadius;
            const double dy = y + 0.5 - kDiscRadius;
            if (dx * dx + dy * dy <= kDiscRadius * kDiscRadius)
                picture.setPixelColor(x, y, Qt::white);
        }
    }

    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::black);
    // The five pins, 45° apart on an arc over the centre: top, its two
    // neighbours, and the outer two lower at the sides; placed on whole
    // pixels, mirrored, so that the small picture stays symmetric.
    constexpr int kPin = 6;
    const QRect topPin(13, 2, kPin, kPin);
    const std::array leftPins{QRect(5, 4, kPin, kPin), QRect(3, 12, kPin, kPin)};
    painter.drawEllipse(topPin);
    for (const QRect& pin : leftPins) {
        painter.drawEllipse(pin);
        painter.drawEllipse(QRect(kPictureSize - pin.x() - kPin, pin.y(), kPin, kPin));
    }
    // The key notch at the bottom centre.
    painter.drawRect(QRect(14, 24, 4, 6));
    painter.end();
    return QPixmap::fromImage(picture);
}

Tversioninfo::Tversioninfo(PageOpener& opener, QWidget* parent)
    : FixedDialog(QStringLiteral("バージョン情報"), kClientSize, parent), opener_(opener) {
    LayOut();
    Image1->setAccessibleName(QStringLiteral("MIDI connector"));
    Image1->setAccessibleDescription(QStringLiteral("Picture of a five-pin MIDI socket"));
    Label4->setAccessibleDescription(QStringLiteral("Clicking opens the maker's web page"));
    OKBtn->setAccessibleDescription(QStringLiteral("Closes this window"));
    WWW->setAccessibleName(QStringLiteral("Web page"));
    WWW->setAccessibleDescription(
        QStringLiteral("Opens the maker's web page and closes this window"));
    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(WWW, &QPushButton::clicked, this, &Tversioninfo::PressWWW);
    Label4->installEventFilter(this);
}

void Tversioninfo::LayOut() {
    Image1->setPixmap(ConnectorPicture());
    Image1->setGeometry(8, 4, kPictureSize, kPictureSize);

    Label1->setFont(WindowFont(kTitleFontPixels, true));
    PlaceLabel(*Label1, 48, 4);
    PlaceLabelRightAligned(*verinfo, kVersionRightEdge, 20);

    Label2->setText(kMakerLine);
    PlaceLabel(*Label2, 12, 40);
    Label3->setText(kMailLine);
    PlaceLabel(*Label3, 12, 56);
    // Plain text like its neighbours: no link look, no hand pointer; the click is the filter's.
    Label4->setTextFormat(Qt::PlainText);
    Label4->setText(kPagePrefix + kMakerPage);
    PlaceLabel(*Label4, 12, 68);

    OKBtn->setGeometry(159, 84, 50, 20);
    OKBtn->setDefault(true);
    WWW->setGeometry(215, 84, 50, 20);
}

void Tversioninfo::FormCreate() {
    verinfo->setText(ToQString(kVersionText));
    PlaceLabelRightAligned(*verinfo, kVersionRightEdge, verinfo->y());
}

QUrl Tversioninfo::MakerPage() {
    return QUrl(kMakerPage);
}

void Tversioninfo::WWWClick() {
    opener_.Open(MakerPage());
}

void Tversioninfo::Label4Click() {
    opener_.Open(MakerPage());
}

void Tversioninfo::PressWWW() {
    setResult(QDialog::Rejected);
    WWWClick();
    reject();
}

void Tversioninfo::keyPressEvent(QKeyEvent* event) {
    // Escape presses the cancel button, which is WWW.
    if (event->key() == Qt::Key_Escape || event->matches(QKeySequence::Cancel)) {
        event->accept();
        WWW->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool Tversioninfo::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Label4) {
        // A click is a press and a release of the left button both on the line.
        if (event->type() == QEvent::MouseButtonPress) {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            label4Pressed_ = mouse->button() == Qt::LeftButton;
        } else if (event->type() == QEvent::MouseButtonRelease) {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            const bool click = label4Pressed_ && mouse->button() == Qt::LeftButton &&
                               Label4->rect().contains(mouse->position().toPoint());
            label4Pressed_ = false;
            if (click)
                Label4Click();
        }
    }
    return FixedDialog::eventFilter(watched, event);
}

}  // namespace faderwell
