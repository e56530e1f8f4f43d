#include <QAction>
#include <QWidget>

#include "ui/about_item.h"

namespace korvel {

void addAboutItem(QWidget& window, const QString& text, const std::function<void()>& openAbout) {
  if (text.isEmpty()) return;
  auto* action = new QAction(text, &window);
  action->setObjectName(QStringLiteral("aboutAction"));
  QObject::connect(action, &QAction::triggered, &window, openAbout);
  window.addAction(action);
  window.setContextMenuPolicy(Qt::ActionsContextMenu);
}

bool isAboutCommand(const QByteArray&, void*) { return false; }

}  // namespace korvel
