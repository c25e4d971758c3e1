#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QPixmap>
#include <QScreen>
#include <QStringList>
#include <QWheelEvent>
#include <QWidget>
#include <ostream>

#include "ui/PageOpener.h"
#include "ui/Prompts.h"

/// Readable texts in failure messages.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace faderwell::test {

/// Records the message boxes instead of showing them.
class RecordingPrompts final : public Prompts {
public:
    void FailureReport(const QString& text) override { failures.push_back(text); }
    void Message(const QString& text) override { messages.push_back(text); }

    QStringList failures;
    QStringList messages;
};

/// Records the pages handed to the browser, and whether the about dialog
/// was still on screen at that moment.
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

/// The frame both dialogs have: the title, a fixed client size, a title bar
/// with the close button only, every control inside its parent, and the
/// frame centred on the desktop at the first showing.
inline void ExpectFixedCentredDialog(const QDialog& dialog, const QString& title, QSize client) {
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
    }
    const QRect desktop = dialog.screen()->availableGeometry();
    EXPECT_LE((dialog.frameGeometry().center() - desktop.center()).manhattanLength(), 2);
}

/// One notch of the mouse wheel towards the user over the widget.
inline void WheelDown(QWidget& widget) {
    const QPoint centre = widget.rect().center();
    QWheelEvent wheel(centre, widget.mapToGlobal(centre), {},
                      {0, -QWheelEvent::DefaultDeltasPerStep}, Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(&widget, &wheel);
}

/// Saves what the widget shows, one device pixel per pixel whatever the
/// screen's scale, for a person to look at.
inline void SaveScreenshot(QWidget& widget, const QString& fileName) {
    QDir().mkpath(QStringLiteral(FADERWELL_ARTIFACTS_DIR));
    QPixmap shot(widget.size());
    shot.setDevicePixelRatio(1.0);
    widget.render(&shot);
    shot.save(QStringLiteral(FADERWELL_ARTIFACTS_DIR) + QLatin1Char('/') + fileName);
}

}  // namespace faderwell::test
