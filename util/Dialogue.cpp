#include "util/Dialogue.h"

TMessage PortErrorMessage(const std::string& details)
{
    std::string text = "Ошибка коммуникационного порта!";
    if (!details.empty()) text += "\n" + details;
    return {TMessageId::PortError, "Ошибка", text, TBoxKind::Error};
}

TMessageKind KindOf(TMessageId id)
{
    switch (id) {
    case TMessageId::FormatOffer:
    case TMessageId::FormatQuestion:
    case TMessageId::EraseQuestion:
    case TMessageId::EraseAllQuestion:
    case TMessageId::WriteQuestion: return TMessageKind::Question;
    case TMessageId::SwitchBoardOn:
    case TMessageId::ProgrammingDone:
    case TMessageId::RamResult:
    case TMessageId::SlowAdapter: return TMessageKind::Information;
    default: return TMessageKind::Error;
    }
}

int32_t WholePercent(const TProgress& progress)
{
    // Rounded down: 100 % only once the last byte has moved.
    return progress.Total > 0 ? static_cast<int32_t>(progress.Done * 100 / progress.Total) : progress.Percent;
}

std::string StoppedAtText(const std::string& step, int32_t percent)
{
    return "Работа остановлена: " + step + ", " + std::to_string(percent) + "%.";
}
