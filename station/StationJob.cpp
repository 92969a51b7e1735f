#include "station/StationJob.h"

#include "board/BoardLink.h"
#include "board/BoardWorkflows.h"
#include "firmware/Firmware.h"
#include "fonts/FontFile.h"
#include "loader/BlockImage.h"
#include "loader/LoaderLink.h"
#include "loader/LoaderSession.h"
#include "util/InputFile.h"
#include "util/Sha256.h"

#include <filesystem>

namespace {
// Hears what the fonts' preparation says when it refuses the file.
class TRefusalCatcher : public TUserDialogue {
public:
    TAnswer ShowMessage(const TMessage& message) override
    {
        text_ = message.Text;
        return TAnswer::Ok;
    }
    void SetStatus(const std::string&) override {}
    void ShowProgress(int32_t) override {}
    const std::string& Text() const { return text_; }

private:
    std::string text_;
};

// The loader session's window for one board of the station: the slot's dialogue, and answers from
// the job: the block is stored (written, or erased and written), the store formatted only when the
// job says so.
class TJobLoaderView : public TLoaderView {
public:
    TJobLoaderView(TUserDialogue& ui, bool format) : ui_(ui), format_(format) {}
    TAnswer ShowMessage(const TMessage& message) override
    {
        if (message.Kind() != TMessageKind::Question) return ui_.ShowMessage(message);
        bool yes = message.Id == TMessageId::WriteQuestion || message.Id == TMessageId::EraseQuestion ||
                   (message.Id == TMessageId::FormatOffer && format_);
        TMessage shown = message;
        if (!yes)
            shown.Text += message.Id == TMessageId::FormatOffer
                              ? "\nСтанция ответила «Нет»: в файле станции FormatLoader=no."
                              : "\nСтанция ответила «Нет».";
        ui_.ShowMessage(shown);
        return yes ? TAnswer::Yes : TAnswer::No;
    }
    void SetStatus(const std::string& text) override { ui_.SetStatus(text); }
    void ShowProgress(int32_t percent) override { ui_.ShowProgress(percent); }
    void ShowTransfer(const TProgress& progress) override { ui_.ShowTransfer(progress); }
    void MoveTransfer(const TProgress& progress) override { ui_.MoveTransfer(progress); }
    void SetClock(const std::string&) override {}
    void FillBlockList() override {}
    void UpdateButtons() override {}

private:
    TUserDialogue& ui_;
    bool format_;
};

std::string FileName(const std::string& path) { return std::filesystem::path(path).filename().string(); }
}   // namespace

struct TStationJob::TImpl {
    TJobEntry Entry;
    TFirmware Firmware;
    TFontSet Fonts;
    TBlockImage Image{};
    std::string FirmwareSha256;
    std::string FontsSha256;

    TOutcome StoreBlock(const std::string& device, TUserDialogue& ui, const std::atomic<bool>& stop,
                        const PacketTrace& trace) const;
};

TStationJob::TStationJob() : impl_(std::make_unique<TImpl>()) {}
TStationJob::~TStationJob() = default;

std::string TStationJob::Load(const TJobEntry& entry)
{
    TImpl& job = *impl_;
    job.Entry = entry;
    if (entry.Firmware.empty()) {
        job.Firmware = EmbeddedFirmware();
    } else if (TMaybeProblem problem = ReadFirmwareFile(entry.Firmware, job.Firmware)) {
        return "файл прошивки " + entry.Firmware + " не подходит: " + problem->Reason();
    }
    job.FirmwareSha256 = Sha256Hex(job.Firmware.Image);
    if (!entry.Fonts.empty()) {
        TRefusalCatcher catcher;
        if (!PrepareFonts(job.Fonts, entry.Fonts, catcher)) return catcher.Text();
        std::vector<uint8_t> bytes;
        if (!ReadInputFile(entry.Fonts, FontFileLimit, bytes)) job.FontsSha256 = Sha256Hex(bytes);
    }
    if (entry.LoaderBlock > 0) {
        TFontSet fonts = job.Fonts;
        if (!BuildBlockImage(fonts, job.Image, job.Firmware))
            return "шрифты " + entry.Fonts + " не помещаются в блок загрузчика вместе с прошивкой";
    }
    return {};
}

const TJobEntry& TStationJob::Entry() const { return impl_->Entry; }
const TFirmware& TStationJob::Firmware() const { return impl_->Firmware; }
const std::string& TStationJob::FirmwareSha256() const { return impl_->FirmwareSha256; }
const std::string& TStationJob::FontsSha256() const { return impl_->FontsSha256; }

std::string TStationJob::FirmwareName() const
{
    return impl_->Entry.Firmware.empty() ? FirmwareDescription(impl_->Firmware) : FileName(impl_->Entry.Firmware);
}

TOutcome TStationJob::Run(const std::string& device, TUserDialogue& ui, const std::atomic<bool>& stop,
                          const PacketTrace& trace) const
{
    TOutcome outcome;
    {
        TBoardLink link(device, trace);
        link.SetStopRequest(&stop);
        // The workflow leaves its relocated table in the set it is given: each board takes a copy.
        auto fonts = std::make_unique<TFontSet>(impl_->Fonts);
        outcome = ProgramPreparedBoard(link, impl_->Firmware, ui, *fonts, !impl_->Entry.Fonts.empty());
    }
    if (outcome != TOutcome::Done || impl_->Entry.LoaderBlock == 0) return outcome;
    return impl_->StoreBlock(device, ui, stop, trace);
}

TOutcome TStationJob::TImpl::StoreBlock(const std::string& device, TUserDialogue& ui, const std::atomic<bool>& stop,
                                        const PacketTrace& trace) const
{
    TLoaderLink link(device, trace);
    link.SetStopRequest(&stop);
    TJobLoaderView view(ui, Entry.FormatLoader);
    if (!link.FirmwareAllowed(Firmware)) {
        view.ShowMessage({TMessageId::PlaceholderRefused, "Ошибка!", PlaceholderRefusalText, TBoxKind::Error});
        return TOutcome::Refused;
    }
    link.OpenLoaderPort(view);
    if (link.LastFailure()) {
        link.CloseLoaderPort();
        return TOutcome::PortFailed;
    }
    auto image = std::make_unique<TBlockImage>(Image);
    TLoaderSession session(link, view, *image);
    session.Shown = true;
    TOutcome outcome = session.RefreshAll();
    if (outcome == TOutcome::Done) outcome = session.Write(Entry.LoaderBlock - 1, Entry.LoaderName);
    link.CloseLoaderPort();
    return outcome;
}
