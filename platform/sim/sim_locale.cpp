#include "platform/sim/sim_locale.h"

namespace zr::sim {

SimLocale::SimLocale()
    : supportedLocales{
          {"0409", "English (United States)", true},
          {"0809", "English (United Kingdom)", true},
          {"0804", "Chinese (Simplified, China)", true},
          {"0404", "Chinese (Traditional, Taiwan)", true},
          {"0407", "German (Germany)", true},
          {"040C", "French (France)", true},
          {"0411", "Japanese (Japan)", true},
          {"0412", "Korean (Korea)", true},
      } {}

}  // namespace zr::sim
