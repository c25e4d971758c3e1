#pragma once

#include <QString>
#include <QWidget>
#include <functional>
#include <vector>

#include "ui/PageOpener.h"
#include "ui/Prompts.h"

namespace faderwell::test {

/// Message boxes that record what they would have shown, and whether the
/// main window was visible at that moment.
class RecordingPrompts final : public Prompts {
public:
    struct Shown {
        enum class Kind { FailureReport, Message } kind;
        QString text;
        bool mainWindowVisible;
    };

    std::vector<Shown> shown;
    /// Tells whether the main window is visible; unset means "no window yet".
    std::function<bool()> mainWindowVisible;

    void FailureReport(const QString& text) override { Record(Shown::Kind::FailureReport, text); }
    void Message(const QString& text) override { Record(Shown::Kind::Message, text); }

private:
    void Record(Shown::Kind kind, const QString& text) {
        shown.push_back({kind, text, mainWindowVisible && mainWindowVisible()});
    }
};

/// A browser that is never started.
class RecordingPageOpener final : public PageOpener {
public:
    std::vector<QUrl> opened;
    void Open(const QUrl& page) override { opened.push_back(page); }
};

}  // namespace faderwell::test
