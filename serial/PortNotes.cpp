#include "serial/PortNotes.h"

TMessage PortGoneMessage(const std::string& portName)
{
    std::string port = portName.empty() ? "" : " " + portName;
    return {TMessageId::PortGone, "Нет порта!",
            "Адаптер или его порт" + port +
                " исчез из системы: проверьте кабель. После повторного подключения выберите порт заново.",
            TBoxKind::Error};
}

bool SayIfPortGone(const TComPort& port, const std::string& portName, TUserDialogue& ui)
{
    if (!port.Gone()) return false;
    ui.ShowMessage(PortGoneMessage(portName));
    return true;
}

void SayIfSlowAdapter(const TComPort& port, const std::string& portName, int32_t exchanges, TUserDialogue& ui)
{
    std::string text = SlowAdapterText(portName, port.Latency(), exchanges);
    if (!text.empty()) ui.ShowMessage({TMessageId::SlowAdapter, "Медленный адаптер", text, TBoxKind::Information});
}
