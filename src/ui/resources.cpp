#include "ui/resources.h"

#include <QIcon>

// Q_INIT_RESOURCE must be used outside any namespace.
static void registerKorvelResources() { Q_INIT_RESOURCE(korvel); }

namespace korvel {

void initUiResources() {
  static const bool registered = (registerKorvelResources(), true);
  (void)registered;
}

QIcon applicationIcon() {
  initUiResources();
  QIcon icon;
  for (const int size : {16, 32, 48}) {
    icon.addFile(QStringLiteral(":/korvel/icons/korvel-%1.png").arg(size), QSize(size, size));
  }
  return icon;
}

}  // namespace korvel
