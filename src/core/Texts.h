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
inline constexpr std::string_view kExactCharactersBox = "Přesné znaky";
inline constexpr std::string_view kExactCharactersTip =
    "Kód se napíše stejně na každém rozložení klávesnice";
inline constexpr std::string_view kCounterLabel = "Pořadí:";
inline constexpr std::string_view kCounterInitial = "Edit1";
inline constexpr std::string_view kResetButton = "Nuluj pořadí";
inline constexpr std::string_view kExitButton = "Konec programu";
inline constexpr std::string_view kStatusInitial = "Info";

// What a screen reader says where a control's own text does not say it all
// (see Accessibility.cpp): names of controls without a text, and what a
// control does where its name alone does not tell.
inline constexpr std::string_view kLedLitName = "LED čtečky svítí";
inline constexpr std::string_view kLedDarkName = "LED čtečky nesvítí";
inline constexpr std::string_view kLedDescription = "Kontrolka LED na čtečce";
inline constexpr std::string_view kListName = "Seznam záznamů";
inline constexpr std::string_view kListDescription =
    "Na každém řádku pořadí, čas a kód čipu jednoho záznamu";
inline constexpr std::string_view kMakerButtonDescription =
    "Otevře okno s údaji o výrobci programu";
inline constexpr std::string_view kCounterDescription =
    "Pořadí posledního záznamu; další záznam dostane číslo o jedna vyšší. Nové číslo platí po "
    "odchodu z pole klávesou Tab";
inline constexpr std::string_view kStatusBarName = "Stavový řádek";
inline constexpr std::string_view kBlockDescription =
    "Čtečka přestane přijímat čipy, dokud ji neodblokujete";
inline constexpr std::string_view kRepeatReadDescription =
    "Přečte čip na čtečce znovu a ukáže jeho kód ve stavovém řádku, nic nezapíše";
inline constexpr std::string_view kResetDescription = "Další záznam dostane pořadí 1";
inline constexpr std::string_view kExitDescription =
    "Zavře port čtečky, uloží nastavení a ukončí program";
inline constexpr std::string_view kDemoDescription =
    "Bez čtečky spustí nebo zastaví ukázkové záznamy";
inline constexpr std::string_view kCodeToKeysDescription =
    "Kód každého čipu se napíše do aplikace, která má klávesnici; bez této volby jen do "
    "seznamu v okně";
inline constexpr std::string_view kOrderToKeysDescription = "Před kódem se napíše pořadí záznamu";
inline constexpr std::string_view kTimeToKeysDescription = "Před kódem se napíše čas záznamu";
inline constexpr std::string_view kLedOffAfterCodeDescription =
    "Po každém záznamu čtečka zhasne LED";
inline constexpr std::string_view kSaveToDiskDescription =
    "Každý záznam se připíše do denního souboru v pracovní složce";
inline constexpr std::string_view kMinimizeDescription =
    "Při příštím spuštění se okno hned minimalizuje";
inline constexpr std::string_view kSoundDescription = "Každý záznam ohlásí zvuk";
inline constexpr std::string_view kDecimalDescription =
    "Kódy čipů v desítkové soustavě místo šestnáctkové";
// The picture in an error box.
inline constexpr std::string_view kErrorIconName = "Chyba";

// Maker-information window (see Form2Layout.cpp).
inline constexpr std::string_view kMakerCaption = "Informace o výrobci";
inline constexpr std::string_view kMakerHeading = "Výrobu a úpravy programu provádí:";
inline constexpr std::string_view kPhonePrefix = "Telefon: ";
inline constexpr std::string_view kEmailPrefix = "Email: ";
inline constexpr std::string_view kWebPrefix = "Internet: ";

