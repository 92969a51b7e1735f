// flasher: the window program. Start-up and shut-down run in a fixed order: the settings before
// anything else, then the delay calibration, the board link, the loader link and the window last;
// at the end the reverse, with the settings written after the window has stored its state in them.
#include "app/MainWindow.h"
#include "app/SettingsSave.h"
#include "board/BoardLink.h"
#include "firmware/Firmware.h"
#include "loader/LoaderLink.h"
#include "serial/Delay.h"
#include "station/StationJob.h"
#include "stationui/StationWindow.h"
#include "util/Settings.h"
#include "widgets/Translation.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {
struct TOptions {
    std::string Port;             // --port DEV: a device the port list does not hold, for this run
    std::string Screenshot;       // --screenshot FILE (undocumented): grab the window, save it, quit
    std::string Firmware;         // --firmware FILE: the firmware file to send instead of the built-in one
    bool QuitWhenShown = false;   // --quit-when-shown (undocumented): say "shown" and quit (a benchmark)
    std::string Station;          // --station FILE: the station window on this station file instead
    bool Help = false;
    bool Bad = false;
};

const char* const Usage =
    "Usage: flasher [--port DEV] [--firmware FILE]\n"
    "       flasher --station FILE\n"
    "Service tool for LED display boards on a serial port.\n"
    "  --port DEV   add the serial device DEV (e.g. the pseudo-terminal of board-sim) to the\n"
    "               port list and select it for this run; it is not saved as the chosen port\n"
    "  --firmware FILE  send this 9747-byte firmware file (19-byte fixed block, 9728-byte image)\n"
    "               instead of the firmware built into the program\n"
    "  --station FILE  open the production station of FILE (its job and slots, see\n"
    "               flasher-cli(1)) in its window: every board plugged into a slot is programmed\n"
    "  -h, --help   show this text\n";

// Takes our options out of argv; everything else is left to Qt (-platform, -style ...).
TOptions TakeOptions(int& argc, char** argv)
{
    TOptions options;
    std::vector<char*> rest{argv[0]};
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto value = [&](const char* name, std::string& into) {
            std::string prefix = std::string(name) + "=";
            if (arg == name) {
                if (i + 1 < argc) into = argv[++i];
                else options.Bad = true;
                return true;
            }
            if (arg.starts_with(prefix)) {
                into = arg.substr(prefix.size());
                return true;
            }
            return false;
        };
        if (value("--port", options.Port) || value("--screenshot", options.Screenshot) ||
            value("--firmware", options.Firmware) || value("--station", options.Station))
            continue;
        if (arg == "-h" || arg == "--help") options.Help = true;
        else if (arg == "--quit-when-shown") options.QuitWhenShown = true;
        else rest.push_back(argv[i]);
    }
    argc = static_cast<int>(rest.size());
    for (int i = 0; i < argc; ++i) argv[i] = rest[static_cast<size_t>(i)];
    argv[argc] = nullptr;
    return options;
}

// The window as it looks, into a file, then the normal end of the program.
void ScheduleScreenshot(QWidget& form, const std::string& file)
{
    QTimer::singleShot(300, &form, [&form, file] {
        if (!form.grab().save(QString::fromStdString(file)))
            std::fprintf(stderr, "flasher: cannot write %s\n", file.c_str());
        form.close();
    });
}

int RunWindow(QApplication& app, const TOptions& options, const TFirmware& firmware, TSettings& settings)
{
    // Declared in start-up order, so they end in the reverse: window, loader link, board link.
    TBoardLink board;
    TLoaderLink loader;
    TMainWindow form(board, loader, settings, firmware, options.Port);
    form.show();
    if (!options.Screenshot.empty()) ScheduleScreenshot(form, options.Screenshot);
    // Once the loop has handled the show and its first paint: a line for the benchmark, then out.
    if (options.QuitWhenShown)
        QTimer::singleShot(0, &form, [&form] {
            std::puts("shown");
            std::fflush(stdout);
            form.close();
        });
    int status = app.exec();
    form.close();   // stores the window's state if the loop ended some other way
    return status;
}

// The station window alone: the station file and its job are read first, as flasher-cli reads
// them, and a refusal ends the program with flasher-cli's status (64: the file, 4: the job).
int RunStation(const TOptions& options)
{
    TStationFile file;
    auto job = std::make_unique<TStationJob>();
    TStationRefusal refusal;
    if (!LoadStation(options.Station, file, *job, refusal)) {
        std::fprintf(stderr, "flasher: %s\n", refusal.Text.c_str());
        return refusal.BadFile ? 64 : 4;
    }
    TStationWindow window(std::move(file), std::move(job));
    if (!window.StartStation()) return 1;
    if (!options.Screenshot.empty()) ScheduleScreenshot(window, options.Screenshot);
    window.exec();   // until the window is closed: the station stopped, asked first while boards work
    return 0;
}
}   // namespace

int main(int argc, char** argv)
{
    TOptions options = TakeOptions(argc, argv);
    if (options.Help || options.Bad) {
        std::fputs(Usage, options.Bad ? stderr : stdout);
        return options.Bad ? 2 : 0;
    }

    // A firmware file is checked before anything else is done, as the build option checks it.
    TFirmware firmware = EmbeddedFirmware();
    if (!options.Firmware.empty()) {
        if (TMaybeProblem problem = ReadFirmwareFile(options.Firmware, firmware)) {
            std::fprintf(stderr, "flasher: файл прошивки %s не подходит: %s\n", options.Firmware.c_str(),
                         problem->Reason().c_str());
            return 4;
        }
    }

    if (!options.Station.empty()) {
        QApplication app(argc, argv);
        InstallQtTranslation(app);
        return RunStation(options);
    }

    const std::string settingsPath = DefaultSettingsPath();
    TSettings settings;
    LoadSettings(settings, settingsPath);
    CalibrateDelay();
    // Outlives the window and the links, so that a failed save of the settings can be told in a box.
    QApplication app(argc, argv);
    InstallQtTranslation(app);

    int status = RunWindow(app, options, firmware, settings);

    // A screenshot or benchmark run has nobody at the screen to close a box.
    SaveSettings(settings, settingsPath, options.Screenshot.empty() && !options.QuitWhenShown);
    return status;
}
