#include "cli/LoaderCommands.h"

#include "cli/Json.h"
#include "cli/LoaderRun.h"
#include "fonts/FontFile.h"
#include "loader/BlockImage.h"
#include "loader/LoaderImageWorkflow.h"
#include "loader/LoaderLink.h"
#include "serial/PortNotes.h"
#include "util/AtomicFile.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace {
// Columns line up on a terminal by characters, not bytes.
int DisplayWidth(const std::string& utf8)
{
    int width = 0;
    for (unsigned char c : utf8) width += (c & 0xC0) != 0x80;
    return width;
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

// With --json: one object per block and one for the clock, in ISO 8601 (the loader's local time).
void PrintBlockListJson(const std::string& port, const TLoaderSession& session)
{
    for (int32_t row = 1; row <= BlockCount; ++row) {
        const BlockInfo& block = session.Blocks[static_cast<size_t>(row - 1)];
        std::fputs(TJsonLine()
                       .Add("event", "block")
                       .Add("port", port)
                       .Add("number", row)
                       .Add("name", block.IsEmpty() ? std::string() : block.Header.Name())
                       .Add("size", static_cast<int64_t>(block.IsEmpty() ? 0 : block.Header.DataSize()))
                       .Add("empty", block.IsEmpty())
                       .Line()
                       .c_str(),
                   stdout);
    }
    const TSystemTime& t = session.LastClock;
    char iso[48];
    std::snprintf(iso, sizeof iso, "%04u-%02u-%02uT%02u:%02u:%02u", t.Year, t.Month, t.Day, t.Hour, t.Minute, t.Second);
    std::fputs(TJsonLine().Add("event", "clock").Add("port", port).Add("time", iso).Line().c_str(), stdout);
}

// Building the image tells a refused file on the terminal; a refused placeholder is told as the
// loader session tells its messages (an event with --json).
class TImageDialogue : public TerminalDialogue {
public:
    explicit TImageDialogue(const LoaderWriteOptions& o) : TerminalDialogue(o.Global.Yes), options_(o) {}
    TAnswer ShowMessage(const TMessage& message) override
    {
        if (message.Id == TMessageId::FirmwareRefused) {
            PrintRefusal(message.Text);
            return TAnswer::Ok;
        }
        if (message.Id != TMessageId::PlaceholderRefused) return TerminalDialogue::ShowMessage(message);
        return TerminalLoaderView(options_.Global, options_.Port).ShowMessage(message);
    }

private:
    const LoaderWriteOptions& options_;
};

// The image `loader write` stores: a dumped image file, or the firmware with optional fonts.
TOutcome WriteImage(const LoaderWriteOptions& o, const TLoaderLink& link, TBlockImage& image)
{
    TImageDialogue ui(o);
    return PrepareLoaderImage(link, {o.Image, o.Firmware, o.Fonts}, ui, image);
}

// The firmware alone: what the session's image holds when nothing is written.
TOutcome PlainImage(const TLoaderLink&, TBlockImage& image)
{
    BuildBlockImage(*std::make_unique<TFontSet>(), image);
    return TOutcome::Done;
}

// What a stop leaves in the loader, for commands that change nothing there.
constexpr const char* NothingChangedNote = "В загрузчике ничего не изменено.";

std::string BlockName(int32_t block) { return "Блок №" + std::to_string(block); }

void ShowError(TerminalLoaderView& view, TMessageId id, const std::string& text)
{
    view.ShowMessage({id, "Ошибка!", text, TBoxKind::Error});
}

// The stored block read back into `out`, replaced whole so that a failed dump never leaves half
// a file.
TOutcome DumpBlock(const LoaderDumpOptions& o, TLoaderLink& link, TerminalLoaderView& view, TLoaderSession& session)
{
    int32_t index = o.Block - 1;
    if (session.Blocks[index].IsEmpty()) {
        ShowError(view, TMessageId::BlockEmpty,
                  BlockName(o.Block) + " пуст!\nСохранять нечего, файл " + o.Out + " не записан.");
        return TOutcome::NothingStored;
    }
    auto dumped = std::make_unique<TBlockImage>();
    if (!link.ConnectLoader(ConnectAttempts) ||
        !ReadBlockImage(link, session.Blocks[index].Header, session.Directory.BlockSlot(index), *dumped)) {
        ShowError(view, TMessageId::LoaderLinkError, "Ошибка соединения с загрузчиком");
        link.SayIfPortGone(view);
        return TOutcome::LinkLost;
    }
    if (TMaybeProblem problem = ReplaceFile(o.Out, {reinterpret_cast<const char*>(dumped->data()), dumped->size()})) {
        ShowError(view, TMessageId::FileWriteFailed, "Не удалось записать файл " + o.Out);
        std::fprintf(stderr, "%s\n", problem->Reason().c_str());
        return TOutcome::FileRefused;
    }
    view.Confirm(BlockName(o.Block) + " «" + session.Blocks[index].Header.Name() + "» сохранён в файл " + o.Out + " (" +
                 std::to_string(dumped->size()) + " байт).");
    return TOutcome::Done;
}

CLI::App* AddLoaderCommand(CLI::App& loader, const char* name, const char* help, LoaderOptions& o)
{
    CLI::App* command = loader.add_subcommand(name, help);
    AddPortOption(*command, o.Port);
    o.Command = std::string("loader ") + name;
    return command;
}

CLI::Option* AddBlockOption(CLI::App& command, int32_t& block)
{
    return command.add_option("-b,--block", block, "Block number, 1..8")->check(CLI::Range(1, BlockCount));
}
}   // namespace

