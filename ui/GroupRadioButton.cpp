#include "ui/GroupRadioButton.h"

namespace faderwell {

GroupRadioButton::GroupRadioButton(const QString& text, QWidget* parent)
    : QRadioButton(text, parent) {
    connect(this, &QAbstractButton::toggled, this, [this](bool checked) {
        if (checked)
            MoveTabStopToChecked();
    });
}

void GroupRadioButton::focusInEvent(QFocusEvent* event) {
    // Qt makes the focused button the tab stop, checked or not.
    QRadioButton::focusInEvent(event);
    MoveTabStopToChecked();
}

void GroupRadioButton::MoveTabStopToChecked() {
    for (QRadioButton* button :
         parentWidget()->findChildren<QRadioButton*>(Qt::FindDirectChildrenOnly)) {
        if (!button->autoExclusive())
            continue;
        const Qt::FocusPolicy policy = button->focusPolicy();
        button->setFocusPolicy(button->isChecked() ? Qt::FocusPolicy(policy | Qt::TabFocus)
                                                   : Qt::FocusPolicy(policy & ~Qt::TabFocus));
    }
}

}  // namespace faderwell
