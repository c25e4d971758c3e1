#include <QAbstractButton>
#include <QAccessible>
#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QWindow>
#include <QXmlStreamReader>
#include <iostream>
#include <map>
#include <set>

#include "MainWindowFixture.h"
#include "ui/AnchoredLabel.h"
#include "ui/AppIcon.h"
#include "ui/ButtonGlyphs.h"
#include "ui/UpDownArrows.h"

namespace faderwell::test {
namespace {

using MainWindowLayout = MainWindowTest;

// The client area the layout is drawn for, in pixels at 96 dpi.
const QSize kClientArea(457, 217);

// Every widget of the client area that the user sees or handles: frames
// (the panel and the bevels) only enclose, so they may overlap anything.
std::vector<QWidget*> Controls(const TForm1& form) {
    std::vector<QWidget*> controls;
    for (QWidget* child : form.Client()->findChildren<QWidget*>()) {
        if (qobject_cast<QFrame*>(child) && !qobject_cast<QLabel*>(child))
            continue;
        if (child->parentWidget() == form.CC)
            continue;  // the arrows are part of CC
        controls.push_back(child);
    }
    return controls;
}

QRect InClient(const TForm1& form, const QWidget* widget) {
    return {widget->mapTo(form.Client(), QPoint(0, 0)), widget->size()};
}

TEST_F(MainWindowLayout, ClientAreaIsFixedBelowTheMenuBarAt96Dpi) {
    ASSERT_EQ(form.devicePixelRatio(), 1.0);
    ASSERT_EQ(form.logicalDpiY(), 96);
    EXPECT_TRUE(SaveScreenshot(form, QStringLiteral("main-window.png")));
    EXPECT_EQ(form.Client()->size(), kClientArea);
    EXPECT_EQ(form.Client()->y(), form.MainMenu1->height());
    EXPECT_EQ(form.minimumSize(), form.maximumSize());
    EXPECT_EQ(form.size(), form.minimumSize());
    const Qt::WindowFlags flags = form.windowFlags();
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);

    form.showMinimized();
    EXPECT_TRUE(QTest::qWaitFor([&] { return form.isMinimized(); }));
    form.showNormal();
    EXPECT_EQ(form.Client()->size(), kClientArea);
    // A title bar that offers maximizing regardless (Qt's own, on Wayland) gets nowhere.
    form.showMaximized();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !form.isMaximized(); }));
    EXPECT_EQ(form.Client()->size(), kClientArea);
}

TEST_F(MainWindowLayout, EveryControlLiesInsideTheClientArea) {
    const QRect client = form.Client()->rect();
    for (QWidget* control : Controls(form)) {
        EXPECT_TRUE(client.contains(InClient(form, control)))
            << control->objectName().toStdString() << " at " << InClient(form, control).x();
    }
    // Also once every value label shows its widest text.
    form.Model().SB1.Click();
    form.Model().MVol.SetPosition(0);
    EXPECT_EQ(form.LValue->text(), QStringLiteral("127"));
    EXPECT_TRUE(InClient(form, form.Bevel5).contains(InClient(form, form.LValue)));
}

TEST_F(MainWindowLayout, ControlsOverlapOnlyWhereTheLayoutStacksThem) {
    // Label8 sits under Vol1 so that only its right edge shows beside it.
    const std::set<std::pair<QString, QString>> stacked{{"Label8", "Vol1"}};
    const auto controls = Controls(form);
    for (std::size_t i = 0; i < controls.size(); ++i) {
        for (std::size_t j = i + 1; j < controls.size(); ++j) {
            const QString first = controls[i]->objectName();
            const QString second = controls[j]->objectName();
            const auto names = first < second ? std::pair{first, second} : std::pair{second, first};
            if (stacked.count(names) != 0)
                continue;
            EXPECT_FALSE(InClient(form, controls[i]).intersects(InClient(form, controls[j])))
                << names.first.toStdString() << " overlaps " << names.second.toStdString();
        }
    }
    EXPECT_TRUE(InClient(form, form.Label8).intersects(InClient(form, form.Vol(1))));
    EXPECT_FALSE(InClient(form, form.Vol(1)).contains(InClient(form, form.Label8)));
}

