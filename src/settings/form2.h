#pragma once
// The settings window: the operator's one working window. Its controls are
// the live settings (there is no second copy); the heartbeat, the device
// search and the processor-time watch act on them. Each subsystem keeps its
// handlers in its own folder (heartbeat/, net/, cpumon/, settings/).
#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>

#include "platform/hostaddr.h"
#include "settings/controls.h"  // the edit boxes are read and written everywhere
#include "settings/heartbeat_settings.h"
#include "settings/window_link.h"

class QCheckBox;
class QPushButton;
class QTimer;
class TCpuWatch;
class TNMUDP;

class TForm2 : public QWidget, public vhb::SettingsWindowLink {
    Q_OBJECT
public:
    // The caption comes from the main window's AppName and VersionText.
    TForm2(const QString& appName, const QString& versionText);
    ~TForm2() override;  // FormDestroy

    // --- network page ---
    QWidget* Panel13;
    TLabel* Label8;
    TPanel* Panel3;  // heartbeat status line
    TLabel* Label5;
    TPanel* Panel6;        // processor-time status and search results
    QPushButton* BitBtn3;  // "Start"
    QPushButton* BitBtn4;  // "Stop"
    TLabel* Label9;
    TEdit* ipEdit;
    TLabel* Label10;
    TEdit* PortEdit;
    TLabel* Label3;
    TEdit* localPortEdit;
    TLabel* Label2;
    TEdit* IntervalEdit;
    TLabel* Label1;
    TLabel* Label4;
    TCodeEdit* Edit1;  // send code
    TLabel* Label14;
    TEdit* Edit7;  // start wait
    TLabel* Label13;
    TPanel* Panel4;         // start wait countdown
    QPushButton* BitBtn8;   // "CPU resource"
    QPushButton* BitBtn5;   // "Close"
    QPushButton* BitBtn18;  // "Exit"
    QCheckBox* CheckBox1;   // "MAC Address"
    TComboBox* ComboBox1;   // MAC addresses found; its text is the chosen one
    QPushButton* BitBtn2;   // "search"
    QPushButton* BitBtn1;   // "Add shortcut to startup"
    // --- CPU page ---
    QWidget* Panel2;
    TEdit* Edit2;          // process instance to watch
    QPushButton* BitBtn7;  // "Open"
    TLabel* Label11;
    TLabel* Label7;
    TEdit* Edit3;          // shows UpDown1's position
    TUpDown* UpDown1;      // "Counts"
    QCheckBox* CheckBox2;  // "Auto Start Enabled"
    QCheckBox* CheckBox3;  // "Waiting for start"
    QPushButton* BitBtn9;  // "OK"
    // --- outside the visible area ---
    TPanel* Panel1;
    TLabel* Label6;
    // --- components without a face ---
    QTimer* Timer1;  // heartbeat
    QTimer* Timer2;  // processor-time sampling: the application watch's own
    QTimer* Timer3;  // start wait countdown
    TNMUDP* NMUDP1;  // sends the heartbeat
    TNMUDP* NMUDP2;  // discovery request and replies
    // The open dialog: gives the chosen file's path, or an empty text when
    // the operator cancels. Replaceable so that tests need no dialog.
    std::function<QString()> OpenDialog1;
    // Where the device search learns the local address; replaceable so that
    // tests give a loopback address instead of the host's.
    std::function<std::optional<vhb::platform::LocalHost>()> LocalHostLookup;

    // The application watch (cpumon/cpu_watch.h): its query, its sampling
    // and its judgement's state.
    TCpuWatch* CpuWatch;
    // The program's main window, which the program's entry joins to this one.
    vhb::MainWindowLink* MainWindow = nullptr;

    // --- the heartbeat's state; the application watch sets the hold ---
    int32_t StartWaitCount = 0;
    bool HoldHeartbeat = false;

    // --- settings (settings/settings_form.cpp) ---
    void IniLoad();  // reads the settings file into the controls
    void IniSave();  // writes all twelve keys from the controls; throws
    vhb::HeartbeatSettings currentSettings() const;
    void applySettings(const vhb::HeartbeatSettings& s);
    static QString settingsFilePath();

    // --- what the main window asks of this one (vhb::SettingsWindowLink) ---
    QString loadSettings() override;
    void startHeartbeat() override;
    void showSettings() override;
    void saveSettings() override;

    // --- window (settings/form2.cpp) ---
    void BitBtn8Click();   // "CPU resource"
    void BitBtn9Click();   // "OK"
    void BitBtn5Click();   // "Close"
    void BitBtn18Click();  // "Exit"
    void BitBtn7Click();   // "Open"
    bool cpuPageShown() const;
    // The controls that feed the heartbeat, locked while it runs, in the
    // order Start locks them ("Start" and "Stop" swap beside them).
    std::array<QWidget*, 10> lockedControls() const;

    // --- heartbeat (heartbeat/sender.cpp) ---
    void BitBtn3Click();  // "Start"
    void HbStart();
    void BitBtn4Click();  // "Stop"
    void Timer1Timer();
    void Timer3Timer();
    void SendData();

    // --- discovery (heartbeat/discovery_form.cpp, net/search_form.cpp) ---
    void SendMPMP();
    void NMUDP2DataReceived(TNMUDP* Sender, int NumberBytes, const QString& FromIP, int Port);
    void data_chk(const QString& FromIP, const QString& hexText);
    void searche();
    void BitBtn2Click();  // "search"

    // --- processor-time watch (cpumon/sampling_form.cpp), forwarded to CpuWatch ---
    void CPUresourceStart();
    void Timer2Timer();
    void takeSampleWithHeartbeat();  // after each heartbeat tick
    void cpu_chk(int sample);
    void FormDestroy();

    // --- startup shortcut (settings/shortcut_form.cpp) ---
    void BitBtn1Click();

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    void buildNetworkPage();
    void buildCpuPage();
    void wireHandlers();
    void attachCpuWatch();
};

// The one settings window of the process.
extern TForm2* Form2;
