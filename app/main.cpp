// Zelmar.exe: plans the carrier frequencies of up to twelve wireless
// microphones in one modal dialog.
#include <windows.h>

#include "freq_check_app.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  CFreqCheckApp app(instance);
  return app.Run();
}
