#include "settings/form2.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <utility>

#include "common/guard.h"
#include "common/local_text.h"
#include "net/nmudp.h"
#include "platform/system.h"
#include "settings/controls.h"
#include "settings/form_look.h"
#include "settings/paths.h"

TForm2* Form2 = nullptr;

namespace {

template <typename W>
W* place(W* w, const char* name, int left, int top, int width, int height) {
    w->setObjectName(QString::fromLatin1(name));
    w->setGeometry(left, top, width, height);
    return w;
}

TLabel* label(QWidget* page, const char* name, const char* caption, int left, int top) {
    auto* l = new TLabel(QString::fromLatin1(caption), page);
    l->setObjectName(QString::fromLatin1(name));
    l->move(left, top);
    return l;
}

QPushButton* button(QWidget* page, const char* name, const char* caption, int left, int top,
                    int width, int height) {
    return place(new QPushButton(QString::fromLatin1(caption), page), name, left, top, width,
                 height);
}

TEdit* edit(QWidget* page, const char* name, const char* text, int left, int top, int width,
            int height) {
    return place(new TEdit(page, QString::fromLatin1(text)), name, left, top, width, height);
}

}  // namespace

TForm2::TForm2(const QString& appName, const QString& versionText)
    // A tool window, so that showing it puts no button on the taskbar.
    : QWidget(nullptr, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::MSWindowsFixedSizeDialogHint |
                           Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                           Qt::WindowSystemMenuHint) {
    setObjectName(QStringLiteral("Form2"));
    setFont(vhb::settingsFormFont());
    vhb::centreOnFirstShow(this);

    buildNetworkPage();
    buildCpuPage();

    // Out of sight: the device search keeps its working texts here.
    Panel1 = place(new TPanel(this, QStringLiteral("Panel1"), TPanel::Lowered), "Panel1", 48, 304,
                   185, 41);
    Panel1->setText(QStringLiteral("Panel1"));
    Label6 = label(this, "Label6", "Label6", 56, 344);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(10000);
    // The device judges the gaps between heartbeats.
    Timer1->setTimerType(Qt::PreciseTimer);
    attachCpuWatch();  // with its sampling timer, Timer2
    Timer3 = new QTimer(this);
    Timer3->setObjectName(QStringLiteral("Timer3"));
    Timer3->setInterval(1000);

    NMUDP1 = new TNMUDP(this);
    NMUDP1->setObjectName(QStringLiteral("NMUDP1"));
    NMUDP1->setRemotePort(9100);
    NMUDP1->setLocalPort(9100);
    NMUDP1->setReportLevel(1);
    NMUDP2 = new TNMUDP(this);
    NMUDP2->setObjectName(QStringLiteral("NMUDP2"));
    NMUDP2->setRemotePort(0);
    NMUDP2->setLocalPort(0);
    NMUDP2->setReportLevel(1);

    OpenDialog1 = [this] {
        // One filter, labelled "application" alone: the pattern stays out of
        // its label, also in the system's own dialog.
        const QString filter = QStringLiteral("application (%1)")
                                   .arg(QString::fromLatin1(vhb::platform::programFilePattern()));
        QFileDialog::Options options = QFileDialog::HideNameFilterDetails;
        if (!vhb::platform::desktopFileDialog())
            options |= QFileDialog::DontUseNativeDialog;
        return QFileDialog::getOpenFileName(this, QString(), QString(), filter, nullptr, options);
    };
    LocalHostLookup = [] { return vhb::platform::lookupLocalHost(); };

    wireHandlers();

    // FormCreate
    setWindowTitle(appName + QLatin1Char(' ') + versionText);
    setFixedSize(Panel13->width(), Panel13->height());
}

TForm2::~TForm2() {
    // The process is ending: an error here (a late-bound function that cannot
    // be found) has nobody left to show it to, and must not abort the exit.
    try {
        FormDestroy();
    } catch (...) {
    }
}

