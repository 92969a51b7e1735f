// The station file: the job and the slots, in the project's INI form, UTF-8.
//
//   ; comments start with ';' or '#'; a ';' after a blank ends a line's value
//   [Job]
//   Firmware=board.bin        ; the 9747-byte firmware file; none: the built-in firmware
//   Fonts=fonts.gly           ; also write these fonts; optional
//   LoaderBlock=1             ; store the firmware (with the fonts) into this loader block, 1..8; optional
//   LoaderName=Табло 3.00     ; the block's name (63 characters at most); with LoaderBlock only
//   FormatLoader=no           ; format a loader whose block store is not formatted; default no
//   Settle=500                ; ms a port settles after it appears, 0..60000; default 500
//
//   [Slots]
//   A1=/dev/serial/by-path/pci-0000:00:14.0-usb-0:1.1:1.0-port0
//   A2=/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10KZ1XB-if00-port0
//   A3=/dev/ttyUSB2
//
// A slot is a label and the port it is bound to: a physical socket (/dev/serial/by-path/... on
// Linux, the device's location path, PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(1)#USB(2), on Windows),
// a by-id name or a port name. Relative file names are taken from the station file's folder.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum class TSlotBinding { Socket, ById, PortName };

struct TSlotEntry {
    std::string Label;
    std::string Port;
    TSlotBinding Binding = TSlotBinding::PortName;
    int32_t Line = 0;   // where the file names it
};

struct TJobEntry {
    std::string Firmware;      // full path; empty: the built-in firmware
    std::string Fonts;         // full path; empty: no fonts
    int32_t LoaderBlock = 0;   // 1..8; 0: nothing stored in the loader
    std::string LoaderName;
    bool FormatLoader = false;
};

struct TStationFile {
    std::string Path;
    TJobEntry Job;
    std::vector<TSlotEntry> Slots;
    int32_t SettleMs = 500;
};

// Why a station file was refused: the line (0: the file as a whole) and the reason in the
// interface's words.
struct TStationFileError {
    int32_t Line = 0;
    std::string Reason;
};

constexpr size_t StationFileLimit = 1 << 20;
constexpr int32_t MaxSettleMs = 60000;

// Reads and checks `path`; false with `error` filled when it is refused.
bool ReadStationFile(const std::string& path, TStationFile& file, TStationFileError& error);
// The same for the file's text; relative names are taken from `folder`.
bool ParseStationText(const std::string& text, const std::string& folder, TStationFile& file, TStationFileError& error);

// What a port string binds to: a socket, a by-id name or a port name.
TSlotBinding BindingOf(const std::string& port);
// "гнездо", "by-id", "порт"
const char* BindingText(TSlotBinding binding);

// The device to open for `port` when it is present now; empty when it is not.
std::string PresentDevice(const std::string& port);