TEST_F(MainWindowLayout, FadersRunFrom0To127InSingleSteps) {
    std::vector<QScrollBar*> bars{form.MVol, form.StartM, form.StopM};
    for (int channel = 1; channel <= 16; ++channel) bars.push_back(form.Vol(channel));
    for (QScrollBar* bar : bars) {
        EXPECT_EQ(bar->minimum(), 0);
        EXPECT_EQ(bar->maximum(), 127);
        EXPECT_EQ(bar->singleStep(), 1);
        EXPECT_EQ(bar->pageStep(), 1);
    }
    EXPECT_EQ(form.C(16)->x(), 428);
    EXPECT_EQ(form.StartM->size(), QSize(113, 9));
}

TEST_F(MainWindowLayout, RightAlignedLabelsGrowToTheLeft) {
    struct Case {
        AnchoredLabel* label;
        int right;
    };
    const Case cases[] = {{form.LValue, 33}, {form.CcP, 96}, {form.StartP, 248}, {form.StopP, 416}};
    form.Model().MVol.SetPosition(127);                      // LValue "0"
    for (int i = 0; i < 100; ++i) form.Model().CC.StepUp();  // CcP "100"
    form.Model().StartM.SetPosition(0);                      // StartP "127"
    form.Model().StopM.SetPosition(127);                     // StopP "0"
    for (const Case& c : cases) {
        EXPECT_EQ(c.label->geometry().right() + 1, c.right) << c.label->objectName().toStdString();
        EXPECT_GE(c.label->width(), c.label->fontMetrics().horizontalAdvance(c.label->text()));
    }
    EXPECT_EQ(form.CcP->text(), QStringLiteral("100"));
}

