// loader list/write/erase/format/clock/dump: the loader window's buttons, each after its refresh.
#include "cli/CliCommon.h"
#include "cli/TerminalDialogue.h"
#include "fonts/fntUnit.h"
#include "loader/BlockImage.h"
#include "loader/LoaderLink.h"
#include "loader/LoaderSession.h"
#include "serial/Serial.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>

namespace {
struct LoaderOptions {
    std::string Port;
    int32_t Block = 0;       // 1..8 as the window shows them
    bool All = false;
    std::string Name;
    std::string Fonts;
    std::string Image;
    std::string Out;
    bool Sync = false;
};

// The loader window on a terminal: its list and buttons need no drawing until the end.
class TerminalLoaderView : public TLoaderView {
public:
    explicit TerminalLoaderView(bool assumeYes) : terminal_(assumeYes, [] { return LoaderPort->ErrorText; }) {}
    int32_t ShowMessage(const std::string& caption, const std::string& text, uint32_t flags) override
    {
        return terminal_.ShowMessage(caption, text, flags);
    }
    void SetStatus(const std::string& text) override { terminal_.SetStatus(text); }
    void ShowProgress(int32_t percent) override { terminal_.ShowProgress(percent); }
    void SetClock(const std::string& text) override { terminal_.SetClock(text); }
    void FillBlockList() override {}
    void UpdateButtons() override {}
    const TerminalDialogue& Terminal() const { return terminal_; }

private:
    TerminalDialogue terminal_;
};

// Columns line up on a terminal by characters, not bytes.
int DisplayWidth(const std::string& utf8)
{
    int width = 0;
    for (unsigned char c : utf8) width += (c & 0xC0) != 0x80;
    return width;
}

TOutcome OutcomeOf(TLoaderOutcome outcome)
{
    switch (outcome) {
    case TLoaderOutcome::Done: return TOutcome::Done;
    case TLoaderOutcome::Declined: return TOutcome::Declined;
    default: return TOutcome::LinkLost;
    }
}

void PrintBlockList(const TLoaderSession& session)
{
    auto printRow = [](const std::string& number, const std::string& name, const std::string& size) {
        std::printf("%-3s %s%*s %s\n", number.c_str(), name.c_str(), std::max(0, 40 - DisplayWidth(name)), "",
                    size.c_str());
    };
    printRow("No", "Название", "Размер");
    for (int32_t row = 1; row <= BlockCount; ++row) {
        auto cells = session.BlockRowTexts(row);
        printRow(cells[0], cells[1], cells[2]);
    }
}

bool ReadImageFile(const std::string& path, TBlockImage& image)
{
    std::ifstream in(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), {});
    if (!in.good() && !in.eof()) return false;
    if (bytes.size() != image.size()) return false;
    std::copy(bytes.begin(), bytes.end(), image.begin());
    return ImageFitsBlockArea(image);
}

// Written beside the target and renamed over it, so a failed dump never leaves half a file.
bool WriteImageFile(const std::string& path, const TBlockImage& image)
{
    std::string temp = path + ".tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
        if (!out.flush()) return false;
    }
    return std::rename(temp.c_str(), path.c_str()) == 0;
}

// The stored block's header and valid segments, as WriteBlock would write them, at their offsets.
bool DumpBlock(const TLoaderSession& session, int32_t index, TBlockImage& image)
{
    image.fill(0xFF);
    const BlockHeader& header = session.Blocks[index].Header;
    std::copy(header.Bytes.begin(), header.Bytes.end(), image.begin());
    uint32_t base = session.Directory.BlockSlot(index) & 0xFFFFFF;
    if (!ConnectLoader(ConnectAttempts)) return false;
    for (const SegmentDescriptor& s : SegmentsToWrite(header))
        if (s.FitsBlockArea() && !ReadFlash(base + s.Offset, s.Size, image.data() + s.Offset)) return false;
    return true;
}

// Opens the loader port, refreshes as the window does when it opens, runs `operation` on a session
// whose refresh read the directory and the headers, closes the port.
using LoaderOperation = std::function<TOutcome(TerminalLoaderView&, TLoaderSession&)>;
int RunLoader(const GlobalOptions& options, const LoaderOptions& loader, TBlockImage& image,
              const LoaderOperation& operation)
{
    return RunWithLinks(options, loader.Port, [&] {
        TerminalLoaderView view(options.Yes);
        OpenLoaderPort(view);
        if (LoaderPort->Error) {
            CloseLoaderPort();
            return TOutcome::PortFailed;
        }
        TLoaderSession session(view, image);
        session.Shown = true;
        session.RefreshAll();
        // A refresh that did not read the store was either declined (format question) or failed.
        TOutcome outcome = session.CanChangeBlocks() ? operation(view, session)
                           : view.Terminal().Declined() ? TOutcome::Declined : TOutcome::LinkLost;
        CloseLoaderPort();
        return Finish(view.Terminal(), outcome);
    });
}

// The image `loader write` stores: a dumped image file, or the firmware with optional fonts.
TOutcome PrepareImage(const GlobalOptions& options, const LoaderOptions& o, TBlockImage& image)
{
    TerminalDialogue ui(options.Yes, nullptr);
    if (!o.Image.empty()) {
        if (ReadImageFile(o.Image, image)) return TOutcome::Done;
        ui.ShowMessage("Ошибка!", "Файл образа не подходит: " + o.Image, MbError);
        return TOutcome::FileRefused;
    }
    auto fonts = std::make_unique<TFontSet>();
    if (!o.Fonts.empty() && !PrepareFonts(*fonts, o.Fonts, ui)) return TOutcome::FileRefused;
    BuildBlockImage(*fonts, image);
    return TOutcome::Done;
}

