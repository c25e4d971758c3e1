#include "ui/about.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPixmap>

#include "core/AppInfo.h"
#include "ui/Appearance.h"
#include "ui/ConnectorPicture.h"
#include "ui/QtText.h"

namespace faderwell {

namespace {

constexpr QSize kClientSize{271, 107};
constexpr int kTitleFontPixels = 16;
constexpr int kVersionRightEdge = 260;

}  // namespace

Tversioninfo::Tversioninfo(PageOpener& opener, QWidget* parent)
    : FixedDialog(ToQString(texts::kAboutTitle), kClientSize, parent), opener_(opener) {
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
    Image1->setGeometry(8, 4, kConnectorPictureSize, kConnectorPictureSize);

    Label1->setFont(WindowFont(kTitleFontPixels, true));
    PlaceLabel(*Label1, 48, 4);
    PlaceLabelRightAligned(*verinfo, kVersionRightEdge, 20);

    Label2->setText(ToQString(texts::kMakerLine));
    PlaceLabel(*Label2, 12, 40);
    Label3->setText(ToQString(texts::kMailLine));
    PlaceLabel(*Label3, 12, 56);
    // Plain text like its neighbours: no link look, no hand pointer; the click is the filter's.
    Label4->setTextFormat(Qt::PlainText);
    Label4->setText(ToQString(texts::kPagePrefix) + ToQString(texts::kMakerPage));
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
    return QUrl(ToQString(texts::kMakerPage));
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
