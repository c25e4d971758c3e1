#include "ui/Prompts.h"

#include <QApplication>
#include <QMessageBox>
#include <QWidget>

#include "core/AppInfo.h"
#include "core/Failure.h"

namespace faderwell {

namespace {
QString Title() {
    return QString::fromUtf8(kApplicationTitle.data(), kApplicationTitle.size());
}
}  // namespace

void QtPrompts::FailureReport(const QString& text) {
    QMessageBox box(QMessageBox::Critical, Title(), text, QMessageBox::Ok);
    box.exec();
}

void QtPrompts::Message(const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, Title(), text, QMessageBox::Ok);
    box.exec();
}

void ReportFailure(Prompts& prompts, const std::exception& failure) {
    if (QWidget* grabber = QWidget::mouseGrabber())
        grabber->releaseMouse();
    prompts.FailureReport(QString::fromStdString(FailureReportText(failure.what())));
}

}  // namespace faderwell