void TForm2::buildNetworkPage() {
    Panel13 = place(new QWidget(this), "Panel13", 0, 0, 500, 280);
    QWidget* p = Panel13;
    Label8 = label(p, "Label8", "Heartbeats Status", 8, 16);
    Panel3 =
        place(new TPanel(p, QStringLiteral("Panel3"), TPanel::Lowered), "Panel3", 8, 32, 225, 25);
    Panel3->setColor(Qt::white);
    Label5 = label(p, "Label5", "CPU resource status", 240, 16);
    Panel6 =
        place(new TPanel(p, QStringLiteral("Panel6"), TPanel::Lowered), "Panel6", 240, 32, 161, 25);
    Panel6->setColor(Qt::white);
    BitBtn3 = button(p, "BitBtn3", "Start", 412, 8, 80, 25);
    BitBtn4 = button(p, "BitBtn4", "Stop", 412, 48, 80, 25);
    BitBtn4->setEnabled(false);
    Label9 = label(p, "Label9", "IP Address", 8, 96);
    ipEdit = edit(p, "ipEdit", "192.168.10.1", 8, 112, 97, 21);
    Label10 = label(p, "Label10", "Port", 112, 96);
    PortEdit = edit(p, "PortEdit", "9100", 112, 112, 57, 21);
    Label3 = label(p, "Label3", "Local Port", 176, 96);
    localPortEdit = edit(p, "localPortEdit", "9100", 176, 112, 57, 21);
    Label2 = label(p, "Label2", "Interval", 240, 96);
    IntervalEdit = edit(p, "IntervalEdit", "5", 240, 112, 57, 21);
    Label1 = label(p, "Label1", "sec", 304, 120);
    Label4 = label(p, "Label4", "Send code", 8, 136);
    Edit1 = place(new TCodeEdit(p, 7), "Edit1", 8, 152, 121, 21);
    Label14 = label(p, "Label14", "Start Wait Time", 240, 136);
    Edit7 = edit(p, "Edit7", "0", 240, 152, 57, 21);
    Label13 = label(p, "Label13", "sec", 304, 160);
    Panel4 =
        place(new TPanel(p, QStringLiteral("Panel4"), TPanel::Lowered), "Panel4", 328, 152, 65, 25);
    BitBtn8 = button(p, "BitBtn8", "CPU resource", 412, 146, 80, 25);
    BitBtn5 = button(p, "BitBtn5", "Close", 412, 194, 80, 25);
    BitBtn18 = button(p, "BitBtn18", "Exit", 412, 226, 80, 25);
    CheckBox1 = place(new QCheckBox(QStringLiteral("MAC Address"), p), "CheckBox1", 8, 200, 89, 17);
    ComboBox1 = place(new TComboBox(p), "ComboBox1", 96, 200, 145, 21);
    BitBtn2 = button(p, "BitBtn2", "search", 248, 200, 75, 25);
    BitBtn1 = button(p, "BitBtn1", "Add shortcut to startup", 16, 234, 185, 25);
    BitBtn1->setFont(vhb::shortcutButtonFont());

    // The declared tab order of the network page.
    QWidget* order[] = {BitBtn18, BitBtn3,   BitBtn4,      BitBtn5,       ipEdit,
                        PortEdit, BitBtn1,   IntervalEdit, localPortEdit, CheckBox1,
                        BitBtn2,  ComboBox1, Edit1,        BitBtn8,       Edit7};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
}