void SetupLoader(CLI::App& app, const GlobalOptions& global)
{
    CLI::App* loader = app.add_subcommand("loader", "Work with the loader's eight data blocks and its clock");
    loader->require_subcommand(1);
    SetupLoaderList(*loader, global);
    SetupLoaderWrite(*loader, global);
    SetupLoaderErase(*loader, global);
    SetupLoaderFormat(*loader, global);
    SetupLoaderClock(*loader, global);
    SetupLoaderDump(*loader, global);
}

void SetupLoaderList(CLI::App& loader, const GlobalOptions& global)
{
    auto o = std::make_shared<LoaderOptions>();
    CallRun(*AddLoaderCommand(loader, "list", "List the eight blocks and the clock", *o), o, global, RunLoaderList);
}

TOutcome RunLoaderList(const LoaderOptions& o)
{
    return OnLoaderSession(o, PlainImage, NothingChangedNote,
                           [&](TLoaderLink&, TerminalLoaderView&, TLoaderSession& session) {
        if (o.Global.Json) PrintBlockListJson(o.Port, session);
        else PrintBlockList(session);
        return TOutcome::Done;
    });
}

void SetupLoaderWrite(CLI::App& loader, const GlobalOptions& global)
{
    auto o = std::make_shared<LoaderWriteOptions>();
    CLI::App* write = AddLoaderCommand(loader, "write", "Write the firmware (and fonts) or a dumped image into a block",
                                       *o);
    AddBlockOption(*write, o->Block)->required();
    write->add_option("--name", o->Name, "Name stored with the block (63 characters at most)");
    auto* fontsOption =
        write->add_option("--fonts", o->Fonts, "Include the extra fonts of this .gly file")->type_name("FILE.gly");
    auto* imageOption = write->add_option("--image", o->Image, "Store a 65536-byte block image saved by `loader dump`")
                            ->type_name("FILE")
                            ->excludes(fontsOption);
    write->add_option("--firmware", o->Firmware, "Store this 9747-byte firmware file instead of the built-in image")
        ->type_name("FILE")
        ->excludes(imageOption);
    CallRun(*write, o, global, RunLoaderWrite);
}

TOutcome RunLoaderWrite(const LoaderWriteOptions& o)
{
    std::string note = BlockName(o.Block) +
                       " остался прежним или пустым, другие блоки не тронуты: запишите его ещё раз.";
    auto imageOfFiles = [&](const TLoaderLink& link, TBlockImage& image) { return WriteImage(o, link, image); };
    return OnLoaderSession(o, imageOfFiles, note,
                           [&](TLoaderLink& link, TerminalLoaderView& view, TLoaderSession& session) {
        link.SayIfSlowAdapter(ImageChunks(session.Image()), view);
        // A dumped image keeps its own name unless another is given.
        std::string name = !o.Name.empty() || o.Image.empty() ? o.Name : HeaderOf(session.Image()).Name();
        TOutcome outcome = session.Write(o.Block - 1, name);
        if (outcome == TOutcome::Done)
            view.Confirm(BlockName(o.Block) + " записан: «" + session.Blocks[o.Block - 1].Header.Name() + "», " +
                         std::to_string(session.Blocks[o.Block - 1].Header.DataSize()) + " байт.");
        return outcome;
    });
}

