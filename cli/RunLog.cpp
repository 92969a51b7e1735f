#include "cli/RunLog.h"

#include "cli/ExitStatus.h"
#include "cli/Json.h"
#include "serial/Serial.h"

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <unistd.h>

TRunLog::~TRunLog()
{
    if (fd_ >= 0) close(fd_);
}

bool TRunLog::Append(const std::string& line)
{
    // Never split: a second write could land after another writer's line.
    ssize_t written;
    do written = write(fd_, line.data(), line.size());
    while (written < 0 && errno == EINTR);
    return written == static_cast<ssize_t>(line.size());
}

std::string OutcomeText(TOutcome outcome)
{
    switch (outcome) {
    case TOutcome::Done: return "OK";
    case TOutcome::LinkLost: return "Нет соединения";
    case TOutcome::BoardBad: return "Ошибка";
    case TOutcome::PortFailed: return "Ошибка коммуникационного порта!";
    case TOutcome::FileRefused: return "Файл не подходит";
    case TOutcome::Declined: return "Отменено";
    case TOutcome::Refused: return "Отказано";
    case TOutcome::NothingStored: return "Блок пуст";
    case TOutcome::Stopped: return "Работа остановлена";
    }
    return {};
}

namespace {
// The USB serial number of the adapter on `port`, where the port list knows it.
std::string UsbSerialOf(const std::string& port)
{
    std::error_code error;
    auto device = std::filesystem::weakly_canonical(port, error);
    for (const PortInfo& info : EnumeratePorts(false))
        if (info.Path == port || (!error && std::filesystem::weakly_canonical(info.Path, error) == device))
            return info.Serial;
    return {};
}
}   // namespace

void AppendToLog(TRunLog& log, const TRunFacts& facts, const std::string& port, const TBoardResult& result)
{
    TJsonLine line;
    line.Add("time", UtcNow()).Add("host", HostName()).Add("command", facts.Command).Add("port", port);
    line.Add("usb_serial", UsbSerialOf(port));
    line.Add("firmware_sha256", facts.FirmwareSha256).Add("fonts_sha256", facts.FontsSha256);
    line.Add("exit", ExitStatus(result.Outcome)).Add("text", result.Text).Add("seconds", result.Seconds);
    if (!log.Append(line.Line())) std::fprintf(stderr, "flasher-cli: не удалось дописать журнал\n");
}
