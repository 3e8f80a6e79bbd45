#pragma once
// The administrator's preset: a settings file for every user of the machine
// (/etc/vm4417/VM4417.INI, %ProgramData%\VM4417\VM4417.INI), taken instead of
// the defaults at the first start in a working folder. Only a whole settings
// record counts; anything else is told and left alone.

#include <string>
#include <string_view>

#include "FileStore.h"
#include "Global.h"

namespace vm4417 {

enum class PresetLoad {
    None,     // no preset: the defaults, as always
    Loaded,   // a whole record
    Invalid,  // something is there, but not a settings record
};

struct PresetReading {
    PresetLoad load = PresetLoad::None;
    ReaderSettings settings;  // when Loaded
    std::string reason;       // when Invalid: why, in Czech, with the system's words
};

// Reads the preset at `path` (nothing when `path` is empty). Never waits on
// a FIFO or device by that name.
PresetReading ReadPreset(FileStore& files, const std::string& path);

// The error box's text for an invalid preset.
std::string InvalidPresetText(std::string_view path, std::string_view reason);

}  // namespace vm4417
