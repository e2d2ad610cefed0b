// "Add shortcut to startup".
#include "settings/form2.h"

void TForm2::BitBtn1Click() {}
