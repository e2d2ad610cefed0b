// The device search: the local address, then the discovery request.
#include <QComboBox>

#include "common/local_text.h"
#include "heartbeat/discovery.h"
#include "net/local_address.h"
#include "net/local_octets.h"
#include "net/nmudp.h"
#include "settings/controls.h"
#include "settings/form2.h"

void TForm2::searche() {
    // Bound before the request leaves, so that the replies find the socket.
    NMUDP2->setLocalPort(vhb::kDiscoveryLocalPort);
    const auto host = LocalHostLookup ? LocalHostLookup() : std::nullopt;
    // No local address: no request, and the octets keep their last values;
    // the operator sees no reply, as after any other refusal of the network.
    if (!host || host->addresses.empty())
        return;
    Panel1->setText(vhb::textFromLocal8(host->officialName));
    // The first address unless only another one shares the device's subnet.
    const size_t chosen =
        vhb::chooseLocalAddress(host->addresses, vhb::local8FromText(ipEdit->text()));
    Label6->setText(vhb::textFromLocal8(host->addresses.at(chosen)));
    vhb::LocalOctets = vhb::splitOctets(vhb::local8FromText(Label6->text()));
    SendMPMP();
}

void TForm2::BitBtn2Click() {
    // Emptying the list must not change the chosen address in the text.
    const QString chosen = ComboBox1->currentText();
    ComboBox1->clear();
    ComboBox1->setEditText(chosen);
    searche();
}