inline constexpr std::string_view kTestingPort = "Testuji port COM";
inline constexpr std::string_view kConnected = "Připojeno zařízení VELM";
inline constexpr std::string_view kOnPort = " na portu COM";
inline constexpr std::string_view kReaderLost = "Čtečka odpojena, čekám na ni na portu COM";
inline constexpr std::string_view kReaderLostElsewhere = " i na nově připojených portech";
// "Na portu COM5 je jiná čtečka (VELM9999), čekám na VELM1234"
inline constexpr std::string_view kOtherReaderOnPort = "Na portu COM";
inline constexpr std::string_view kOtherReaderIs = " je jiná čtečka (VELM";
inline constexpr std::string_view kWaitingForReader = "), čekám na VELM";
// "Čtečka VELM1234 je zpět na portu COM16 (dříve COM18)"
inline constexpr std::string_view kReaderBack = "Čtečka VELM";
inline constexpr std::string_view kReaderBackOnPort = " je zpět na portu COM";
inline constexpr std::string_view kReaderBackBefore = " (dříve COM";
inline constexpr std::string_view kAsleep = "Počítač usíná, port je uvolněn: COM";
inline constexpr std::string_view kAwake = "Počítač se probudil, připojuji čtečku na portu COM";
inline constexpr std::string_view kNoReader =
    "Na žádném sériovém portu nebylo identifikováno zařízení.";

inline constexpr std::string_view kSettingsSaveError = "Chyba při ukládání parametrů";
inline constexpr std::string_view kSettingsReadError = "Chyba při čtení parametrů";
inline constexpr std::string_view kPortCloseError = "Chyba při zavírání portu";
inline constexpr std::string_view kLogError = "Chyba při ukládání dat";
inline constexpr std::string_view kKeyboardError = "Chyba při zápisu do klávesnice";
// Why a capture was listed instead of typed: after kKeyboardError and ": ".
inline constexpr std::string_view kKeyHeld = "je stisknutá klávesa ";     // + "Ctrl"
inline constexpr std::string_view kKeysHeld = "jsou stisknuté klávesy ";  // + "Ctrl, Alt"
inline constexpr std::string_view kSomeKeyHeld = "držíte stisknutou klávesu";
inline constexpr std::string_view kCapsLockStuck = "Caps Lock nejde vypnout";
// Standard error: which capture went to the list instead.
inline constexpr std::string_view kListedCapture = "v seznamu v okně je záznam č. ";
inline constexpr std::string_view kTargetElevated =
    "aplikace, do které se píše, běží jako správce (spusťte jako správce i tento program)";
// The keys would not go where the operator meant them.
inline constexpr std::string_view kSessionLocked = "obrazovka je zamčená";
inline constexpr std::string_view kKeyboardTaken =
    "klávesnici drží jiný program, nejspíš zámek obrazovky";
inline constexpr std::string_view kFocusInOwnWindow = "klávesnice je v okně tohoto programu";
inline constexpr std::string_view kFocusMovedWhileTyping =
    "během psaní se změnilo okno s klávesnicí; začátek záznamu dostalo předchozí okno";
inline constexpr std::string_view kFocusMovedBeforeTyping =
    "okno s klávesnicí se změnilo dřív, než se začalo psát";
// The operator's own keys during a capture: typed on without a pause (a way
// that only sees them), seen among the capture's keys, or dropped after a
// hold. The last two follow kKeyboardNote and go with the capture's number.
inline constexpr std::string_view kOperatorTyping = "právě píšete na klávesnici";
inline constexpr std::string_view kKeyboardNote = "Pozor při zápisu do klávesnice";
inline constexpr std::string_view kOperatorKeysMixedIn =
    "mezi znaky záznamu se dostaly klávesy, které jste během psaní stiskli; záznam je i v "
    "seznamu v okně";
inline constexpr std::string_view kOperatorKeysDropped =
    "klávesy, které jste během psaní stiskli, se neposlaly (čekaly příliš dlouho nebo by "
    "se dostaly jinam než záznam)";
