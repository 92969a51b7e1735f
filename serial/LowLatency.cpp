#include "serial/LowLatency.h"

#include "serial/LowLatencyPlatform.h"

namespace {
// "9,9": tenths of a second, with the decimal comma.
std::string Seconds(int64_t ms)
{
    int64_t tenths = (ms + 50) / 100;
    return std::to_string(tenths / 10) + "," + std::to_string(tenths % 10);
}
}   // namespace

std::string SlowAdapterText(const std::string& port, const TAdapterLatency& latency, int32_t exchanges)
{
    if (!latency.Slow()) return {};
    const int64_t cost = static_cast<int64_t>(exchanges) * latency.TimerMs();
    return "Адаптер порта " + port + " задерживает каждый ответ табло на " + std::to_string(latency.TimerMs()) +
           " мс (таймер задержки адаптера): на этой работе около " + std::to_string(exchanges) + " ответов, это " +
           Seconds(cost) + " с лишнего ожидания. Уменьшите таймер до 1 мс: " + LatencyAdvice(latency);
}
