#include "platform/qt/ProgressDialog.h"

#include <QBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <utility>

namespace vx {

ProgressDialog::ProgressDialog(const ProgressDesc& desc, QWidget* owner, std::function<void()> onStop)
    : QDialog(owner, Qt::Dialog | Qt::WindowStaysOnTopHint),
      text_(new QLabel(QString::fromStdString(desc.text))),
      bar_(new QProgressBar) {
  setWindowTitle(QString::fromStdString(desc.title));
  text_->setWordWrap(true);
  bar_->setRange(0, 100);
  bar_->setValue(0);
  auto* stop = new QPushButton(QString::fromStdString(desc.stopLabel));
  auto* row = new QHBoxLayout;
  row->addWidget(bar_, 1);
  row->addWidget(stop);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(text_);
  layout->addLayout(row);
  connect(stop, &QPushButton::clicked, this, &QDialog::reject);
  connect(this, &QDialog::rejected, this, std::move(onStop));
  move(desc.x, desc.y);
  show();
}

void ProgressDialog::Show(std::string_view text, int position) {
  text_->setText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
  bar_->setValue(position);
}

}  // namespace vx
