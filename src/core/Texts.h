#pragma once
// Every text the window logic shows the operator (UTF-8).

#include <string_view>

namespace vm4417::text {

inline constexpr std::string_view kCaption = "Čtečka čipů VELM";
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

// Why a serial port cannot be used (the port list and start-up's report).
inline constexpr std::string_view kPortUsable = "lze použít";
inline constexpr std::string_view kPortUnusable = "nelze použít: ";
inline constexpr std::string_view kPortMissing = "zařízení neexistuje (převodník není připojen?)";
inline constexpr std::string_view kPortNoPermission = "nemáte oprávnění port otevřít";
inline constexpr std::string_view kPortPermissionFix =
    "; náprava: sudo usermod -aG dialout $USER, potom se odhlaste a znovu přihlaste";
inline constexpr std::string_view kPortInUse = "port používá jiný program";
inline constexpr std::string_view kPortConsole = "systémová konzole, program ji nikdy neotevírá";
inline constexpr std::string_view kPortWrongKind = "není to sériové zařízení";
inline constexpr std::string_view kPortLost = "zařízení neodpovídá (bylo odpojeno?)";
inline constexpr std::string_view kPortFailed = "port nelze otevřít";
inline constexpr std::string_view kNoPortsFound = "Žádné číslo portu 0 až 255 nevede k zařízení.";

}  // namespace vm4417::text
