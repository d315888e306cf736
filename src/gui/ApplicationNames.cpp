#include "gui/ApplicationNames.h"

#include <QGuiApplication>

namespace rw {

void SetApplicationNames() {
  QGuiApplication::setOrganizationName("Kestrova");
  QGuiApplication::setApplicationName("reelwright");
  QGuiApplication::setDesktopFileName("reelwright");
}

}  // namespace rw
