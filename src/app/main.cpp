// Program entry: bring the application up, create the hidden main window and
// then the settings window, and run the event loop until a confirmed exit.
#include "app/application.h"
#include "app/hb_main.h"
#include "app/single_instance.h"
#include "settings/form2.h"

int main(int argc, char** argv) {
    TApplication app(argc, argv);

    SingleInstance instance(TForm2::settingsFilePath());
    if (!instance.acquire())
        return 0;

    hb_main = new Thb_main;
    Form2 = new TForm2(hb_main->AppName, hb_main->VersionText);
    hb_main->SettingsWindow = Form2;
    Form2->MainWindow = hb_main;
    instance.onShowRequested = [] { hb_main->test1Click(); };

    const int rc = app.exec();

    delete Form2;
    Form2 = nullptr;
    delete hb_main;
    hb_main = nullptr;
    return rc;
}
