#include "app/qt_korvel_app.h"

int main(int argc, char** argv) {
  korvel::QtKorvelApp app(argc, argv);
  return app.run();
}
