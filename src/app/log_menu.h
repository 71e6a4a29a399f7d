// The Log menu's commands that open a window of their own (History, Processes).
#pragma once

#include <QAction>
#include <QMenu>
#include <QString>
#include <string_view>

#include "main_window.h"

namespace tarnwick {

// Adds the command `caption` (named `objectName`) to the Log menu of `window`: it shows `model`
// and renders `view` over it. The connection ends with `view`.
template <class Model, class View>
QAction* AddLogMenuWindow(MainWindow& window, std::string_view caption, const QString& objectName,
                          Model& model, View& view) {
  QAction* action = window.form().logMenu->addAction(QString::fromUtf8(caption));
  action->setObjectName(objectName);
  QObject::connect(action, &QAction::triggered, &view, [&window, &model, &view] {
    // The program's icon, as the main window shows it (running or stopped).
    view.setWindowIcon(window.windowIcon());
    model.Show();
    view.Render();
  });
  return action;
}

}  // namespace tarnwick
