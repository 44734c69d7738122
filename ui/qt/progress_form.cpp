#include "ui/qt/progress_form.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStyle>

#include <algorithm>

#include "ui/application.h"
#include "ui/qt/qt_ui.h"

namespace lorvante {

QString TElidedLabel::DisplayedText() const {
  return fontMetrics().elidedText(text(), Qt::ElideMiddle, contentsRect().width());
}

void TElidedLabel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  style()->drawItemText(&painter, contentsRect(), static_cast<int>(alignment()), palette(),
                        isEnabled(), DisplayedText(), foregroundRole());
}

TProgressForm::TProgressForm(std::function<void()> cancel_click)
    : QDialog(nullptr, Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint |
                           Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      cancel_click_(std::move(cancel_click)) {
  setWindowTitle(WindowTitle(Application.Title));
  setModal(false);
  setFixedSize(kClientWidth, kClientHeight);

  // Centred on the work area (outer size).
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect outer = frameGeometry();
    const QRect area = screen->availableGeometry();
    move(area.left() + (area.width() - outer.width()) / 2,
         area.top() + (area.height() - outer.height()) / 2);
  }

  FMsgLabel = new TElidedLabel(QStringLiteral("wait ..."), this);
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

void TProgressForm::keyPressEvent(QKeyEvent* event) {
  // Escape would only hide the window and let the extraction go on: it presses Cancel instead.
  if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
    FCancelButton->click();
    return;
  }
  QDialog::keyPressEvent(event);
}

void TProgressForm::CancelClick() {
  if (cancel_click_) cancel_click_();
  hide();
}

}  // namespace lorvante