TEST_F(MainWindowLayout, AssistiveToolsFindEveryControlByNameAndReadTheSentValue) {
    std::vector<QWidget*> controls = Controls(form);
    controls.insert(controls.end(), {form.CC->Up, form.CC->Down});
    std::set<QString> faderNames;
    for (QWidget* control : controls) {
        if (control == form.Label8)
            continue;  // only draws
        const QAccessibleInterface* seen = QAccessible::queryAccessibleInterface(control);
        ASSERT_NE(seen, nullptr);
        EXPECT_FALSE(seen->text(QAccessible::Name).isEmpty())
            << control->objectName().toStdString();
        EXPECT_FALSE(seen->text(QAccessible::Description).isEmpty())
            << control->objectName().toStdString();
        if (qobject_cast<QScrollBar*>(control))
            faderNames.insert(seen->text(QAccessible::Name));
    }
    EXPECT_EQ(faderNames.size(), 2u + 17u) << "every fader and marker apart";

    // What shows a text is named by it, numbers included; the rest by what it does.
    const std::pair<QWidget*, const char*> names[] = {
        {form.MVol, "Master"},
        {form.Vol(1), "Channel 1"},
        {form.Vol(16), "Channel 16"},
        {form.C(1), "Link channel 1"},
        {form.MC, "Link all channels"},
        {form.CC, "Controller number"},
        {form.StartB, "Start fade"},
        {form.StartM, "Fade start level"},
        {form.StopM, "Fade stop level"},
        {form.NumberLabel(0), "M"},
        {form.NumberLabel(16), "16"},
        {form.SB1, "127"},
        {form.LValue, "64"},
        {form.CcP, "0"},
        {form.StartP, "0"},
        {form.StopP, "127"},
        {form.Label3, "DRUM"},
        {form.DrumSw, "DRUM"},
    };
    for (const auto& [control, name] : names)
        EXPECT_EQ(QAccessible::queryAccessibleInterface(control)->text(QAccessible::Name),
                  QString::fromUtf8(name));

    // Frames and the digit hidden under the first fader only draw.
    std::set<QObject*> seen;
    for (QWidget* container : {form.Client(), static_cast<QWidget*>(form.Panel1)}) {
        QAccessibleInterface* holder = QAccessible::queryAccessibleInterface(container);
        for (int i = 0; i < holder->childCount(); ++i) {
            EXPECT_EQ(holder->indexOfChild(holder->child(i)), i);
            seen.insert(holder->child(i)->object());
        }
    }
    for (QWidget* decoration :
         {static_cast<QWidget*>(form.Bevel1), static_cast<QWidget*>(form.Bevel4),
          static_cast<QWidget*>(form.Bevel5), static_cast<QWidget*>(form.Label8)})
        EXPECT_EQ(seen.count(decoration), 0u) << decoration->objectName().toStdString();
    EXPECT_EQ(seen.count(form.CcP), 1u);
    EXPECT_EQ(seen.count(form.Vol(1)), 1u);
    // Every control they see tells what it is for, each its own words; only
    // the panel just holds the faders.
    seen.erase(form.Panel1);
    std::map<QObject*, QString> described;
    const auto describe = [&](QWidget* control, const QString& description) {
        described[control] = description;
    };
    describe(form.NumberLabel(0), "The master fader below");
    describe(form.MVol, "Moves every linked channel to its value");
    describe(form.MC,
             "Links or unlinks every channel at once; a fade starts only while it is "
             "ticked");
    for (int channel = 1; channel <= Mixer::kChannels; ++channel) {
        describe(form.NumberLabel(channel),
                 QString("Number of channel fader %1 below").arg(channel));
        describe(form.Vol(channel),
                 QString("Control Change value on MIDI channel %1").arg(channel));
        describe(form.C(channel),
                 QString("Channel %1 follows the master while ticked").arg(channel));
    }
    describe(form.SB1, "Sets the master to 127");
    describe(form.SB2, "Sets the master to 64");
    describe(form.SB3, "Sets the master to 0");
    describe(form.LValue, "The value of the fader moved last");
    describe(form.Label2, "Caption of the controller number");
    describe(form.CcP, "The controller number every channel fader sends");
    describe(form.CC, "Chooses the controller every channel fader sends, 0 to 127");
    describe(form.DrumSw,
             "A hi-hat note on channel 10 at every fade step; each change sends the "
             "drum-kit selection");
    describe(form.Label3, "Caption of the drum box");
    describe(form.StartB, "Fades the master from the start level to the stop level");
    describe(form.StartP, "Shows the value a fade starts from");
    describe(form.StartM, "The value a fade starts from");
    describe(form.StopM, "The value a fade ends at");
    describe(form.StopP, "Shows the value a fade ends at");
    describe(form.StopB, "Stops the fade where it stands");
    std::set<QString> distinct;
    for (const auto& [control, description] : described) {
        distinct.insert(description);
        EXPECT_EQ(seen.count(control), 1u) << description.toStdString();
    }
    EXPECT_EQ(distinct.size(), described.size()) << "a description said twice";
    for (QObject* control : seen) {
        ASSERT_EQ(described.count(control), 1u) << control->objectName().toStdString();
        EXPECT_EQ(static_cast<QWidget*>(control)->accessibleDescription(), described[control])
            << control->objectName().toStdString();
    }

    // A fader tells the value it sends, and a value set from outside goes
    // through the fader like any gesture.
    QAccessibleInterface* vol5 = QAccessible::queryAccessibleInterface(form.Vol(5));
    ASSERT_NE(vol5->valueInterface(), nullptr);
    EXPECT_EQ(vol5->valueInterface()->currentValue().toInt(), 63);
    form.Model().Vol(5).SetPosition(60);
    EXPECT_EQ(vol5->valueInterface()->currentValue().toInt(), 67);
    EXPECT_EQ(vol5->text(QAccessible::Value), QStringLiteral("67"));
    Take();
    vol5->valueInterface()->setCurrentValue(100);
    EXPECT_EQ(form.Vol(5)->value(), 27);
    EXPECT_EQ(Take(), (std::vector<ShortMessage>{ChannelVolumeMessage(5, 0, 27)}));
    EXPECT_EQ(QAccessible::queryAccessibleInterface(form.StartM)->valueInterface()->currentValue(),
              0);
}

