#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QScreen>
#include <QTest>
#include <vector>

#include "UiDoubles.h"
#include "ui/ConnectorPicture.h"
#include "ui/about.h"

namespace faderwell::test {
namespace {

class AboutDialogTest : public testing::Test {
protected:
    AboutDialogTest() {
        opener.dialog = &about;
        about.FormCreate();
    }

    /// Shows the dialog modally, as the menu does, without blocking the test.
    void ShowDialog() {
        about.open();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&about));
    }

    RecordingPageOpener opener;
    Tversioninfo about{opener};
};

TEST_F(AboutDialogTest, TextsAndTheVersionEndingAtItsRightEdge) {
    EXPECT_EQ(about.verinfo->text(), QStringLiteral("Version 1.02 [2000-08-31]"));
    EXPECT_EQ(about.verinfo->x() + about.verinfo->width(), 260);
    EXPECT_GE(about.verinfo->width(), about.verinfo->sizeHint().width()) << "text not cut";
    EXPECT_EQ(about.Label1->text(), QStringLiteral("Faderwell Standard"));
    EXPECT_TRUE(about.Label1->font().bold());
    // The address line shows the page that is opened.
    EXPECT_EQ(about.Label4->text(), "URL=" + Tversioninfo::MakerPage().toString());
    // Looks like its neighbours: no link underline, no hand pointer.
    EXPECT_FALSE(about.Label4->font().underline());
    EXPECT_EQ(about.Label4->cursor().shape(), about.Label3->cursor().shape());
}

// Every way to close the dialog. WWW, however pressed, gives Cancel and opens
// the page while the dialog is still on screen; OK and the close box open nothing.
struct Closing {
    const char* name;
    void (*press)(Tversioninfo&);
    QDialog::DialogCode result;
    bool opensPage;
};

void PrintTo(const Closing& closing, std::ostream* os) {
    *os << closing.name;
}

class ClosingTest : public AboutDialogTest, public testing::WithParamInterface<Closing> {};

TEST_P(ClosingTest, GivesItsResultAndOpensThePageOnlyForWww) {
    ShowDialog();
    GetParam().press(about);

    EXPECT_FALSE(about.isVisible());
    EXPECT_EQ(about.result(), GetParam().result);
    ASSERT_EQ(opener.pages.size(), GetParam().opensPage ? 1 : 0);
    if (GetParam().opensPage) {
        EXPECT_EQ(opener.pages.front(), Tversioninfo::MakerPage());
        EXPECT_TRUE(opener.shownWhenOpened.front());
    }
}

constexpr auto kCancel = QDialog::Rejected;
INSTANTIATE_TEST_SUITE_P(
    About, ClosingTest,
    testing::Values(
        Closing{"Mouse", [](Tversioninfo& d) { QTest::mouseClick(d.WWW, Qt::LeftButton); }, kCancel,
                true},
        Closing{"Escape", [](Tversioninfo& d) { QTest::keyClick(&d, Qt::Key_Escape); }, kCancel,
                true},
        Closing{"EscapeOnOk", [](Tversioninfo& d) { QTest::keyClick(d.OKBtn, Qt::Key_Escape); },
                kCancel, true},
        Closing{"EnterOnWww",
                [](Tversioninfo& d) {
                    QTest::keyClick(&d, Qt::Key_Tab);
                    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
                },
                kCancel, true},
        Closing{"SpaceOnWww",
                [](Tversioninfo& d) {
                    d.WWW->setFocus();
                    QTest::keyClick(d.WWW, Qt::Key_Space);
                },
                kCancel, true},
        // The focus starts on OK.
        Closing{"EnterOnOk",
                [](Tversioninfo&) { QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return); },
                QDialog::Accepted, false},
        Closing{"MouseOnOk", [](Tversioninfo& d) { QTest::mouseClick(d.OKBtn, Qt::LeftButton); },
                QDialog::Accepted, false},
        Closing{"CloseBox", [](Tversioninfo& d) { d.close(); }, kCancel, false}),
    [](const testing::TestParamInfo<Closing>& test) { return std::string(test.param.name); });

