// Takes the picture of the loader window for the documentation: a simulated loader with a few
// stored blocks, the window opened on it as the program opens it, grabbed into a PNG file.
//   xvfb-run -a build/bin/loader-window-shot docs/loader-window.png
#include "fonts/FontFile.h"
#include "loader/BlockImage.h"
#include "loader/BlockStore.h"
#include "loader/LoaderLink.h"
#include "loaderui/LoaderWindow.h"
#include "loaderui/TableGrid.h"
#include "serial/Clock.h"
#include "serial/Serial.h"
#include "sim/BoardSim.h"
#include "tests/common/ScriptedDialogue.h"
#include "util/Dialogue.h"

#include <QApplication>
#include <QLineEdit>
#include <QPixmap>

#include <cstdio>
#include <memory>

// Under the sanitizers: the X11 platform plugin's D-Bus library keeps a buffer to the end.
extern "C" const char* __lsan_default_suppressions() { return "leak:libdbus-1.so"; }

namespace {
// What the loader link told the user, for the error output.
void PrintMessages(const ScriptedDialogue& console)
{
    for (const ShownBox& box : console.Messages)
        std::fprintf(stderr, "%s: %s\n", box.Caption.c_str(), box.Text.c_str());
}

struct StoredBlock {
    int32_t Index;
    const char* Name;
    int32_t FontSize;
};

// A formatted loader holding these blocks.
bool StoreBlocks(TLoaderLink& link, TFontSet& fonts, TBlockImage& image)
{
    const StoredBlock blocks[] = {
        {0, "Вокзал, табло прибытия", 0}, {1, "Перрон 2", 4096}, {4, "Касса, крупный шрифт", 11520}};
    if (!link.ConnectLoader(ConnectAttempts) || !FormatLoader(link)) return false;
    TMaybeProblem status;
    LoaderDirectory directory;
    if (!ReadDirectory(link, status, &directory) || status) return false;
    for (const StoredBlock& b : blocks) {
        fonts.FontSize = b.FontSize;
        fonts.FontCount = b.FontSize ? 2 : 0;
        fonts.FontBase = b.FontSize ? FontBaseAddress : 0;
        if (!BuildBlockImage(fonts, image)) return false;
        SetImageName(image, b.Name);
        if (!WriteBlock(link, image, b.Index, directory)) return false;
    }
    return true;
}
}   // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FILE.png\n", argv[0]);
        return 2;
    }
    Clock::SetScale(100);
    TBoardSim sim;
    if (!sim.Start()) {
        std::fprintf(stderr, "simulated board: %s\n", sim.ErrorText().c_str());
        return 1;
    }
    sim.SetClock(2005, 5, 11, 14, 30, 0);
    TLoaderLink link(sim.SlavePath());
    ScriptedDialogue console;
    link.OpenLoaderPort(console);
    PrintMessages(console);

    auto fonts = std::make_unique<TFontSet>();
    auto image = std::make_unique<TBlockImage>();
    bool ok = !link.LastFailure().has_value() && StoreBlocks(link, *fonts, *image);
    if (ok) {
        // The image the window would write: firmware without fonts.
        fonts->FontSize = fonts->FontCount = fonts->FontBase = 0;
        ok = BuildBlockImage(*fonts, *image);
    }
    if (ok) {
        TLoaderWindow window(link, *image);
        window.BlockNameEdit->setText(QString::fromUtf8("Вокзал, табло прибытия"));
        window.show();
        window.BlockGrid->SelectRow(2);
        QApplication::processEvents();
        ok = window.grab().save(QString::fromLocal8Bit(argv[1]), "PNG");
        if (!ok) std::fprintf(stderr, "cannot write %s\n", argv[1]);
    } else {
        std::fprintf(stderr, "the simulated loader could not be prepared\n");
    }
    link.CloseLoaderPort();
    sim.Stop();
    return ok ? 0 : 1;
}