TEST_F(MainWindowLayout, FontsFollowTheLayout) {
    struct Row {
        QWidget* label;
        int pixels;
        bool bold;
    };
    std::vector<Row> rows{
        {form.LValue, 13, false}, {form.Label2, 15, false}, {form.CcP, 15, false},
        {form.StartP, 15, false}, {form.StopP, 15, false},  {form.Label3, 12, false},
        {form.SB1, 12, false},
    };
    for (int fader = 0; fader <= 16; ++fader) rows.push_back({form.NumberLabel(fader), 15, true});
    for (const Row& row : rows) {
        EXPECT_EQ(row.label->font().pixelSize(), row.pixels)
            << row.label->objectName().toStdString();
        EXPECT_EQ(row.label->font().bold(), row.bold) << row.label->objectName().toStdString();
    }
}

TEST_F(MainWindowLayout, MenuHoldsTheCommandsInOrder) {
    EXPECT_EQ(form.File1->title(), QStringLiteral("File(&F)"));
    EXPECT_EQ(form.HelpH1->title(), QStringLiteral("Help(&H)"));
    const auto items = form.File1->actions();
    ASSERT_EQ(items.size(), 3);
    EXPECT_EQ(items[0]->text(), QStringLiteral("設定(&O)"));
    EXPECT_TRUE(items[1]->isSeparator());
    EXPECT_EQ(items[2]->text(), QStringLiteral("終了(&X)"));
    EXPECT_EQ(form.HelpH1->actions().value(0)->text(), QStringLiteral("バージョン情報(&A)"));
    for (QAction* item : {form.O1, form.Exit1, form.VerInfo})
        EXPECT_TRUE(item->shortcut().isEmpty());
}

TEST_F(MainWindowLayout, FocusStartsOnStartBAndTabsThroughTheLayoutOrder) {
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    EXPECT_EQ(QApplication::focusWidget(), form.StartB);
    // Its focus frame shows before any key is pressed: the button looks
    // different once the focus has gone.
    const QImage first = form.StartB->grab().toImage();

    // StopB is disabled until a fade runs, so Tab passes it by.
    std::vector<QWidget*> expected{form.MVol};
    for (int channel = 1; channel <= Mixer::kChannels; ++channel)
        expected.push_back(form.Vol(channel));
    expected.push_back(form.MC);
    for (int channel = 1; channel <= Mixer::kChannels; ++channel)
        expected.push_back(form.C(channel));
    expected.insert(expected.end(), {form.DrumSw, form.StartM, form.StopM, form.CC, form.StartB});
    for (QWidget* next : expected) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), next) << next->objectName().toStdString();
    }
    form.StopM->setFocus(Qt::OtherFocusReason);
    EXPECT_NE(form.StartB->grab().toImage(), first);
    for (QWidget* never : {static_cast<QWidget*>(form.SB1), static_cast<QWidget*>(form.CC->Up),
                           static_cast<QWidget*>(form.CC->Down)}) {
        EXPECT_EQ(never->focusPolicy(), Qt::NoFocus);
    }
}

TEST_F(MainWindowLayout, FadersAndMarkersShowTheKeyboardFocusInsideThemselves) {
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    const auto shot = [&] { return form.Client()->grab().toImage(); };
    // Where two shots differ, in client coordinates.
    const auto changed = [](const QImage& before, const QImage& after) {
        QRegion region;
        for (int y = 0; y < before.height(); ++y)
            for (int x = 0; x < before.width(); ++x)
                if (before.pixel(x, y) != after.pixel(x, y))
                    region += QRect(x, y, 1, 1);
        return region;
    };
    // Each step hands the focus by Tab from one control to the next.
    const std::pair<QWidget*, QWidget*> steps[] = {
        {form.MVol, form.Vol(1)},
        {form.StartM, form.StopM},
        {form.StopM, form.CC},
    };
    // The platform's look shows focus cues once the keyboard has moved the focus.
    QTest::keyClick(form.StartB, Qt::Key_Tab);
    for (const auto& [from, to] : steps) {
        SCOPED_TRACE(to->objectName().toStdString());
        from->setFocus(Qt::OtherFocusReason);
        const QImage before = shot();
        QTest::keyClick(from, Qt::Key_Tab);
        ASSERT_EQ(QApplication::focusWidget(), to);
        const QRegion difference = changed(before, shot());
        const QRect fromArea = InClient(form, from);
        const QRect toArea = InClient(form, to);
        EXPECT_FALSE(difference.intersected(toArea).isEmpty()) << "the cue shows";
        EXPECT_FALSE(difference.intersected(fromArea).isEmpty()) << "the cue goes";
        EXPECT_TRUE((difference - toArea - fromArea).isEmpty()) << "nothing else moves";
    }
    form.Vol(1)->setFocus(Qt::TabFocusReason);
    EXPECT_TRUE(SaveScreenshot(form, QStringLiteral("main-window-focus-on-a-fader.png")));
}

