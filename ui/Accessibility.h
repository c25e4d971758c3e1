#pragma once

#include <QString>

class QWidget;

namespace faderwell {

/// Lets assistive tools see every FaderBar as a slider that reports its
/// sent value and the controller arrows as a spin box, and leaves out what is
/// marked decorative. Call once the application object exists; further
/// calls do nothing.
void InstallFaderAccessibility();

/// Keeps a widget that only draws (a bevel, a label hidden under a fader)
/// out of what assistive tools see.
void MarkDecorative(QWidget* widget);

/// Gives `control` the name and description that screen readers announce.
void Describe(QWidget* control, const QString& name, const QString& description);

}  // namespace faderwell
