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
    int32_t ShowMessage(const TMessage& message) override
    {
        text_ = message.Text;
        return IdOk;
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
    int32_t ShowMessage(const TMessage& message) override
    {
        if (message.Kind() != TMessageKind::Question) return ui_.ShowMessage(message);
        bool yes = message.Id == TMessageId::WriteQuestion || message.Id == TMessageId::EraseQuestion ||
                   (message.Id == TMessageId::FormatOffer && format_);
        ui_.ShowMessage(message);
        return yes ? IdYes : IdNo;
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
} // namespace

struct TStationJob::TImpl {
    TStationJobSpec Spec;
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

std::string TStationJob::Load(const TStationJobSpec& spec)
{
    TImpl& job = *impl_;
    job.Spec = spec;
    if (spec.Firmware.empty()) {
        job.Firmware = EmbeddedFirmware();
    } else if (std::string problem = ReadFirmwareFile(spec.Firmware, job.Firmware); !problem.empty()) {
        return "файл прошивки " + spec.Firmware + " не подходит: " + problem;
    }
    job.FirmwareSha256 = Sha256Hex(job.Firmware.Image);
    if (!spec.Fonts.empty()) {
        TRefusalCatcher catcher;
        if (!PrepareFonts(job.Fonts, spec.Fonts, catcher)) return catcher.Text();
        std::vector<uint8_t> bytes;
        if (ReadInputFile(spec.Fonts, FontFileLimit, bytes) == TFileProblem::None) job.FontsSha256 = Sha256Hex(bytes);
    }
    if (spec.LoaderBlock > 0) {
        TFontSet fonts = job.Fonts;
        if (!BuildBlockImage(fonts, job.Image, job.Firmware))
            return "шрифты " + spec.Fonts + " не помещаются в блок загрузчика вместе с прошивкой";
    }
    return {};
}

const TStationJobSpec& TStationJob::Spec() const { return impl_->Spec; }
const TFirmware& TStationJob::Firmware() const { return impl_->Firmware; }
const std::string& TStationJob::FirmwareSha256() const { return impl_->FirmwareSha256; }
const std::string& TStationJob::FontsSha256() const { return impl_->FontsSha256; }

std::string TStationJob::FirmwareName() const
{
    return impl_->Spec.Firmware.empty() ? FirmwareDescription(impl_->Firmware) : FileName(impl_->Spec.Firmware);
}

TOutcome TStationJob::Run(const std::string& device, TUserDialogue& ui, const std::atomic<bool>& stop,
                          const PacketTrace& trace) const
{
    TOutcome outcome;
    {
        TBoardLink link(device, trace);
        link.Firmware = &impl_->Firmware;
        link.BoardPort->StopRequest = &stop;
        // The workflow leaves its relocated table in the set it is given: each board takes a copy.
        auto fonts = std::make_unique<TFontSet>(impl_->Fonts);
        outcome = ProgramPreparedBoard(link, ui, *fonts, !impl_->Spec.Fonts.empty());
    }
    if (outcome != TOutcome::Done || impl_->Spec.LoaderBlock == 0) return outcome;
    return impl_->StoreBlock(device, ui, stop, trace);
}

TOutcome TStationJob::TImpl::StoreBlock(const std::string& device, TUserDialogue& ui, const std::atomic<bool>& stop,
                                        const PacketTrace& trace) const
{
    TLoaderLink link(device, trace);
    link.LoaderPort->StopRequest = &stop;
    TJobLoaderView view(ui, Spec.FormatLoader);
    if (Firmware.Placeholder && !link.MayTakePlaceholder(device)) {
        view.ShowMessage({TMessageId::PlaceholderRefused, "Ошибка!", PlaceholderRefusalText, MbError});
        return TOutcome::Refused;
    }
    link.OpenLoaderPort(view);
    if (link.LoaderPort->Error) {
        link.CloseLoaderPort();
        return TOutcome::PortFailed;
    }
    auto image = std::make_unique<TBlockImage>(Image);
    TLoaderSession session(link, view, *image);
    session.Shown = true;
    TOutcome outcome = session.RefreshAll();
    if (outcome == TOutcome::Done) outcome = session.Write(Spec.LoaderBlock - 1, Spec.LoaderName);
    link.CloseLoaderPort();
    return outcome;
}