inline constexpr std::string_view kCaptureNumber = " (záznam č. ";
// Typing through the X server could not begin.
inline constexpr std::string_view kXServerUnreachable = "nelze se připojit k X serveru";
inline constexpr std::string_view kXTestMissing = "X server nenabízí rozšíření XTest";
inline constexpr std::string_view kXKeyboardUnreadable = "mapu klávesnice X serveru nelze přečíst";
inline constexpr std::string_view kLayoutLacksKey = "rozložení klávesnice nemá klávesu „";
inline constexpr std::string_view kLayoutLacksKeyEnd = "“; pomůže volba „Přesné znaky“";
inline constexpr std::string_view kSpaceBarName = "mezerník";
inline constexpr std::string_view kKeypadMinusName = "- na numerické klávesnici";
// A way of typing that the desktop ended is being set up again.
inline constexpr std::string_view kTypingResuming = "psaní do klávesnice se obnovuje";
inline constexpr std::string_view kUntypableCode = "kód obsahuje znak, který nelze napsat";
// A desktop notification for a capture that was not typed, when the
// program's window is not in front: kNotTypedStart, the order number,
// kNotTypedMiddle, ": " and the reason where there is one, kNotTypedEnd.
inline constexpr std::string_view kNotTypedStart = "Záznam č. ";
inline constexpr std::string_view kNotTypedMiddle = " nebyl napsán";
inline constexpr std::string_view kNotTypedEnd = ". Je v seznamu v okně programu.";
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
// The USB identity of a port in the list.
inline constexpr std::string_view kUsbVendorProduct = "USB ";
inline constexpr std::string_view kUsbSerialNumber = "sériové číslo ";
inline constexpr std::string_view kUsbLocation = "místo ";
inline constexpr std::string_view kUsbName = "název ";
inline constexpr std::string_view kPortListHeader = "Port   Zařízení                 Stav";
inline constexpr std::string_view kNoPortsFound = "Žádné číslo portu 0 až 255 nevede k zařízení.";

// Typing on the desktop: vm4417 --check-typing, and what the status bar and
// standard error say when typing cannot reach every application.
inline constexpr std::string_view kTypingSession = "Relace: ";
inline constexpr std::string_view kTypingDesktop = ", plocha: ";
inline constexpr std::string_view kTypingUnknown = "neznámá";
inline constexpr std::string_view kTypingListHeader = "Způsob psaní                     Stav";
inline constexpr std::string_view kTypingXTest = "XTest (X11)";
inline constexpr std::string_view kTypingVirtualKeyboard = "virtuální klávesnice (Wayland)";
inline constexpr std::string_view kTypingPortal = "portál RemoteDesktop (Wayland)";
inline constexpr std::string_view kTypingChosen = "Program použije: ";
inline constexpr std::string_view kTypingNone =
    "žádný; zachycené kódy se vypíší v okně s hlášením „Chyba při zápisu do klávesnice“";
inline constexpr std::string_view kTypingOnlyXNote = "; dojde jen do aplikací X11";
// The status bar has room for one short line; standard error gets the why.
inline constexpr std::string_view kTypingOnlyX =
    "Kód čipu dojde jen do aplikací X11; náprava: relace X11 (Xorg), nebo nainstalujte "
    "xdg-desktop-portal";
inline constexpr std::string_view kTypingOnlyXFix =
    "plocha Wayland nenabízí virtuální klávesnici ani portál RemoteDesktop; portál dodává "
    "balíček xdg-desktop-portal s portálem plochy (xdg-desktop-portal-gnome, "
    "xdg-desktop-portal-kde); podrobnosti vypíše vm4417 --check-typing";
inline constexpr std::string_view kTypingRefused =
    "Psaní do klávesnice nebylo povoleno; program se znovu zeptá, až volbu "
    "„Kód čipu do klávesnice“ znovu zapnete";
inline constexpr std::string_view kTypingSetupFailed = "Psaní do klávesnice nelze připravit";
inline constexpr std::string_view kTypingBroke =
    "Psaní do klávesnice přestalo fungovat; znovu se připraví samo při příštím čipu nebo po "
    "odemčení obrazovky";
// A refusal where the desktop showed no dialog (KDE Plasma): the desktop
// itself declined.
inline constexpr std::string_view kTypingDeclined =
    "Plocha psaní do klávesnice odmítla; program to zkusí znovu, až volbu "
    "„Kód čipu do klávesnice“ znovu zapnete";
// After the report's last line where the way cannot see the operator's
// keyboard (the RemoteDesktop portal): what the operator must not do.
inline constexpr std::string_view kTypingUnseenModifiers =
    "Pozor: na této ploše program nevidí, zda držíte Ctrl, Alt, Super nebo AltGr. Při "
    "přiložení čipu žádnou z nich nedržte, jinak kód dojde jako klávesové zkratky.";
