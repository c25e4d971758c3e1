#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>
#include <exception>
#include <utility>

namespace faderwell {

/// The program's two kinds of message box, both modal, captioned with the
/// application title, with one OK button. Tests replace them.
class Prompts {
public:
    virtual ~Prompts() = default;
    /// The failure report: stop icon; the text already carries its final ".".
    virtual void FailureReport(const QString& text) = 0;
    /// A plain message without icon, centred on the screen.
    virtual void Message(const QString& text) = 0;
    /// The main window, once it exists: the boxes belong to it from then on.
    virtual void SetOwner(QWidget* mainWindow) { (void)mainWindow; }
};

/// Real message boxes, centred on the screen. Each belongs to the modal
/// dialog open at the time, or else to the main window once it exists, so
/// that it stays above them.
class QtPrompts final : public Prompts {
public:
    void FailureReport(const QString& text) override;
    void Message(const QString& text) override;
    void SetOwner(QWidget* mainWindow) override { owner_ = mainWindow; }

private:
    QWidget* Owner() const;

    QPointer<QWidget> owner_;
};

/// Shows a failure that escaped a handler: releases any mouse grab, then
/// shows the failure report. The program carries on afterwards.
void ReportFailure(Prompts& prompts, const std::exception& failure);

/// Runs a handler where the toolkit calls it. A failure skips the rest of the
/// handler and is reported; no exception ever crosses Qt's event dispatch.
template <class Handler>
void Guarded(Prompts& prompts, Handler&& handler) noexcept {
    try {
        std::forward<Handler>(handler)();
    } catch (const std::exception& failure) {
        ReportFailure(prompts, failure);
    }
}

}  // namespace faderwell