void TForm2::buildCpuPage() {
    // Laid outside the client area until "CPU resource" brings it over the
    // network page.
    Panel2 = place(new QWidget(this), "Panel2", 512, 0, 500, 280);
    Panel2->setAutoFillBackground(true);
    QWidget* p = Panel2;
    Edit2 = edit(p, "Edit2", "", 24, 16, 121, 21);
    BitBtn7 = button(p, "BitBtn7", "Open", 156, 16, 75, 25);
    Label11 = label(p, "Label11", "#0 - #10 task no.", 264, 24);
    Label7 = label(p, "Label7", "Counts", 24, 40);
    Edit3 = edit(p, "Edit3", "10", 24, 56, 41, 21);
    UpDown1 = place(new TUpDown(p, Edit3, 1, 9999), "UpDown1", 65, 56, 16, 21);
    UpDown1->setPosition(10);
    CheckBox2 = place(new QCheckBox(QStringLiteral("Auto Start Enabled"), p), "CheckBox2", 104, 56,
                      121, 17);
    CheckBox3 =
        place(new QCheckBox(QStringLiteral("Waiting for start"), p), "CheckBox3", 248, 56, 105, 17);
    BitBtn9 = button(p, "BitBtn9", "OK", 420, 232, 75, 25);
    QWidget* order[] = {Edit2, BitBtn7, Edit3, BitBtn9, CheckBox2, CheckBox3};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
}

// Every handler runs inside the guard: an error ends the handler, goes to
// the error box, and the window, its timers and its endpoints run on. The
// sampling timer is the application watch's, which guards its own handler.
void TForm2::wireHandlers() {
    const std::pair<QPushButton*, void (TForm2::*)()> clicks[] = {
        {BitBtn3, &TForm2::BitBtn3Click}, {BitBtn4, &TForm2::BitBtn4Click},
        {BitBtn8, &TForm2::BitBtn8Click}, {BitBtn9, &TForm2::BitBtn9Click},
        {BitBtn5, &TForm2::BitBtn5Click}, {BitBtn18, &TForm2::BitBtn18Click},
        {BitBtn7, &TForm2::BitBtn7Click}, {BitBtn2, &TForm2::BitBtn2Click},
        {BitBtn1, &TForm2::BitBtn1Click}};
    for (const auto& [button, handler] : clicks)
        connect(button, &QPushButton::clicked, this,
                vhb::guard([this, handler = handler] { (this->*handler)(); }));
    connect(Timer1, &QTimer::timeout, this, vhb::guard([this] {
                Timer1Timer();
                takeSampleWithHeartbeat();
            }));
    connect(Timer3, &QTimer::timeout, this, vhb::guard([this] { Timer3Timer(); }));
    NMUDP2->OnDataReceived = [this](TNMUDP* s, int n, const QString& ip, int port) {
        vhb::guarded([&] { NMUDP2DataReceived(s, n, ip, port); });
    };
}

std::array<QWidget*, 10> TForm2::lockedControls() const {
    return {ipEdit,    PortEdit, IntervalEdit, localPortEdit, ComboBox1,
            CheckBox1, BitBtn2,  Edit1,        Edit7,         BitBtn8};
}

bool TForm2::cpuPageShown() const {
    return Panel2->isVisible() && Panel2->x() == 0;
}

void TForm2::BitBtn8Click() {
    Panel2->move(0, Panel2->y());
    Panel2->show();
    Panel2->raise();
}

void TForm2::BitBtn9Click() {
    Panel6->setColor(Qt::white);
    Panel3->setText(QString());
    Panel2->hide();
}

void TForm2::BitBtn5Click() {
    hide();
}

void TForm2::BitBtn18Click() {
    if (MainWindow)
        MainWindow->closeMainWindow();
}

void TForm2::showSettings() {
    show();
    raise();
    // A tool window shows without taking the focus; the operator is meant to
    // type into it.
    activateWindow();
}

void TForm2::BitBtn7Click() {
    // The toolkit's dialog answers with "/" on every system; the name rule
    // splits at the system's own separators.
    const QString chosen = QDir::toNativeSeparators(OpenDialog1 ? OpenDialog1() : QString());
    if (chosen.isEmpty())
        return;
    // Split as UTF-8, so that no folder name outside the code page can
    // change where the name begins.
    Edit2->setText(QString::fromStdString(
        vhb::openDialogInstance(chosen.toStdString(), vhb::platform::pathSeparators())));
}

void TForm2::closeEvent(QCloseEvent* e) {
    // The close box only hides the window; the heartbeat runs on.
    e->accept();
    hide();
}
