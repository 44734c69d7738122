#include "ui/qt/progress_form.h"

#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <algorithm>

#include "ui/application.h"

namespace lorvante {

TProgressForm::TProgressForm(std::function<void()> cancel_click, const QWidget* main_form)
    : QDialog(nullptr, Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint |
                           Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      cancel_click_(std::move(cancel_click)) {
  setWindowTitle(QString::fromStdString(Application.Title));
  setModal(false);
  setFixedSize(kClientWidth, kClientHeight);

  // Centred on the main form's rectangle (outer sizes), else on the work area.
  const QRect outer = frameGeometry();
  if (main_form != nullptr) {
    const QRect form = main_form->frameGeometry();
    move(form.left() + (form.width() - outer.width()) / 2,
         form.top() + (form.height() - outer.height()) / 2);
  } else if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->availableGeometry();
    move(area.left() + (area.width() - outer.width()) / 2,
         area.top() + (area.height() - outer.height()) / 2);
  }

  FMsgLabel = new QLabel(QStringLiteral("wait ..."), this);
  FMsgLabel->setWordWrap(false);
  FMsgLabel->setTextFormat(Qt::PlainText);
  FMsgLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  FMsgLabel->setGeometry((kClientWidth - 280) / 2, 15, 280, FMsgLabel->sizeHint().height());

  FProgressBar = new QProgressBar(this);
  FProgressBar->setRange(0, 100);
  FProgressBar->setValue(0);
  FProgressBar->setTextVisible(false);
  FProgressBar->setGeometry(10, 35, 280, style()->pixelMetric(QStyle::PM_ScrollBarExtent));

  FCancelButton = new QPushButton(QStringLiteral("&Cancel"), this);
  FCancelButton->setGeometry((kClientWidth - 75) / 2, 60, 75, 25);
  FCancelButton->setDefault(true);
  connect(FCancelButton, &QPushButton::clicked, this, [this] { CancelClick(); });
}

void TProgressForm::SetProgressMax(int value) {
  FProgressBar->setMaximum(value);
}

void TProgressForm::SetProgressPos(int value) {
  // The bar ignores values outside its range; a position past the end shows a full bar.
  FProgressBar->setValue(std::clamp(value, FProgressBar->minimum(), FProgressBar->maximum()));
}

void TProgressForm::SetMessage(const std::string& text) {
  FMsgLabel->setText(QString::fromStdString(text));
  FMsgLabel->move((kClientWidth - FMsgLabel->width()) / 2, FMsgLabel->y());
}

void TProgressForm::CancelClick() {
  if (cancel_click_) cancel_click_();
  hide();
}

}  // namespace lorvante