inline constexpr std::string_view kTypingUnseenCapsLock =
    "Ani Caps Lock program nevidí (žádná klávesnice s kontrolkou Caps Lock). Při přiložení "
    "čipu jej mějte vypnutý, jinak dojdou malá písmena místo velkých.";
inline constexpr std::string_view kTypingSeenCapsLock =
    "Caps Lock program pozná podle kontrolky na klávesnici a na dobu psaní jej sám vypne.";
// The report's last lines for the other ways: what the operator's keyboard
// does to a capture, and what "Přesné znaky" changes.
inline constexpr std::string_view kTypingSeesKeyboard =
    "Držíte-li při přiložení čipu Ctrl, Alt, Super nebo AltGr, program počká, až je pustíte "
    "(nejvýš 1,5 s); Caps Lock na dobu psaní sám vypne.";
inline constexpr std::string_view kTypingOwnKeyboard =
    "Klávesy a Caps Lock na vaší klávesnici psaní kódu neovlivní (program má klávesnici "
    "vlastní).";
inline constexpr std::string_view kTypingAlwaysExact =
    "Přesné znaky: na této ploše dojde kód vždy stejně na každém rozložení klávesnice, s volbou "
    "„Přesné znaky“ i bez ní.";
inline constexpr std::string_view kTypingExactOption =
    "Přesné znaky: bez této volby rozhoduje o znacích rozložení klávesnice cílové aplikace "
    "(s českým dojdou číslice); s ní dojde kód stejně na každém rozložení.";
// What happens to the keys the operator types while a capture is typed.
inline constexpr std::string_view kTypingHoldsOperatorKeys =
    "Klávesy, které stisknete během psaní záznamu, program podrží a pošle hned po jeho "
    "Enteru.";
inline constexpr std::string_view kTypingMixesOperatorKeys =
    "Klávesy, které stisknete během psaní záznamu, program na této ploše nevidí a dostanou se "
    "mezi jeho znaky: než kód dojde (asi půl vteřiny, s pořadím a časem necelé dvě), nepište.";
// The report's last lines: where the keys go, what the program can tell
// about it on the way in use, and what it does then.
inline constexpr std::string_view kTargetOwnWindow =
    "Kam jdou klávesy: je-li klávesnice v okně tohoto programu, kód se nenapíše (Enter by "
    "stiskl jeho tlačítko) a zůstane v seznamu v okně.";
inline constexpr std::string_view kTargetLockSeen = "Zamčenou obrazovku program pozná (";
inline constexpr std::string_view kTargetLockSeenEnd =
    "): kód pak nenapíše do pole pro heslo, jen do seznamu.";
inline constexpr std::string_view kTargetLockByLogind = "logind";
inline constexpr std::string_view kTargetLockByXServer =
    "X server: zámky, které drží klávesnici, např. i3lock, xsecurelock, xtrlock; xscreensaver";
inline constexpr std::string_view kTargetLockBySway = "sway: swaylock";
inline constexpr std::string_view kTargetLockUnseen =
    "Pozor: na této ploše program zamčenou obrazovku nepozná. Před zamčením obrazovky vypněte "
    "„Kód čipu do klávesnice“, jinak se kód napíše do pole pro heslo a každý čip bude "
    "neúspěšné přihlášení.";
inline constexpr std::string_view kTargetFocusSeen =
    "Přejde-li během psaní klávesnice do jiného okna, psaní se hned zastaví a záznam zůstane v "
    "seznamu.";
inline constexpr std::string_view kTargetFocusUnseen =
    "Změnu okna během psaní program na této ploše nevidí: než kód dojde (asi půl vteřiny, s "
    "pořadím a časem necelé dvě), neklikejte do jiného okna.";
inline constexpr std::string_view kTargetResumes =
    "Ukončí-li plocha psaní při zamčení obrazovky (GNOME), program je po odemčení obnoví sám.";

// Typing through the RemoteDesktop portal (GNOME, KDE Plasma): what the
// sink reports; the system's own words follow in parentheses where it gave any.
inline constexpr std::string_view kPortalNoBus = "sezení nemá sběrnici D-Bus";
inline constexpr std::string_view kPortalMissing = "portál RemoteDesktop není k dispozici";
inline constexpr std::string_view kPortalNoKeyboard = "portál RemoteDesktop nenabízí klávesnici";
inline constexpr std::string_view kPortalAsksEveryStart =
    "klávesnice přes portál; plocha se ptá na svolení při každém spuštění";
