#include "ui/Prompts.h"

#include <QApplication>
#include <QMessageBox>
#include <QWidget>

#include "core/AppInfo.h"
#include "core/Failure.h"
#include "ui/QtText.h"

namespace faderwell {

void QtPrompts::FailureReport(const QString& text) {
    QMessageBox box(QMessageBox::Critical, ToQString(kApplicationTitle), text, QMessageBox::Ok);
    box.exec();
}

void QtPrompts::Message(const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, ToQString(kApplicationTitle), text, QMessageBox::Ok);
    box.exec();
}

void ReportFailure(Prompts& prompts, const std::exception& failure) {
    if (QWidget* grabber = QWidget::mouseGrabber())
        grabber->releaseMouse();
    prompts.FailureReport(QString::fromStdString(FailureReportText(failure.what())));
}

}  // namespace faderwell
