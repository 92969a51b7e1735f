// The station's job, read and checked once before anything is watched: the firmware, the
// prepared fonts and the loader block's image. Every board's run shares it read-only.
#pragma once

#include "serial/Serial.h"
#include "station/StationFile.h"
#include "util/Dialogue.h"

#include <atomic>
#include <memory>
#include <string>

class TBoardLink;
struct TFirmware;
struct TFontSet;

class TStationJob {
public:
    TStationJob();
    ~TStationJob();

    // Reads the job's files; empty when they all passed, otherwise why the first was refused
    // (the file and the reason, in the interface's words).
    std::string Load(const TJobEntry& entry);

    const TJobEntry& Entry() const;
    const TFirmware& Firmware() const;
    // "board.bin" or the built-in firmware's description.
    std::string FirmwareName() const;
    // The image's SHA-256 in hex; the header shows its first 12 digits.
    const std::string& FirmwareSha256() const;
    // Of the fonts file; empty without one.
    const std::string& FontsSha256() const;

    // One board's run on `device`: programming, then the loader block when the job has one.
    // `stop` cuts it short after the current exchange. The dialogue answers what the workflows
    // ask as the job says (store the block: yes; format: FormatLoader).
    TOutcome Run(const std::string& device, TUserDialogue& ui, const std::atomic<bool>& stop,
                 const PacketTrace& trace = {}) const;

private:
    struct TImpl;
    std::unique_ptr<TImpl> impl_;
};
