#include "cli/ResultCommand.h"

#include "util/Win32Text.h"

#include <windows.h>

namespace {
std::string SystemText(DWORD code)
{
    wchar_t* text = nullptr;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                   code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string result = text ? Utf8FromWide(text) : "ошибка " + std::to_string(code);
    if (text) LocalFree(text);
    while (!result.empty() && (result.back() == '\n' || result.back() == '\r')) result.pop_back();
    return result;
}
}   // namespace

TCommandRun RunCommandWithInput(const std::string& command, const std::string& input, double limitSeconds)
{
    TCommandRun run;
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) {
        run.Error = SystemText(GetLastError());
        return run;
    }
    SetHandleInformation(writeEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = readEnd;
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    std::wstring line = L"cmd.exe /d /s /c \"" + WideFromUtf8(command) + L"\"";
    PROCESS_INFORMATION process{};
    BOOL started = CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                                  &process);
    DWORD error = GetLastError();
    CloseHandle(readEnd);
    if (!started) {
        CloseHandle(writeEnd);
        run.Error = SystemText(error);
        return run;
    }
    run.Started = true;
    DWORD written = 0;
    WriteFile(writeEnd, input.data(), static_cast<DWORD>(input.size()), &written, nullptr);
    CloseHandle(writeEnd);
    if (WaitForSingleObject(process.hProcess, static_cast<DWORD>(limitSeconds * 1000)) == WAIT_TIMEOUT) {
        TerminateProcess(process.hProcess, 1);
        WaitForSingleObject(process.hProcess, INFINITE);
        run.TimedOut = true;
    } else {
        DWORD code = 0;
        GetExitCodeProcess(process.hProcess, &code);
        run.Status = static_cast<int>(code);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return run;
}
