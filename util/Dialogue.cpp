#include "util/Dialogue.h"

TMessage PortErrorMessage()
{
    return {TMessageId::PortError, "Ошибка", "Ошибка коммуникационного порта!", MbError};
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
    case TMessageId::RamResult: return TMessageKind::Information;
    default: return TMessageKind::Error;
    }
}
