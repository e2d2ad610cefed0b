// The processor-time watch of one application.
#include "settings/form2.h"

void TForm2::CPUresourceStart() {}
void TForm2::Timer2Timer() {}
void TForm2::cpu_chk(int) {}
void TForm2::FormDestroy() {}