void BuildPlainImage(TBlockImage& image) { BuildBlockImage(*std::make_unique<TFontSet>(), image); }

CLI::App* AddLoaderCommand(CLI::App& loader, const char* name, const char* help, LoaderOptions& o)
{
    CLI::App* command = loader.add_subcommand(name, help);
    AddPortOption(*command, o.Port);
    return command;
}

CLI::Option* AddBlockOption(CLI::App& command, LoaderOptions& o)
{
    return command.add_option("-b,--block", o.Block, "Block number, 1..8")->check(CLI::Range(1, BlockCount));
}
} // namespace

void SetupLoaderCommands(CLI::App& app, const GlobalOptions& options, int& status)
{
    auto o = std::make_shared<LoaderOptions>();
    auto image = std::make_shared<TBlockImage>();
    CLI::App* loader = app.add_subcommand("loader", "Work with the loader's eight data blocks and its clock");
    loader->require_subcommand(1);

    AddLoaderCommand(*loader, "list", "List the eight blocks and the clock", *o)->callback([&options, &status, o, image] {
        BuildPlainImage(*image);
        status = RunLoader(options, *o, *image, [](TerminalLoaderView&, TLoaderSession& session) {
            PrintBlockList(session);
            return TOutcome::Done;
        });
    });

    CLI::App* write = AddLoaderCommand(*loader, "write", "Write the firmware (and fonts) or a dumped image into a block", *o);
    AddBlockOption(*write, *o)->required();
    write->add_option("--name", o->Name, "Name stored with the block (63 characters at most)");
    auto* fontsOption = write->add_option("--fonts", o->Fonts, "Include the extra fonts of this .gly file")->type_name("FILE.gly");
    write->add_option("--image", o->Image, "Store a 65536-byte block image saved by `loader dump`")
        ->type_name("FILE")->excludes(fontsOption);
    write->callback([&options, &status, o, image] {
        status = ExitStatus(PrepareImage(options, *o, *image));
        if (status != 0) return;
        // A dumped image keeps its own name unless another is given.
        std::string name = !o->Name.empty() || o->Image.empty() ? o->Name : HeaderOf(*image).Name();
        status = RunLoader(options, *o, *image, [&](TerminalLoaderView&, TLoaderSession& session) {
            return OutcomeOf(session.Write(o->Block - 1, name));
        });
    });

    CLI::App* erase = AddLoaderCommand(*loader, "erase", "Erase one block or all of them", *o);
    auto* blockOption = AddBlockOption(*erase, *o);
    auto* allOption = erase->add_flag("--all", o->All, "Erase all eight blocks");
    blockOption->excludes(allOption);
    erase->callback([&options, &status, o, image] {
        if (o->Block == 0 && !o->All) throw CLI::RequiredError("--block or --all");
        BuildPlainImage(*image);
        status = RunLoader(options, *o, *image, [&](TerminalLoaderView&, TLoaderSession& session) {
            return OutcomeOf(o->All ? session.EraseAll() : session.Erase(o->Block - 1));
        });
    });

    AddLoaderCommand(*loader, "format", "Format the loader's block store (all blocks are lost)", *o)
        ->callback([&options, &status, o, image] {
            BuildPlainImage(*image);
            status = RunLoader(options, *o, *image, [](TerminalLoaderView&, TLoaderSession& session) {
                return OutcomeOf(session.Format());
            });
        });

    CLI::App* clock = AddLoaderCommand(*loader, "clock", "Show the loader's clock; --sync sets it to this computer's time", *o);
    clock->add_flag("--sync", o->Sync, "Set the loader's clock to the local time first");
    clock->callback([&options, &status, o, image] {
        BuildPlainImage(*image);
        status = RunLoader(options, *o, *image, [&](TerminalLoaderView&, TLoaderSession& session) {
            return !o->Sync || session.SyncClock() ? TOutcome::Done : TOutcome::LinkLost;
        });
    });

    CLI::App* dump = AddLoaderCommand(*loader, "dump", "Read a stored block back into a 65536-byte image file", *o);
    AddBlockOption(*dump, *o)->required();
    dump->add_option("--out", o->Out, "Image file to write")->required()->type_name("FILE");
    dump->callback([&options, &status, o, image] {
        BuildPlainImage(*image);
        status = RunLoader(options, *o, *image, [&](TerminalLoaderView& view, TLoaderSession& session) {
            int32_t index = o->Block - 1;
            if (session.Blocks[index].IsEmpty()) {
                view.ShowMessage("Ошибка!", "Блок №" + std::to_string(o->Block) + " пуст!", MbError);
                return TOutcome::LinkLost;
            }
            TBlockImage dumped;
            if (!DumpBlock(session, index, dumped)) {
                view.ShowMessage("Ошибка!", "Ошибка соединения с загрузчиком", MbError);
                return TOutcome::LinkLost;
            }
            if (!WriteImageFile(o->Out, dumped)) {
                view.ShowMessage("Ошибка!", "Не удалось записать файл " + o->Out, MbError);
                return TOutcome::FileRefused;
            }
            return TOutcome::Done;
        });
    });
}