TEST_F(AboutDialogTest, ClickOnTheAddressOpensThePageAndStaysOpen) {
    ShowDialog();
    QTest::mouseClick(about.Label4, Qt::LeftButton);
    QTest::mouseClick(about.Label4, Qt::LeftButton);
    EXPECT_TRUE(about.isVisible());
    EXPECT_EQ(opener.pages, (QList<QUrl>{Tversioninfo::MakerPage(), Tversioninfo::MakerPage()}));

    // A press that ends off the line, or another button, is no click; nor are the other lines.
    QTest::mousePress(about.Label4, Qt::LeftButton);
    QTest::mouseRelease(about.Label4, Qt::LeftButton, {}, {-5, -5});
    QTest::mouseClick(about.Label4, Qt::RightButton);
    QTest::mouseClick(about.Label3, Qt::LeftButton);
    EXPECT_EQ(opener.pages.size(), 2);
}

TEST_F(AboutDialogTest, FocusOnWwwIsKeptForTheNextShowing) {
    ShowDialog();
    QTest::mouseClick(about.WWW, Qt::LeftButton);
    ASSERT_FALSE(about.isVisible());

    ShowDialog();
    EXPECT_EQ(QApplication::focusWidget(), about.WWW);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Enter);
    EXPECT_EQ(about.result(), QDialog::Rejected);
    EXPECT_EQ(opener.pages.size(), 2) << "Enter acted as WWW";
}

TEST_F(AboutDialogTest, FixedFrameCentredFirstThenWhereItWas) {
    ExpectFixedCentredDialog(about, QStringLiteral("バージョン情報"), {271, 107},
                             QStringLiteral("about-dialog.png"));
}

TEST(ConnectorPictureTest, WhiteDiscWithBlackPinsAndKeyOnClear) {
    const QImage picture = ConnectorPicture().toImage();
    ASSERT_EQ(picture.size(), QSize(32, 32));
    const auto at = [&](int x, int y) { return picture.pixelColor(x, y); };

    for (const QPoint corner : {QPoint(0, 0), QPoint(31, 0), QPoint(0, 31), QPoint(31, 31)}) {
        EXPECT_EQ(at(corner.x(), corner.y()).alpha(), 0) << "clear outside the disc";
    }
    EXPECT_EQ(at(16, 20), QColor(Qt::white)) << "the face between pins and key";
    EXPECT_EQ(at(3, 24), QColor(Qt::white));
    EXPECT_EQ(at(16, 27), QColor(Qt::black)) << "key notch at the bottom centre";
    EXPECT_EQ(at(15, 4), QColor(Qt::black)) << "pin at the top centre";
    EXPECT_EQ(at(16, 4), QColor(Qt::black));

    // Five separate pins above the key notch.
    const QColor black(Qt::black);
    std::vector<bool> seen(32 * 32, false);
    const auto cell = [](int x, int y) { return static_cast<std::size_t>(y * 32 + x); };
    int blobs = 0;
    for (int y = 0; y < 22; ++y) {
        for (int x = 0; x < 32; ++x) {
            if (seen[cell(x, y)] || at(x, y) != black)
                continue;
            ++blobs;
            std::vector<QPoint> todo{{x, y}};
            while (!todo.empty()) {
                const QPoint p = todo.back();
                todo.pop_back();
                if (p.x() < 0 || p.y() < 0 || p.x() > 31 || p.y() > 31)
                    continue;
                if (seen[cell(p.x(), p.y())] || at(p.x(), p.y()) != black)
                    continue;
                seen[cell(p.x(), p.y())] = true;
                for (int dy = -1; dy <= 1; ++dy) {
                    for (int dx = -1; dx <= 1; ++dx) todo.push_back(p + QPoint(dx, dy));
                }
            }
        }
    }
    EXPECT_EQ(blobs, 5);
}

}  // namespace
}  // namespace faderwell::test
