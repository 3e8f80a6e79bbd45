#pragma once
// Every Czech text the operator sees, in one place (UTF-8): the windows'
// captions and control texts, status texts and error boxes. Front ends take
// them from here; nothing else spells them out.

#include <string_view>

namespace vm4417::text {

inline constexpr std::string_view kCaption = "Čtečka čipů VELM";
// The error boxes' caption stays English, as the operator has always seen it.
inline constexpr std::string_view kErrorCaption = "Error";

// Main window controls (see Form1Layout.cpp).
inline constexpr std::string_view kOrderHeading = "Pořadí";
inline constexpr std::string_view kTimeHeading = "Čas";
inline constexpr std::string_view kCodeHeading = "Kód čipu";
inline constexpr std::string_view kButtonsFrame = "Ovládací tlačítka";
inline constexpr std::string_view kBlockButton = "Zablokování";
inline constexpr std::string_view kUnblockButton = "Odblokování";
inline constexpr std::string_view kLedOnButton = "Rozsviť LED";
inline constexpr std::string_view kLedOffButton = "Zhasni LED";
inline constexpr std::string_view kRepeatReadButton = "Opakované čtení čipu";
inline constexpr std::string_view kRedirectFrame = "Přesměrování";
inline constexpr std::string_view kCodeToKeysBox = "Kód čipu do klávesnice";
inline constexpr std::string_view kOrderToKeysBox = "Pořadí do klávesnice";
inline constexpr std::string_view kTimeToKeysBox = "Čas do klávesnice";
inline constexpr std::string_view kParametersFrame = "Parametry";
inline constexpr std::string_view kSoundBox = "Zvukový signál";
inline constexpr std::string_view kLedOffAfterCodeBox = "Zhasnutí LED po přijetí kódu";
inline constexpr std::string_view kSaveToDiskBox = "Ukládat na disk";
inline constexpr std::string_view kMinimizeBox = "Minimalizovat po spuštění";
inline constexpr std::string_view kDecimalBox = "Dekadický kód";
inline constexpr std::string_view kCrcBox = "CRC";
inline constexpr std::string_view kFamilyBox = "Family";
inline constexpr std::string_view kCounterLabel = "Pořadí:";
inline constexpr std::string_view kCounterInitial = "Edit1";
inline constexpr std::string_view kResetButton = "Nuluj pořadí";
inline constexpr std::string_view kExitButton = "Konec programu";
inline constexpr std::string_view kStatusInitial = "Info";

// Maker-information window (see Form2Layout.cpp).
inline constexpr std::string_view kMakerCaption = "Informace o výrobci";
inline constexpr std::string_view kMakerHeading = "Výrobu a úpravy programu provádí:";
inline constexpr std::string_view kPhonePrefix = "Telefon: ";
inline constexpr std::string_view kEmailPrefix = "Email: ";
inline constexpr std::string_view kWebPrefix = "Internet: ";

inline constexpr std::string_view kTestingPort = "Testuji port COM";
inline constexpr std::string_view kConnected = "Připojeno zařízení VELM";
inline constexpr std::string_view kOnPort = " na portu COM";
inline constexpr std::string_view kNoReader =
    "Na žádném sériovém portu nebylo identifikováno zařízení.";

inline constexpr std::string_view kSettingsSaveError = "Chyba při ukládání parametrů";
inline constexpr std::string_view kPortCloseError = "Chyba při zavírání portu";
inline constexpr std::string_view kLogError = "Chyba při ukládání dat";
inline constexpr std::string_view kKeyboardError = "Chyba při zápisu do klávesnice";
inline constexpr std::string_view kNumberFormatError = "Chybný formát čísla";

inline constexpr std::string_view kBlocked = "Čtečka zablokována";
inline constexpr std::string_view kBlockError = "Chyba při blokování čtečky";
inline constexpr std::string_view kUnblocked = "Čtečka odblokována";
inline constexpr std::string_view kUnblockError = "Chyba při odblokování čtečky";
inline constexpr std::string_view kLedOn = "LED svítí";
inline constexpr std::string_view kLedOnError = "Chyba při rozsvícení LED";
inline constexpr std::string_view kLedOff = "LED zhasnuta";
inline constexpr std::string_view kLedOffError = "Chyba při zhasnutí LED";
inline constexpr std::string_view kRepeatReadError = "Chyba při čtení čipu";

inline constexpr std::string_view kDemo = "Demo";
inline constexpr std::string_view kStop = "Stop";

}  // namespace vm4417::text
