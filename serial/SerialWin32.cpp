// The serial device on Win32: the port opened unshared for overlapped input and output, the line
// set through the device control block, and the receive thread that keeps one 1-byte read pending
// and takes whatever else the driver holds once it completes.
#include "serial/Clock.h"
#include "serial/Serial.h"
#include "serial/SerialPlatform.h"

#include "util/Win32Text.h"

#include <algorithm>

const char* const NoPermissionAdvice = "запустите программу от имени пользователя, которому доступен этот порт.";

namespace {
// A write that has not completed after this long (a device that stopped taking bytes) fails.
constexpr int64_t WriteStallMs = 5000;
constexpr DWORD DriverQueue = 65536;

// "COM5" and "\\.\COM5" both name the port; the device namespace reaches COM10 and above too.
std::wstring DevicePath(const std::string& name)
{
    std::wstring wide = WideFromUtf8(name);
    return wide.rfind(L"\\\\.\\", 0) == 0 ? wide : L"\\\\.\\" + wide;
}

// Windows says "access denied" for a port another program holds.
TProblemKind FaultOf(DWORD error)
{
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_UNIT: return TProblemKind::Missing;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION: return TProblemKind::Busy;
    case ERROR_PRIVILEGE_NOT_HELD: return TProblemKind::NoPermission;
    default: return TProblemKind::Other;
    }
}

// 8 data bits, no parity, two stop bits, binary, no flow control; DTR and RTS held as given.
bool ApplyLine(HANDLE h, int32_t baud, bool dtr, bool rts)
{
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(h, &dcb)) return false;
    dcb.BaudRate = static_cast<DWORD>(baud);
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = TWOSTOPBITS;
    dcb.fBinary = TRUE;
    dcb.fParity = FALSE;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    dcb.fAbortOnError = FALSE;
    dcb.fDtrControl = dtr ? DTR_CONTROL_ENABLE : DTR_CONTROL_DISABLE;
    dcb.fRtsControl = rts ? RTS_CONTROL_ENABLE : RTS_CONTROL_DISABLE;
    return SetCommState(h, &dcb) != 0;
}

// No read or write timeouts: a read waits until its bytes are there; the receive thread asks for
// one byte at a time and a write is bounded by WriteStallMs.
bool ApplyTimeouts(HANDLE h)
{
    COMMTIMEOUTS none{};
    return SetCommTimeouts(h, &none) != 0;
}

// The errors a read or write gets once the device is gone: an adapter pulled (ERROR_DEVICE_REMOVED,
// ERROR_BAD_COMMAND, ERROR_GEN_FAILURE), its driver's handle revoked (ERROR_ACCESS_DENIED); wine
// fails the reads of a hung-up terminal with ERROR_BROKEN_PIPE and its writes with ERROR_NOT_READY.
bool DeviceGoneError(DWORD error)
{
    switch (error) {
    case ERROR_BAD_COMMAND:
    case ERROR_DEVICE_REMOVED:
    case ERROR_ACCESS_DENIED:
    case ERROR_GEN_FAILURE:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_INVALID_HANDLE:
    case ERROR_BROKEN_PIPE:
    case ERROR_NOT_READY: return true;
    default: return false;
    }
}

// Waits for an overlapped operation to finish, up to `ms`; cancels it when it does not.
bool FinishIo(HANDLE h, OVERLAPPED& io, DWORD ms, DWORD& done)
{
    if (WaitForSingleObject(io.hEvent, ms) != WAIT_OBJECT_0) CancelIoEx(h, &io);
    return GetOverlappedResult(h, &io, &done, TRUE) != 0;
}

}   // namespace

// ---- TComPort: the device ----

TComPort::~TComPort()
{
    StopReceiver();
    if (device_->Handle != INVALID_HANDLE_VALUE) PurgeComm(device_->Handle, PURGE_RXCLEAR | PURGE_TXCLEAR);
    CloseDevice();
}

TMaybeProblem TComPort::OpenDevice(const std::string& name)
{
    HANDLE h = CreateFileW(DevicePath(name).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_FLAG_OVERLAPPED, nullptr);
    DWORD error = GetLastError();
    if (h != INVALID_HANDLE_VALUE) {
        // A name that opens but is not a port (a printer, NUL) is refused with the system's text.
        DCB probe{};
        probe.DCBlength = sizeof probe;
        HANDLE writeDone = nullptr;
        if (GetCommState(h, &probe) && SetupComm(h, DriverQueue, DriverQueue) && ApplyTimeouts(h) &&
            (writeDone = CreateEventW(nullptr, TRUE, FALSE, nullptr)) != nullptr) {
            device_->Handle = h;
            device_->WriteDone = writeDone;
            return std::nullopt;
        }
        error = GetLastError();
        CloseHandle(h);
    }
    return TProblem(FaultOf(error), SystemErrorText(error));
}

void TComPort::ConfigureDevice(int32_t baud)
{
    ApplyLine(device_->Handle, baud, dtrOn_, rtsOn_);   // a refusal is not acted on, as on Linux
}

TAdapterLatency TComPort::LowerLatency(const std::string& name) { return FtdiLatencyWin32(name); }

void TComPort::CloseDevice()
{
    HANDLE& h = device_->Handle;
    if (h == INVALID_HANDLE_VALUE) return;
    CloseHandle(h);
    h = INVALID_HANDLE_VALUE;
    CloseHandle(device_->WriteDone);
    device_->WriteDone = nullptr;
}

