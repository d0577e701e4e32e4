#include "uninstaller/internal/QtSplash.h"

#include <QApplication>
#include <QLabel>
#include <QScreen>
#include <QThread>

namespace uninstaller {

QtSplash::QtSplash() = default;
QtSplash::~QtSplash() = default;

void QtSplash::Show() {
  window_ = std::make_unique<QLabel>(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint);
  window_->setObjectName("130");
  window_->setPixmap(QPixmap(":/uninstaller/splash.svg"));
  window_->adjustSize();
  window_->move(window_->screen()->availableGeometry().center() - window_->rect().center());
  window_->show();
  // Painted before the wait: the uninstaller handles no messages while it works.
  window_->repaint();
  QApplication::processEvents();
  QThread::msleep(kMilliseconds);
}

void QtSplash::Close() { window_.reset(); }

}  // namespace uninstaller