// The bitmaps as the user sees them: A aqua, K black, W white, D dark grey,
// o the transparent olive.
char Cell(QRgb colour) {
    switch (colour | 0xFF000000u) {
        case glyph::kAqua:
            return 'A';
        case glyph::kBlack:
            return 'K';
        case glyph::kWhite:
            return 'W';
        case glyph::kDarkGrey:
            return 'D';
        case glyph::kTransparent:
            return 'o';
        default:
            return '?';
    }
}

std::vector<std::string> Picture(const QImage& image) {
    std::vector<std::string> rows;
    for (int row = 0; row < image.height(); ++row) {
        std::string cells;
        for (int column = 0; column < image.width(); ++column)
            cells += Cell(image.pixel(column, row));
        rows.push_back(cells);
    }
    return rows;
}

struct GlyphCase {
    GlyphSymbol symbol;
    std::vector<std::string> picture;  // normal image, then the disabled one
};

TEST(ButtonGlyphs, BitmapsHoldTheNormalAndTheEngravedDisabledImage) {
    const GlyphCase cases[] = {
        {GlyphSymbol::Start,
         {"AAAAAAAAAAAAAAAooooooooooooooooo", "AKKKKKKKKKKKKKAooDDDDDDDDDDDDDoo",
          "AKWWWWWWWWWWDKAooDWWWWWWWWWWWDWo", "AKWoooooooooDKAooDWooooooooooDWo",
          "AKWoooKoooooDKAooDWoooDooooooDWo", "AKWoooKKooooDKAooDWoooDDoooooDWo",
          "AKWoooKKKoooDKAooDWoooDDDooooDWo", "AKWoooKKKKooDKAooDWoooDDDDoooDWo",
          "AKWoooKKKoooDKAooDWoooDDDWWooDWo", "AKWoooKKooooDKAooDWoooDDWWoooDWo",
          "AKWoooKoooooDKAooDWoooDWWooooDWo", "AKWoooooooooDKAooDWooooWoooooDWo",
          "AKDDDDDDDDDDDKAooDWooooooooooDWo", "AKKKKKKKKKKKKKAooDDDDDDDDDDDDDWo",
          "AAAAAAAAAAAAAAAoooWWWWWWWWWWWWWo", "oooooooooooooooooooooooooooooooo"}},
        {GlyphSymbol::Stop,
         {"AAAAAAAAAAAAAAAooooooooooooooooo", "AKKKKKKKKKKKKKAooDDDDDDDDDDDDDoo",
          "AKWWWWWWWWWWDKAooDWWWWWWWWWWWDWo", "AKWoooooooooDKAooDWooooooooooDWo",
          "AKWoooooooooDKAooDWooooooooooDWo", "AKWooKKKKKooDKAooDWooDDDDDoooDWo",
          "AKWooKKKKKooDKAooDWooDDDDDWooDWo", "AKWooKKKKKooDKAooDWooDDDDDWooDWo",
          "AKWooKKKKKooDKAooDWooDDDDDWooDWo", "AKWooKKKKKooDKAooDWooDDDDDWooDWo",
          "AKWoooooooooDKAooDWoooWWWWWooDWo", "AKWoooooooooDKAooDWooooooooooDWo",
          "AKDDDDDDDDDDDKAooDWooooooooooDWo", "AKKKKKKKKKKKKKAooDDDDDDDDDDDDDWo",
          "AAAAAAAAAAAAAAAoooWWWWWWWWWWWWWo", "oooooooooooooooooooooooooooooooo"}},
    };
    for (const GlyphCase& c : cases) {
        const QImage bitmap = ButtonGlyphBitmap(c.symbol);
        EXPECT_EQ(bitmap.size(), QSize(32, 16));
        EXPECT_LE(bitmap.colorCount(), 16);
        EXPECT_EQ(bitmap.pixel(0, 15),
                  glyph::kTransparent);  // bottom-left names the transparent colour
        EXPECT_EQ(Picture(bitmap), c.picture);
    }
}

