// The discovery request and the check of the datagrams that answer it.
#include <QBuffer>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

#include "common/user_locale.h"
#include "heartbeat/discovery.h"
#include "net/local_octets.h"
#include "net/nmudp.h"
#include "settings/controls.h"
#include "settings/form2.h"

namespace {

// The endpoint's receive buffer; a larger count is no datagram length.
constexpr int kLargestDatagram = 2048;
// Far more than any real search finds, and a flood of replies cannot grow
// the list without end: further replies are not listed.
constexpr int kMostListedReplies = 1000;

}  // namespace

void TForm2::SendMPMP() {
    const auto request = vhb::buildDiscoveryRequest(vhb::LocalOctets);
    NMUDP2->setRemoteHost(QString::fromStdString(vhb::broadcastAddressText(vhb::LocalOctets)));
    NMUDP2->setReportLevel(2);
    NMUDP2->setRemotePort(vhb::kDiscoveryPort);
    NMUDP2->setLocalPort(vhb::kDiscoveryLocalPort);
    NMUDP2->SendBytes(QByteArray(reinterpret_cast<const char*>(request.data()),
                                 static_cast<qsizetype>(request.size())),
                      vhb::kDiscoveryRequestLength);
}

void TForm2::NMUDP2DataReceived(TNMUDP*, int NumberBytes, const QString& FromIP, int) {
    // -1 is the endpoint's report of a datagram too long for its buffer.
    if (NumberBytes < 0 || NumberBytes > kLargestDatagram)
        return;
    QBuffer stream;
    stream.open(QIODevice::ReadWrite);
    NMUDP2->CopyLastDatagram(stream);
    const QByteArray bytes = stream.read(NumberBytes);
    const std::string hex = vhb::hexText(reinterpret_cast<const uint8_t*>(bytes.constData()),
                                         static_cast<size_t>(bytes.size()));
    data_chk(FromIP, QString::fromLatin1(hex.data(), static_cast<qsizetype>(hex.size())));
}

void TForm2::data_chk(const QString& FromIP, const QString& hexText) {
    const vhb::ReplyCheck reply = vhb::checkReply(hexText.toLatin1().toStdString());
    if (!reply.isReply)
        return;
    const QString mac = QString::fromLatin1(reply.mac);
    // The combo box is enabled exactly while the heartbeat is stopped.
    if (ComboBox1->isEnabled()) {
        // Adding to an empty list would make the new item the chosen text;
        // the chosen address changes only by the operator's hand.
        if (ComboBox1->count() < kMostListedReplies) {
            const QString chosen = ComboBox1->currentText();
            ComboBox1->addItem(mac);
            if (ComboBox1->currentText() != chosen)
                ComboBox1->setEditText(chosen);
        }
        Panel6->setText(QStringLiteral("search results : ") + QString::number(ComboBox1->count()));
    } else if (CheckBox1->isChecked() && ComboBox1->currentText() == mac) {
        // The heartbeat follows the device to its new address from the next send.
        ipEdit->setText(FromIP);
        Panel6->setText(vhb::timestampText());
    }
}