bool TComPort::IsOpen() const { return device_->Handle != INVALID_HANDLE_VALUE; }

// Not PURGE_RXABORT: that would cancel the receive thread's pending read.
void TComPort::Purge()
{
    if (IsOpen()) PurgeComm(device_->Handle, PURGE_RXCLEAR | PURGE_TXCLEAR);
    if (receiver_) receiver_->Buffer.Clear();
}

// Returns 1 when the device took the rate, 0 otherwise (callers ignore it).
int TComPort::SetBaudRate(int32_t baud)
{
    baud_ = baud;
    if (!IsOpen()) return 0;
    return ApplyLine(device_->Handle, baud, dtr_, rts_) ? 1 : 0;
}

// A port without modem lines (a virtual one) refuses; that is ignored.
void TComPort::SetModemLine(bool dtr, bool on)
{
    EscapeCommFunction(device_->Handle, dtr ? (on ? SETDTR : CLRDTR) : (on ? SETRTS : CLRRTS));
}

// Writes the whole buffer, then waits until the bytes have left, so a raw burst is paced by the
// line and never floods the driver.
bool TComPort::WriteAll(const uint8_t* data, size_t count)
{
    const HANDLE h = device_->Handle;
    const DWORD stallMs = static_cast<DWORD>(
        std::max<int64_t>(1, Clock::RealDuration(Clock::ReplyTicks(WriteStallMs)).count() / 1000000));
    size_t sent = 0;
    while (sent < count) {
        OVERLAPPED io{};
        io.hEvent = device_->WriteDone;
        DWORD n = 0;
        auto chunk = static_cast<DWORD>(std::min<size_t>(count - sent, DriverQueue));
        if ((!WriteFile(h, data + sent, chunk, nullptr, &io) && GetLastError() != ERROR_IO_PENDING) ||
            !FinishIo(h, io, stallMs, n) || n == 0) {
            if (DeviceGoneError(GetLastError())) gone_ = true;
            return false;
        }
        sent += n;
    }
    FlushFileBuffers(h);
    return true;
}

// ---- TRecThread: the receive loop ----

TRecThread::~TRecThread() { Stop(); }

bool TRecThread::Start(const TComPort::TDevice& device)
{
    for (HANDLE* event : {&stop_, &firstDone_, &restDone_}) {
        *event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        if (!*event) return false;
    }
    handle_ = device.Handle;
    stopping_ = false;
    thread_ = std::thread([this] { Run(); });
    return true;
}

void TRecThread::Stop()
{
    if (thread_.joinable()) {
        stopping_ = true;
        SetEvent(stop_);
        thread_.join();
    }
    for (HANDLE* event : {&stop_, &firstDone_, &restDone_}) {
        if (*event) CloseHandle(*event);
        *event = nullptr;
    }
}

// One byte asked for and waited on with the stop event. False when stopped or when the device
// failed: a read that fails otherwise than cancelled by our own stop (ERROR_OPERATION_ABORTED
// outside a stop is the driver dropping the device too) means the device is gone.
bool TRecThread::ReadPending(OVERLAPPED& read, uint8_t& first)
{
    ResetEvent(read.hEvent);
    if (!ReadFile(handle_, &first, 1, nullptr, &read) && GetLastError() != ERROR_IO_PENDING) {
        DeviceGone();
        return false;
    }
    HANDLE events[2] = {stop_, read.hEvent};
    if (WaitForMultipleObjects(2, events, FALSE, INFINITE) == WAIT_OBJECT_0) CancelIoEx(handle_, &read);
    DWORD n = 0;
    if (!GetOverlappedResult(handle_, &read, &n, TRUE)) {
        if (GetLastError() != ERROR_OPERATION_ABORTED || !stopping_) DeviceGone();
        return false;
    }
    return n == 1;
}

// The rest of a burst: what the driver already holds, in one read that completes at once.
void TRecThread::ReadQueued()
{
    DWORD errors = 0;
    COMSTAT status{};
    DWORD queued = ClearCommError(handle_, &errors, &status) ? status.cbInQue : 0;
    DWORD n = 0;
    if (queued > 0) {
        OVERLAPPED rest{};
        rest.hEvent = restDone_;
        auto want = static_cast<DWORD>(std::min<size_t>(queued, MaxChunk - 1));
        if (ReadFile(handle_, chunk_ + 1, want, nullptr, &rest) || GetLastError() == ERROR_IO_PENDING)
            GetOverlappedResult(handle_, &rest, &n, TRUE);
    }
    Consume(chunk_, n + 1);
}

// Once the device is gone (adapter pulled) its reads fail at once: the loop then only waits for
// the port to close.
void TRecThread::Run()
{
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_HIGHEST);
    OVERLAPPED read{};
    read.hEvent = firstDone_;
    while (!stopping_) {
        if (deviceGone_ || !Active) {
            WaitForSingleObject(stop_, INFINITE);
            continue;
        }
        uint8_t first = 0;
        if (!ReadPending(read, first)) continue;
        std::lock_guard g(readLock_);
        chunk_[0] = first;
        ReadQueued();
    }
}

// The receive thread takes every byte; a waiting thread is woken by each judged packet.
void TRecThread::WaitArrival(uint64_t seen, std::chrono::nanoseconds realTimeout) { WaitSignalled(seen, realTimeout); }