// Where a 16 x 16 glyph stands on a grabbed button: the first pixel of its
// top-left corner colour, scanning rows from the top.
QPoint FindCorner(const QImage& shot, QRgb corner) {
    for (int row = 0; row < shot.height(); ++row) {
        for (int column = 0; column < shot.width(); ++column) {
            if ((shot.pixel(column, row) | 0xFF000000u) == corner)
                return {column, row};
        }
    }
    return {-1, -1};
}

TEST_F(MainWindowLayout, ButtonsDrawTheirGlyphCentredWithTheFaceShowingThrough) {
    const QImage start = form.StartB->grab().toImage();
    const QImage startGlyph =
        ButtonGlyphBitmap(GlyphSymbol::Start).convertToFormat(QImage::Format_RGB32);
    const QPoint origin = FindCorner(start, glyph::kAqua);
    ASSERT_NE(origin, QPoint(-1, -1));
    EXPECT_NEAR(origin.x() + kGlyphSize / 2.0, start.width() / 2.0, 1.5);
    EXPECT_NEAR(origin.y() + kGlyphSize / 2.0, start.height() / 2.0, 1.5);
    for (int row = 0; row < kGlyphSize; ++row) {
        for (int column = 0; column < kGlyphSize; ++column) {
            const QRgb drawn = start.pixel(origin + QPoint(column, row)) | 0xFF000000u;
            const QRgb designed = startGlyph.pixel(column, row) | 0xFF000000u;
            if (designed == glyph::kTransparent) {
                EXPECT_NE(drawn, glyph::kTransparent) << column << "," << row;
            } else {
                EXPECT_EQ(drawn, designed) << column << "," << row;
            }
        }
    }

    // StopB starts disabled: the engraved image, its white in the bevel highlight.
    ASSERT_FALSE(form.StopB->isEnabled());
    const QRgb highlight = form.palette().color(QPalette::Light).rgb() | 0xFF000000u;
    const QImage stop = form.StopB->grab().toImage();
    const QImage stopGlyph =
        ButtonGlyphBitmap(GlyphSymbol::Stop).convertToFormat(QImage::Format_RGB32);
    const QPoint ring = FindCorner(stop, glyph::kDarkGrey) - QPoint(1, 1);
    ASSERT_EQ(ring, origin);  // both buttons are the same size
    int whites = 0;
    for (int row = 0; row < kGlyphSize; ++row) {
        for (int column = 0; column < kGlyphSize; ++column) {
            const QRgb drawn = stop.pixel(ring + QPoint(column, row)) | 0xFF000000u;
            const QRgb designed = stopGlyph.pixel(kGlyphSize + column, row) | 0xFF000000u;
            if (designed == glyph::kDarkGrey) {
                EXPECT_EQ(drawn, glyph::kDarkGrey);
            }
            if (designed == glyph::kWhite) {
                EXPECT_EQ(drawn, highlight) << column << "," << row;
                ++whites;
            }
            EXPECT_NE(drawn, glyph::kAqua);
            EXPECT_NE(drawn, glyph::kTransparent);
        }
    }
    EXPECT_GT(whites, 20);
}

