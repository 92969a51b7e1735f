// Takes the picture of the station window for the documentation: a bench of eight slots in the
// states a shift shows at once (empty, a board just plugged in, two at work, passed, failed, pulled
// out mid-job), drawn from the views the station would give; no board is needed.
//   xvfb-run -a build/bin/station-window-shot docs/station-window.png
#include "firmware/Firmware.h"
#include "station/Station.h"
#include "station/StationFile.h"
#include "station/StationJob.h"
#include "stationui/StationWindow.h"
#include "widgets/Translation.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QPixmap>
#include <QTemporaryDir>

#include <cstdio>
#include <fstream>
#include <memory>

// Under the sanitizers: the X11 platform plugin's D-Bus library keeps a buffer to the end.
extern "C" const char* __lsan_default_suppressions() { return "leak:libdbus-1.so"; }

namespace {
constexpr const char* ReplugNote = "Плата не будет записана снова, пока её не извлекут и не вставят в гнездо.";

// The built-in image as a firmware file with the product's name, as a bench would have it.
std::string WriteFirmwareFile(const QTemporaryDir& folder)
{
    std::string path = QDir(folder.path()).filePath(QStringLiteral("tablo-3.00.bin")).toStdString();
    const TFirmware& firmware = EmbeddedFirmware();
    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(firmware.Fixed.data()),
               static_cast<std::streamsize>(firmware.Fixed.size()));
    file.write(reinterpret_cast<const char*>(firmware.Image.data()),
               static_cast<std::streamsize>(firmware.Image.size()));
    return path;
}

// A bench of two rows of four sockets, read as the station file's text would be.
TStationFile Bench(const std::string& firmware)
{
    std::string text = "[Job]\nFirmware=" + firmware + "\nLoaderBlock=1\nLoaderName=Табло 3.00\n[Slots]\n";
    const char* labels[] = {"A1", "A2", "A3", "A4", "B1", "B2", "B3", "B4"};
    for (int i = 0; i < 8; ++i)
        text += std::string(labels[i]) + "=/dev/serial/by-path/pci-0000:00:14.0-usb-0:" + std::to_string(1 + i / 4) +
                "." + std::to_string(1 + i % 4) + ":1.0-port0\n";
    TStationFile file;
    TStationFileError error;
    if (!ParseStationText(text, "/srv/flasher", file, error))
        std::fprintf(stderr, "the bench's station file: %d: %s\n", error.Line, error.Reason.c_str());
    file.Path = "/srv/flasher/участок-1.ini";
    return file;
}

TBoardRecord Record(TOutcome outcome, const char* end, double seconds, const std::string& text)
{
    TBoardRecord record;
    record.Outcome = outcome;
    record.StartUtc = record.EndUtc = std::string("2026-12-11T") + end + "Z";
    record.Seconds = seconds;
    record.Text = text;
    return record;
}

void ShowShift(TStationWindow& window)
{
    std::vector<TSlotView> views = window.Station().Slots();
    const std::string passed = "Программирование завершено!\nБлок №1 записан: «Табло 3.00».";
    // A1: empty again after a good board.
    views[0].Lines = TextLines(passed);
    views[0].HasResult = true;
    views[0].Last = Record(TOutcome::Done, "11:52:08", 9.4, passed);
    // A2: a board just plugged in, its port settling.
    views[1].State = TSlotState::Settling;
    // A3, A4: at work.
    views[2].State = TSlotState::Working;
    views[2].Step = "Программирование";
    views[2].Percent = 42;
    views[2].Rate = 1740;
    views[2].SecondsLeft = 3;
    views[3].State = TSlotState::Working;
    views[3].Step = "Сверка";
    views[3].Percent = 87;
    views[3].Rate = 1745;
    views[3].SecondsLeft = 1;
    views[3].HasResult = true;
    views[3].Last = Record(TOutcome::Done, "11:51:40", 9.2, passed);
    // B1: passed, still in its slot.
    views[4].State = TSlotState::Passed;
    views[4].Lines = TextLines(passed);
    views[4].HasResult = true;
    views[4].Last = Record(TOutcome::Done, "11:53:02", 9.3, passed);
    // B2: failed: the board's own verdict, then what the station does with it.
    std::string failed = std::string("Программирование было выполнено с ошибками!\n") + ReplugNote;
    views[5].State = TSlotState::Failed;
    views[5].Lines = TextLines(failed);
    views[5].HasResult = true;
    views[5].Last = Record(TOutcome::BoardBad, "11:52:47", 9.6, failed);
    // B3: pulled out while it was written.
    std::string pulled =
        "Плата извлечена во время работы: Программирование, 63%.\n"
        "Если запись программы уже началась, табло осталось без рабочей программы: вставьте плату снова.";
    views[6].State = TSlotState::Failed;
    views[6].Lines = TextLines(pulled);
    views[6].HasResult = true;
    views[6].Last = Record(TOutcome::LinkLost, "11:53:10", 6.1, pulled);
    // B4: no board yet.
    for (size_t slot = 0; slot < views.size(); ++slot) window.ShowSlot(slot, views[slot]);

    TStationCounters counters;
    counters.Passed = 57;
    counters.Failed = 3;
    counters.ShiftSeconds = 5400;
    window.ShowCounters(counters);
}
}   // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    InstallQtTranslation(app);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FILE.png\n", argv[0]);
        return 2;
    }
    QTemporaryDir folder;
    TStationFile file = Bench(WriteFirmwareFile(folder));
    auto job = std::make_unique<TStationJob>();
    if (std::string refused = job->Load(file.Job); !refused.empty()) {
        std::fprintf(stderr, "the job was refused: %s\n", refused.c_str());
        return 1;
    }
    TStationWindow window(std::move(file), std::move(job));
    window.show();
    ShowShift(window);
    window.StatusLabel->setText(QString::fromUtf8("Станция работает: вставляйте платы в гнёзда."));
    QApplication::processEvents();
    bool ok = window.grab().save(QString::fromLocal8Bit(argv[1]), "PNG");
    if (!ok) std::fprintf(stderr, "cannot write %s\n", argv[1]);
    return ok ? 0 : 1;
}