inline constexpr std::string_view kPortalRemembers =
    "klávesnice přes portál; plocha se na svolení zeptá jednou a zapamatuje si je";
inline constexpr std::string_view kPortalDoesNotAsk =
    "klávesnice přes portál; plocha se programu mimo sandbox na svolení neptá, jen při "
    "každém spuštění oznámí, že začalo vzdálené ovládání";
inline constexpr std::string_view kPortalVersion = "verze portálu ";
inline constexpr std::string_view kPortalRefused = "psaní přes portál nebylo povoleno";
inline constexpr std::string_view kPortalClosed = "plocha ukončila sezení portálu";
inline constexpr std::string_view kPortalGone = "portál opustil sběrnici D-Bus";
inline constexpr std::string_view kPortalTokenNotSaved = "svolení nelze uložit";

// vm4417 --help: kUsageStart, the program's name, kUsageOptions, the
// system's own options, kUsageEnd, then the system's paragraph on port names.
inline constexpr std::string_view kUsageStart = "Použití: ";
inline constexpr std::string_view kUsageOptions = R"( [volba]
Čtečka čipů na sériovém portu. Bez voleb otevře okno programu; nastavení
(VM4417.INI) a denní záznamy ukládá do aktuálního adresáře.

  --list-ports  vypíše porty 0 až 255, které vedou k zařízení, a u každého,
                zda jej lze použít, případně proč ne, a co systém ví
                o převodníku USB za ním (nic jiného neotevře)
)";
inline constexpr std::string_view kUsageTypingOption = R"(  --check-typing
                vypíše druh relace, plochu, každý způsob psaní kódu do
                klávesnice, zda jej lze použít (případně proč ne), a který
                program použije (o nic nežádá, nic nepíše)
)";
inline constexpr std::string_view kUsageEnd = R"(  --version     vypíše verzi programu
  --help        vypíše tuto nápovědu

)";
inline constexpr std::string_view kPortNamesLinux =
    R"(Port n je /dev/ttyUSB<n>, /dev/ttyACM<n> nebo /dev/ttyS<n> (první, který
existuje). Je-li nastavena proměnná VM4417_PORT_DIR, je port n odkaz
$VM4417_PORT_DIR/COM<n> na libovolné sériové zařízení.
)";
inline constexpr std::string_view kPortNamesWindows =
    R"(Port n je \\.\COM<n>, číslo, které Správce zařízení ukazuje ve skupině
„Porty (COM a LPT)“. Program je okenní: vypisuje do konzole, ze které byl
spuštěn, nebo do souboru či roury, kam výpis přesměrujete. Aby příkazový
řádek počkal na konec výpisu, spusťte jej takto:
  start /wait vm4417.exe --list-ports
)";

// Start at login: the menu item that switches it, what --autostart says,
// and the user's entry (Linux).
inline constexpr std::string_view kStartAtLoginItem = "Spouštět po přihlášení";
inline constexpr std::string_view kStartAtLoginByAdministrator = " (zapnul správce pro všechny)";
inline constexpr std::string_view kStartAtLoginOn = "Spouštění po přihlášení je zapnuté";
inline constexpr std::string_view kStartAtLoginOnForAll =
    "Spouštění po přihlášení je zapnuté pro všechny uživatele počítače (zapnul je správce)";
inline constexpr std::string_view kStartAtLoginFolder = ", pracovní složka ";
inline constexpr std::string_view kStartAtLoginInDocuments =
    ", pracovní složka Dokumenty\\VM4417 každého uživatele";
inline constexpr std::string_view kStartAtLoginOff = "Spouštění po přihlášení je vypnuté.";
inline constexpr std::string_view kStartAtLoginOffOutside =
    "Spouštění po přihlášení je vypnuté ve Správci úloh (zapnete je zde nebo tam).";
inline constexpr std::string_view kStartAtLoginLockedOn =
    "Spouštění po přihlášení zapnul správce pro všechny uživatele; vypnout je může jen on.";