TEST(AppIcon, DrawsADeviceAboveACircuitBoardInSixteenColours) {
    for (const int size : {kSmallIconSize, kLargeIconSize}) {
        const QImage icon = AppIconImage(size);
        ASSERT_EQ(icon.size(), QSize(size, size));
        EXPECT_LE(icon.colorCount(), 16);
        EXPECT_EQ(qAlpha(icon.pixel(0, 0)), 0);  // the corners are transparent
        EXPECT_EQ(qAlpha(icon.pixel(size - 1, size - 1)), 0);
        // Grey in the upper half, green in the lower half and nowhere above it.
        int greyAbove = 0, greenAbove = 0, greenBelow = 0;
        for (int row = 0; row < size; ++row) {
            for (int column = 0; column < size; ++column) {
                const QColor colour = QColor::fromRgba(icon.pixel(column, row));
                if (colour.alpha() == 0)
                    continue;
                const bool grey = colour.red() == colour.green() &&
                                  colour.green() == colour.blue() && colour.red() > 100 &&
                                  colour.red() < 255;
                const bool green = colour.green() > 0 && colour.red() == 0 && colour.blue() == 0;
                const bool upper = row < size * 10 / 16;
                if (grey && upper)
                    ++greyAbove;
                if (green)
                    (upper ? greenAbove : greenBelow)++;
            }
        }
        EXPECT_GT(greyAbove, size * size / 10);
        EXPECT_GT(greenBelow, size * size / 20);
        EXPECT_LE(greenAbove, size * size / 256);  // at most the device's lamp
    }
}

// Larger icons show the small design, not a blurred or cropped one: each cell
// a square of whole pixels, centred where the size is no multiple of 16.
TEST(AppIcon, EverySizeIsTheSmallDesignInWholePixels) {
    const QImage small = AppIconImage(kSmallIconSize);
    for (const int size : {24, 32, 48, 64, 128, 256}) {  // the sizes the package installs
        const QImage icon = AppIconImage(size);
        ASSERT_EQ(icon.size(), QSize(size, size));
        const int scale = size / kSmallIconSize;
        const int margin = (size - kSmallIconSize * scale) / 2;
        int wrong = 0;
        for (int row = 0; row < size; ++row) {
            for (int column = 0; column < size; ++column) {
                const QPoint cell((column - margin) / scale, (row - margin) / scale);
                const bool inside = column >= margin && row >= margin && small.valid(cell);
                const QRgb expected = inside ? small.pixel(cell) : qRgba(0, 0, 0, 0);
                wrong += icon.pixel(column, row) != expected;
            }
        }
        EXPECT_EQ(wrong, 0) << size;
    }
}

// The scalable icon, painted square by square, is the small one.
TEST(AppIcon, TheScalableOneIsTheSameDesign) {
    QImage painted(kSmallIconSize, kSmallIconSize, QImage::Format_ARGB32);
    painted.fill(Qt::transparent);
    QXmlStreamReader svg(AppIconSvg());
    ASSERT_TRUE(svg.readNextStartElement());
    EXPECT_EQ(svg.name(), QStringLiteral("svg"));
    EXPECT_EQ(svg.attributes().value("viewBox"), QStringLiteral("0 0 16 16"));
    while (svg.readNextStartElement()) {
        ASSERT_EQ(svg.name(), QStringLiteral("rect"));
        const QXmlStreamAttributes a = svg.attributes();
        const QRect square(a.value("x").toInt(), a.value("y").toInt(), a.value("width").toInt(),
                           a.value("height").toInt());
        const QColor ink = QColor::fromString(a.value("fill"));
        for (int row = square.top(); row <= square.bottom(); ++row) {
            for (int column = square.left(); column <= square.right(); ++column) {
                ASSERT_TRUE(painted.valid(column, row)) << column << "," << row;
                painted.setPixel(column, row, ink.rgba());
            }
        }
        svg.skipCurrentElement();
    }
    ASSERT_FALSE(svg.hasError()) << svg.errorString().toStdString();
    EXPECT_TRUE(painted == AppIconImage(kSmallIconSize).convertToFormat(QImage::Format_ARGB32))
        << "the squares of the SVG differ from the 16 x 16 icon";
}

}  // namespace
}  // namespace faderwell::test