void SetupLoaderErase(CLI::App& loader, const GlobalOptions& global)
{
    auto o = std::make_shared<LoaderEraseOptions>();
    CLI::App* erase = AddLoaderCommand(loader, "erase", "Erase one block or all of them", *o);
    auto* blockOption = AddBlockOption(*erase, o->Block);
    blockOption->excludes(erase->add_flag("--all", o->All, "Erase all eight blocks"));
    erase->parse_complete_callback([o] {
        if (o->Block == 0 && !o->All) throw CLI::RequiredError("--block or --all");
    });
    CallRun(*erase, o, global, RunLoaderErase);
}

TOutcome RunLoaderErase(const LoaderEraseOptions& o)
{
    std::string note = o.All ? "Часть блоков могла остаться не стёртой: проверьте список блоков (loader list)."
                             : BlockName(o.Block) + " мог остаться не стёртым: проверьте список блоков (loader list).";
    return OnLoaderSession(o, PlainImage, note, [&](TLoaderLink&, TerminalLoaderView& view, TLoaderSession& session) {
        TOutcome outcome = o.All ? session.EraseAll() : session.Erase(o.Block - 1);
        if (outcome == TOutcome::Done) view.Confirm(o.All ? "Все блоки стёрты." : BlockName(o.Block) + " стёрт.");
        return outcome;
    });
}

void SetupLoaderFormat(CLI::App& loader, const GlobalOptions& global)
{
    auto o = std::make_shared<LoaderOptions>();
    CallRun(*AddLoaderCommand(loader, "format", "Format the loader's block store (all blocks are lost)", *o), o, global,
            RunLoaderFormat);
}

TOutcome RunLoaderFormat(const LoaderOptions& o)
{
    const char* note = "Загрузчик мог остаться не отформатированным: отформатируйте его ещё раз.";
    return OnLoaderSession(o, PlainImage, note, [](TLoaderLink&, TerminalLoaderView& view, TLoaderSession& session) {
        TOutcome outcome = session.Format();
        if (outcome == TOutcome::Done) view.Confirm("Загрузчик отформатирован: все блоки пусты.");
        return outcome;
    });
}

void SetupLoaderClock(CLI::App& loader, const GlobalOptions& global)
{
    auto o = std::make_shared<LoaderClockOptions>();
    CLI::App* clock = AddLoaderCommand(loader, "clock",
                                       "Show the loader's clock; --sync sets it to this computer's time", *o);
    clock->add_flag("--sync", o->Sync, "Set the loader's clock to the local time first");
    CallRun(*clock, o, global, RunLoaderClock);
}

TOutcome RunLoaderClock(const LoaderClockOptions& o)
{
    const char* note = o.Sync ? "Часы загрузчика могли остаться прежними: повторите установку." : NothingChangedNote;
    return OnLoaderSession(o, PlainImage, note, [&](TLoaderLink&, TerminalLoaderView&, TLoaderSession& session) {
        return !o.Sync || session.SyncClock() ? TOutcome::Done : TOutcome::LinkLost;
    });
}

void SetupLoaderDump(CLI::App& loader, const GlobalOptions& global)
{
    auto o = std::make_shared<LoaderDumpOptions>();
    CLI::App* dump = AddLoaderCommand(loader, "dump", "Read a stored block back into a 65536-byte image file", *o);
    AddBlockOption(*dump, o->Block)->required();
    dump->add_option("--out", o->Out, "Image file to write")->required()->type_name("FILE");
    CallRun(*dump, o, global, RunLoaderDump);
}

TOutcome RunLoaderDump(const LoaderDumpOptions& o)
{
    std::string note = std::string(NothingChangedNote) + " Файл " + o.Out + " не записан.";
    return OnLoaderSession(o, PlainImage, note,
                           [&](TLoaderLink& link, TerminalLoaderView& view, TLoaderSession& session) {
        return DumpBlock(o, link, view, session);
    });
}
