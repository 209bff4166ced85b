#include "designtime/DesignRig.h"

#include <cstdlib>

namespace design {

LANGID ExpectedPrimaryLanguage() {
  const char* expected = std::getenv("LM_EXPECT_PRIMARY_LANGUAGE");
  return expected ? static_cast<LANGID>(std::atoi(expected)) : LANG_ENGLISH;
}

}  // namespace design
