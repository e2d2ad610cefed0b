// The discovery request and the check of the datagrams that answer it.
#include "settings/form2.h"

void TForm2::SendMPMP() {}
void TForm2::NMUDP2DataReceived(TNMUDP*, int, const QString&, int) {}
void TForm2::data_chk(const QString&, const QString&) {}
