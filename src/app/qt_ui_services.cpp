#include "qt_ui_services.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QGuiApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QProcess>
#include <QScreen>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QWidget>
#include <cstdio>

namespace tarnwick {

namespace {

QString FromUtf8(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

MessageAnswer QtUiServices::MessageBox(const std::string& text, MessageButtons buttons,
                                       const std::string& title) {
  QMessageBox::StandardButtons shown = QMessageBox::Ok;
  QMessageBox::StandardButton defaultButton = QMessageBox::Ok;
  QMessageBox::Icon icon = QMessageBox::Information;
  switch (buttons) {
    case MessageButtons::Ok:
      break;
    case MessageButtons::OkCancel:
      shown = QMessageBox::Ok | QMessageBox::Cancel;
      break;
    case MessageButtons::YesNo:
      shown = QMessageBox::Yes | QMessageBox::No;
      defaultButton = QMessageBox::No;
      icon = QMessageBox::Question;
      break;
  }
  QMessageBox box(icon, FromUtf8(title), FromUtf8(text), shown);
  // The text may hold a service's or a mail server's words: never markup.
  box.setTextFormat(Qt::PlainText);
  box.setDefaultButton(defaultButton);
  // The box runs an event loop of its own until somebody answers it, which may be never: the
  // window takes the model's state first, its timers included, so that a handler that switched
  // monitoring on before asking (a failed login) has its cycle running while the box waits.
  if (beforeEvents_) beforeEvents_();
  switch (box.exec()) {
    case QMessageBox::Ok:
      return MessageAnswer::Ok;
    case QMessageBox::Cancel:
      return MessageAnswer::Cancel;
    case QMessageBox::Yes:
      return MessageAnswer::Yes;
    case QMessageBox::No:
      return MessageAnswer::No;
    default:
      // Escape or the title bar's close button.
      return buttons == MessageButtons::Ok         ? MessageAnswer::Ok
             : buttons == MessageButtons::OkCancel ? MessageAnswer::Cancel
                                                   : MessageAnswer::No;
  }
}

void QtUiServices::DoEvents() {
  if (beforeEvents_) beforeEvents_();
  QCoreApplication::processEvents();
}

void QtUiServices::ShowNow() {
  if (beforeEvents_) beforeEvents_();
  // Painting here, not in the event loop: the caller goes on working before it returns there.
  // A minimised window shows nothing to paint (Qt counts it as visible all the same).
  for (QWidget* window : QApplication::topLevelWidgets()) {
    if (window->isVisible() && !window->isMinimized()) window->repaint();
  }
}

void QtUiServices::OpenWithViewer(const std::string& path) {
  QProcess::startDetached(QStringLiteral("xdg-open"), QStringList{FromUtf8(path)});
}

std::optional<std::string> QtUiServices::PickFile(const FilePickRequest& request) {
  const QString filter =
      FromUtf8(request.filterDescription) + " (" + FromUtf8(request.filterPattern) + ")";
  const QString picked = QFileDialog::getOpenFileName(nullptr, FromUtf8(request.title),
                                                      FromUtf8(request.initialFolder), filter);
  if (picked.isEmpty()) return std::nullopt;
  return picked.toStdString();
}

std::optional<std::string> QtUiServices::PickSaveFile(const FilePickRequest& request) {
  const QString filter =
      FromUtf8(request.filterDescription) + " (" + FromUtf8(request.filterPattern) + ")";
  const QString proposed = request.initialFolder.empty() ? FromUtf8(request.initialName)
                                                         : FromUtf8(request.initialFolder) + "/" +
                                                               FromUtf8(request.initialName);
  const QString picked =
      QFileDialog::getSaveFileName(nullptr, FromUtf8(request.title), proposed, filter);
  if (picked.isEmpty()) return std::nullopt;
  return picked.toStdString();
}

ScreenSize QtUiServices::Screen() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) return {};
  const QSize size = screen->size();
  return {size.width(), size.height()};
}

std::optional<std::string> QtUiServices::InputBox(const std::string& prompt,
                                                  const std::string& title,
                                                  const std::string& defaultText) {
  bool ok = false;
  const QString text = QInputDialog::getText(nullptr, FromUtf8(title), FromUtf8(prompt),
                                             QLineEdit::Normal, FromUtf8(defaultText), &ok);
  if (!ok) return std::nullopt;
  return text.toStdString();
}

void QtUiServices::OpenUrl(const std::string& url) {
  QDesktopServices::openUrl(QUrl(FromUtf8(url)));
}

}  // namespace tarnwick
