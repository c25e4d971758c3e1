#pragma once

#include <QLabel>
#include <QPushButton>
#include <QUrl>

#include "core/AppInfo.h"
#include "core/Texts.h"
#include "ui/FixedDialog.h"
#include "ui/PageOpener.h"
#include "ui/QtText.h"

class QKeyEvent;

namespace faderwell {

/// The about dialog "バージョン情報": product name, version, the maker's
/// details and the way to the maker's web page. OK closes it; WWW (also
/// Escape) opens the page and closes it; clicking the address line opens
/// the page and leaves it open.
class Tversioninfo : public FixedDialog {
    Q_OBJECT
public:
    explicit Tversioninfo(PageOpener& opener, QWidget* parent = nullptr);

    /// Once at start-up: puts the version text in place.
    void FormCreate();

    /// Opens the maker's web page.
    void WWWClick();
    void Label4Click();

    /// The maker's web page: shown on Label4 and opened by WWW.
    static QUrl MakerPage();

    QLabel* const Image1{new QLabel(this)};
    QLabel* const Label1{new QLabel(ToQString(kApplicationTitle), this)};
    QLabel* const verinfo{new QLabel(QStringLiteral("ver"), this)};
    QLabel* const Label2{new QLabel(this)};
    QLabel* const Label3{new QLabel(this)};
    QLabel* const Label4{new QLabel(this)};
    QPushButton* const OKBtn{new QPushButton(ToQString(texts::kOkButton), this)};
    QPushButton* const WWW{new QPushButton(ToQString(texts::kPageButton), this)};

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void LayOut();
    /// WWW pressed: the result is Cancel, the page opens while the dialog is
    /// still shown, then it closes.
    void PressWWW();

    PageOpener& opener_;
    bool label4Pressed_{false};
};

}  // namespace faderwell
