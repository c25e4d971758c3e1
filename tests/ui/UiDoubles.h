#pragma once

#include <gtest/gtest.h>

#include <QAbstractSlider>
#include <QAccessible>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QPixmap>
#include <QScreen>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>
#include <QWheelEvent>
#include <QWidget>
#include <functional>
#include <ostream>
#include <vector>

#include "ui/PageOpener.h"
#include "ui/Prompts.h"

/// Readable texts in failure messages.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace faderwell::test {

/// Message boxes that record what they would have shown, and whether the
/// main window was visible at that moment.
class RecordingPrompts final : public Prompts {
public:
    struct Shown {
        enum class Kind { FailureReport, Message } kind;
        QString text;
        bool mainWindowVisible{false};
        bool operator==(const Shown&) const = default;
        friend void PrintTo(const Shown& s, std::ostream* os) {
            *os << (s.kind == Kind::Message ? "message " : "failure ");
            PrintTo(s.text, os);
            *os << (s.mainWindowVisible ? " over the window" : "");
        }
    };
    static Shown Failure(const QString& text) { return {Shown::Kind::FailureReport, text}; }
    static Shown Note(const QString& text) { return {Shown::Kind::Message, text}; }

    std::vector<Shown> shown;
    /// Tells whether the main window is visible; unset means "no window yet".
    std::function<bool()> mainWindowVisible;
    /// Runs while a box is up, as events would in its loop.
    std::function<void()> whileShown;

    void FailureReport(const QString& text) override { Record(Shown::Kind::FailureReport, text); }
    void Message(const QString& text) override { Record(Shown::Kind::Message, text); }

private:
    void Record(Shown::Kind kind, const QString& text) {
        shown.push_back({kind, text, mainWindowVisible && mainWindowVisible()});
        if (whileShown)
            whileShown();
    }
};

/// Records the pages handed to the browser, which is never started, and
/// whether the about dialog was still on screen at that moment.
class RecordingPageOpener final : public PageOpener {
public:
    void Open(const QUrl& page) override {
        pages.push_back(page);
        shownWhenOpened.push_back(dialog != nullptr && dialog->isVisible());
    }

    QList<QUrl> pages;
    QList<bool> shownWhenOpened;
    const QWidget* dialog{nullptr};
};

/// The centre of one part of a scroll bar or slider (arrow, trough, thumb, handle).
inline QPoint PartCentre(QAbstractSlider* bar, QStyle::SubControl part) {
    QStyleOptionSlider option;
    option.initFrom(bar);
    option.subControls = QStyle::SC_All;
    option.orientation = bar->orientation();
    option.minimum = bar->minimum();
    option.maximum = bar->maximum();
    option.sliderPosition = bar->sliderPosition();
    option.sliderValue = bar->value();
    option.singleStep = bar->singleStep();
    option.pageStep = bar->pageStep();
    option.upsideDown = bar->invertedAppearance() != (option.direction == Qt::RightToLeft);
    if (bar->orientation() == Qt::Horizontal)
        option.state |= QStyle::State_Horizontal;
    QStyle::ComplexControl control = QStyle::CC_ScrollBar;
    if (const auto* slider = qobject_cast<QSlider*>(bar)) {
        control = QStyle::CC_Slider;
        option.tickPosition = slider->tickPosition();
        option.tickInterval = slider->tickInterval();
    }
    return bar->style()->subControlRect(control, &option, part, bar).center();
}

/// Saves what the widget shows, one device pixel per pixel whatever the
/// screen's scale, for a person to look at.
inline bool SaveScreenshot(QWidget& widget, const QString& fileName) {
    QDir().mkpath(QStringLiteral(FADERWELL_ARTIFACTS_DIR));
    QPixmap shot(widget.size());
    shot.setDevicePixelRatio(1.0);
    widget.render(&shot);
    return shot.save(QStringLiteral(FADERWELL_ARTIFACTS_DIR) + QLatin1Char('/') + fileName);
}

/// The frame both dialogs have: the title, a fixed client size, a title bar
/// with the close button only, every control inside its parent, the frame
/// centred on the desktop at the first showing and, once moved by the user,
/// shown again where it was left. Saves a screenshot on the way.
inline void ExpectFixedCentredDialog(QDialog& dialog, const QString& title, QSize client,
                                     const QString& screenshot) {
    dialog.open();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    EXPECT_EQ(dialog.windowTitle(), title);
    EXPECT_EQ(dialog.size(), client);
    EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());
    const Qt::WindowFlags flags = dialog.windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowContextHelpButtonHint));
    for (const QWidget* control : dialog.findChildren<QWidget*>()) {
        if (control->window() != &dialog)
            continue;  // a drop-down's list is a window of its own
        EXPECT_TRUE(control->parentWidget()->rect().contains(control->geometry()))
            << control->metaObject()->className();
        if (control->focusPolicy() & Qt::TabFocus) {
            // What an assistive tool tells the user about it.
            EXPECT_FALSE(control->accessibleDescription().isEmpty())
                << control->metaObject()->className();
            const QAccessibleInterface* seen =
                QAccessible::queryAccessibleInterface(const_cast<QWidget*>(control));
            EXPECT_FALSE(seen == nullptr || seen->text(QAccessible::Name).isEmpty())
                << control->metaObject()->className();
        }
    }
    EXPECT_TRUE(dialog.windowIcon().isNull());
    dialog.setWindowState(Qt::WindowMaximized);  // what a title bar's button would ask
    EXPECT_TRUE(QTest::qWaitFor([&] { return !dialog.isMaximized(); }));
    EXPECT_EQ(dialog.size(), client);
    const QRect desktop = dialog.screen()->availableGeometry();
    EXPECT_LE((dialog.frameGeometry().center() - desktop.center()).manhattanLength(), 2);
    SaveScreenshot(dialog, screenshot);

    const QPoint moved = dialog.pos() + QPoint(-40, 30);
    dialog.move(moved);
    dialog.close();
    dialog.open();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    EXPECT_EQ(dialog.pos(), moved);
}

/// One notch of the mouse wheel towards the user over the widget.
inline void WheelDown(QWidget& widget) {
    const QPoint centre = widget.rect().center();
    QWheelEvent wheel(centre, widget.mapToGlobal(centre), {},
                      {0, -QWheelEvent::DefaultDeltasPerStep}, Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(&widget, &wheel);
}

}  // namespace faderwell::test
