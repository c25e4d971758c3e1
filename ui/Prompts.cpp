#include "ui/Prompts.h"

#include <QApplication>
#include <QMessageBox>
#include <QScreen>
#include <QWidget>

#include "core/AppInfo.h"
#include "core/Failure.h"
#include "core/FailureReport.h"
#include "ui/QtText.h"

namespace faderwell {

namespace {

// Qt would centre a box with a parent on the parent, which is still hidden
// and unplaced while the program starts; these boxes stand in the middle of
// the screen.
class ScreenCentredBox final : public QMessageBox {
public:
    using QMessageBox::QMessageBox;

protected:
    void showEvent(QShowEvent* event) override {
        QMessageBox::showEvent(event);  // sizes the box to its text
        if (const QScreen* shown = screen()) {
            QRect frame = frameGeometry();
            frame.moveCenter(shown->availableGeometry().center());
            move(frame.topLeft());
        }
    }
};

void ShowBox(QMessageBox::Icon icon, const QString& text, QWidget* owner) {
    ScreenCentredBox box(icon, ToQString(kApplicationTitle), text, QMessageBox::Ok, owner);
    box.exec();
}

}  // namespace

QWidget* QtPrompts::Owner() const {
    if (QWidget* modal = QApplication::activeModalWidget())
        return modal;
    return owner_;
}

void QtPrompts::FailureReport(const QString& text) {
    ShowBox(QMessageBox::Critical, text, Owner());
}

void QtPrompts::Message(const QString& text) {
    ShowBox(QMessageBox::NoIcon, text, Owner());
}

void ReportFailure(Prompts& prompts, const std::exception& failure) {
    if (QWidget* grabber = QWidget::mouseGrabber())
        grabber->releaseMouse();
    prompts.FailureReport(QString::fromStdString(FailureReportText(failure.what())));
}

}  // namespace faderwell
