#include "app/korvel_app.h"

int main(int argc, char** argv) {
  korvel::CKorvelApp app(argc, argv);
  return app.run();
}
