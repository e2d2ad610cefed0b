// The device search: the local address, then the discovery request.
#include "settings/form2.h"

void TForm2::searche() {}
void TForm2::BitBtn2Click() {}
