#pragma once

#include <QDir>
#include <QPixmap>
#include <QStringList>
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
