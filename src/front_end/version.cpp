#include "tolu/version.h"

namespace tolu {

std::string_view version() {
  return TOLU_VERSION_STRING;
}

}  // namespace tolu