inline constexpr std::string_view kStartAtLoginError = "Spouštění po přihlášení nelze změnit: ";
inline constexpr std::string_view kStartAtLoginReadError =
    "Spouštění po přihlášení nelze zjistit: ";
inline constexpr std::string_view kStartAtLoginProgramPath = "cesta k programu obsahuje znak „";
inline constexpr std::string_view kStartAtLoginNotCarried =
    "“, který plochy při spuštění po přihlášení nepřenesou beze změny: ";
inline constexpr std::string_view kStartAtLoginEntryName = "VM4417 Čtečka čipů";
inline constexpr std::string_view kStartAtLoginEntryComment =
    "Spustí čtečku čipů po přihlášení v pracovní složce";

// The working folder (--folder, --in-documents) and one program per folder.
inline constexpr std::string_view kFolderError = "Pracovní složku nelze použít: ";
inline constexpr std::string_view kAlreadyRunning = "Program už pracuje ve složce ";
inline constexpr std::string_view kAlreadyRunningShown = "; jeho okno je teď vpředu.";
inline constexpr std::string_view kAlreadyRunningNoAnswer =
    ", ale neodpovídá; druhý se nespustí (ukončete první, nebo počkejte, až doběhne).";
inline constexpr std::string_view kHandOverUnavailable =
    "další spuštění v této složce nepřenese okno dopředu: ";
inline constexpr std::string_view kLoginNotStarted = ". Program se po přihlášení nespustil.";
inline constexpr std::string_view kLoginFolderMissing = "Pracovní složka ";
inline constexpr std::string_view kLoginFolderMissingWaited = " není k dispozici ani po ";
inline constexpr std::string_view kLoginFolderMissingEnd =
    " s čekání: byla přejmenována, smazána, nebo jde o síťovou složku, která ještě není "
    "připojená. Program se po přihlášení nespustil, aby nezačal znovu v prázdné složce. "
    "Spusťte jej, až bude složka dostupná, nebo zapněte spouštění po přihlášení znovu "
    "v pracovní složce, kterou teď používáte.";
inline constexpr std::string_view kLoginFolderNone =
    "Záznam spouštění po přihlášení neuvádí pracovní složku. Program se po přihlášení "
    "nespustil; zapněte spouštění po přihlášení znovu v pracovní složce.";
inline constexpr std::string_view kFolderNotLocked = "Pracovní složku nelze zamknout: ";
inline constexpr std::string_view kFolderNotLockedEnd =
    "); program běží, ale nepozná, spustí-li se v téže složce podruhé.";

// The administrator's preset settings file.
inline constexpr std::string_view kPresetInvalid = "Chyba v přednastavení parametrů ";
inline constexpr std::string_view kPresetInvalidEnd = "; použijí se výchozí parametry.";
inline constexpr std::string_view kPresetUnreadable = "soubor nelze přečíst";
inline constexpr std::string_view kPresetWrongSize = "soubor má ";
inline constexpr std::string_view kPresetWrongSizeEnd = " bajtů místo 16";
inline constexpr std::string_view kPresetInstalled = "Přednastavení parametrů uloženo: ";
inline constexpr std::string_view kPresetNotInstalled = "Přednastavení parametrů nelze uložit: ";

// vm4417 --help: the working folder and start at login, after the shared
// options; the Windows program adds --in-documents.
inline constexpr std::string_view kUsageFolderOptions = R"(  --folder SLOŽKA
                pracuje ve SLOŽCE (vytvoří ji, chybí-li) místo aktuálního
                adresáře
  --autostart [on|off]
                zapne nebo vypne spouštění po přihlášení (v pracovní
                složce); bez on/off jen vypíše, zda je zapnuté
  --at-login    spuštění po přihlášení: pracuje jen ve složce, která už
                existuje (z --folder nebo ze záznamu spouštění); chybí-li
                ani po chvíli čekání, oznámí to a nespustí se
)";
inline constexpr std::string_view kUsageDocumentsOption = R"(  --in-documents
                pracuje ve složce Dokumenty\VM4417 přihlášeného uživatele
                (vytvoří ji, chybí-li)
)";

}  // namespace vm4417::text
