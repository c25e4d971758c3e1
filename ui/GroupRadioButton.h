#pragma once

#include <QRadioButton>

namespace faderwell {

/// A radio button of a group in which only the checked button is a tab stop,
/// however it got checked; the others still take the focus by click.
class GroupRadioButton final : public QRadioButton {
public:
    GroupRadioButton(const QString& text, QWidget* parent);

protected:
    void focusInEvent(QFocusEvent* event) override;

private:
    /// The checked button of this one's group takes Tab, the others do not.
    void MoveTabStopToChecked();
};

}  // namespace faderwell
