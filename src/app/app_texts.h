// Every text a user sees.
#pragma once

inline constexpr char kWindowClassName[] = "BrindlemoorIosVideoWindow";
inline constexpr char kWindowTitle[] = "Veltrona - iOS";
inline constexpr char kMessageCaption[] = "Veltrona iOS";
inline constexpr int kWindowWidth = 900;
inline constexpr int kWindowHeight = 650;

inline constexpr char kTextMissingUdid[] = "Falta el UDID del dispositivo iOS.";
inline constexpr char kTextInvalidUdid[] = "El UDID del dispositivo iOS no es valido.";
inline constexpr char kTextDecoderFailed[] = "No se pudo iniciar el decodificador H.264.";
inline constexpr char kTextUsbVideoFailedPrefix[] =
    "No se pudo iniciar el video USB del iPad/iPhone. Codigo: ";
inline constexpr char kTextLogNotOpenedPrefix[] = "No se pudo abrir el registro VELTRONA_LOG: ";
inline constexpr char kTextParserNotFound[] = "parser not found\n";
// Windows: libusb-win32's DLL beside the program is missing, or is not the
// 64-bit one (or not libusb-win32's at all).
inline constexpr char kTextUsbLibraryMissing[] =
    "Falta libusb0.dll. Instale libusb-win32 y copie su libusb0.dll de 64 bits (amd64) "
    "junto a veltrona.exe.";
inline constexpr char kTextUsbLibraryWrong[] =
    "libusb0.dll no es la de 64 bits de libusb-win32. Instale libusb-win32 y copie su "
    "libusb0.dll de 64 bits (amd64) junto a veltrona.exe.";
inline constexpr char kTextUsage[] =
    "Uso: veltrona <UDID> [opciones]\n"
    "     veltrona --any [opciones]\n"
    "     veltrona --list\n"
    "     veltrona --help\n"
    "     veltrona --version\n"
    "  <UDID>         el UDID del iPhone/iPad: 8 caracteres, '-' y 16 mas, en mayusculas\n"
    "                 (00008101-000A1B2C3D4E5F60), o 40 caracteres en minusculas;\n"
    "                 --list lo muestra\n"
    "  --any          en lugar del UDID: el primer iPhone/iPad que se pueda abrir\n"
    "  --list         lista los iPhone/iPad conectados por USB y termina\n"
    "  -h, --help     esta ayuda\n"
    "  --version      la version del programa, de FFmpeg y de SDL\n"
    "Opciones despues del UDID:\n"
    "  --no-audio     sin sonido\n"
    "  --fullscreen   empieza a pantalla completa\n"
    "  --record ARCHIVO    graba desde el inicio (.mkv o .mp4; tambien --record=ARCHIVO);\n"
    "                      si ARCHIVO es una carpeta, en un archivo nuevo dentro de ella\n"
    "  --save-dir CARPETA  donde guardar capturas y grabaciones\n"
    "  --preroll MB   lo que se guarda para que R empiece en la ultima imagen\n"
    "                 completa (32 por defecto; 0: R empieza en la proxima)\n"
    "  --no-window    sin ventana, solo con --record (Linux; graba hasta SIGINT,\n"
    "                 SIGTERM o SIGHUP)\n"
    "Si una opcion se repite, vale la ultima.\n"
    "Teclas en la ventana:\n"
    "  M              silenciar / volver a oir el sonido\n"
    "  S              guardar la imagen (PNG)\n"
    "  R              empezar / terminar una grabacion\n"
    "  F11, doble clic  pantalla completa / volver a la ventana\n"
    "  Esc            salir de la pantalla completa\n";

// What the window says while it has no live picture, and the band's texts.
inline constexpr char kTextEllipsis[] = "\u2026";
inline constexpr char kTextSearchingPrefix[] = "Buscando el dispositivo ";  // the UDID, then "…"
inline constexpr char kTextSearchingAny[] = "Buscando cualquier iPhone o iPad\u2026";  // --any
inline constexpr char kTextActivating[] = "Activando la captura de pantalla\u2026";
inline constexpr char kTextWaitingForPicture[] = "Esperando la primera imagen\u2026";
inline constexpr char kTextDisconnected[] = "Dispositivo desconectado. Buscando\u2026";
inline constexpr char kTextHintConnect[] =
    "Conecte el iPhone o iPad por USB, desbloqu\u00e9elo y conf\u00ede en este ordenador.";
inline constexpr char kTextHintNoPermission[] =
    "Sin permiso para abrir el dispositivo USB: instale la regla udev del README "
    "(60-veltrona.rules) y vuelva a conectarlo.";
inline constexpr char kTextHintOtherUdidsPrefix[] =
    "Hay un dispositivo conectado, pero con otro UDID: ";  // the UDIDs, with ", " between

// Notices in the band.
inline constexpr char kTextSoundOff[] = "Sonido desactivado";
inline constexpr char kTextSoundOn[] = "Sonido activado";
inline constexpr char kTextNoSound[] = "Sin sonido (--no-audio)";
inline constexpr char kTextUnknownOptionsPrefix[] = "Opci\u00f3n desconocida, ignorada: ";
// Before the usage text, when the command line cannot mean what it says.
inline constexpr char kTextOptionValueMissingPrefix[] = "Falta el valor de la opci\u00f3n ";
inline constexpr char kTextOptionValueInvalidPrefix[] =
    "Valor no v\u00e1lido (un n\u00famero de MB, de 0 a 4096) de la opci\u00f3n ";
inline constexpr char kTextNoWindowWithoutRecord[] = "--no-window solo sirve con --record";

// --list.
inline constexpr char kTextListNone[] = "No hay ning\u00fan iPhone ni iPad conectado por USB.\n";
inline constexpr char kTextListProduct[] = "  producto 0x";
inline constexpr char kTextListCaptureOn[] = "  captura de pantalla: activada";
inline constexpr char kTextListCaptureOff[] = "  captura de pantalla: desactivada";
inline constexpr char kTextListName[] = "  nombre: ";
inline constexpr char kTextListNoPermission[] = "(sin permiso para abrirlo: regla udev del README)";
inline constexpr char kTextListNoSerial[] = "(no se pudo leer su UDID)";

// Screenshots and recordings (the file name follows the prefixes).
inline constexpr char kTextScreenshotSavedPrefix[] = "Captura guardada: ";
inline constexpr char kTextScreenshotFailedPrefix[] = "No se pudo guardar la captura: ";
inline constexpr char kTextNoPictureYet[] = "Todavía no hay imagen: no se guardó ninguna captura";
inline constexpr char kTextRecordingPrefix[] = "Grabando: ";
inline constexpr char kTextRecordingFromKeyframePrefix[] =
    "Grabando desde la próxima imagen completa: ";
inline constexpr char kTextRecordingSavedPrefix[] = "Grabación guardada: ";
inline constexpr char kTextRecordingEmpty[] = "Grabación detenida: no llegó ninguna imagen";
inline constexpr char kTextRecordingNotCreatedPrefix[] = "No se pudo crear la grabación: ";
inline constexpr char kTextRecordingFailedPrefix[] =
    "Grabación detenida (no se pudo escribir más); lo grabado se conserva: ";
inline constexpr char kTextRecorderUnavailable[] = "No se pueden hacer grabaciones";
// "Se perdieron 11.2 s de la grabación: clip.mkv"
inline constexpr char kTextRecordingLostPrefix[] = "Se perdieron ";
inline constexpr char kTextRecordingLostMiddle[] = " de la grabación: ";
inline constexpr char kTextRecordingContinuedPrefix[] =
    "La imagen cambió de tamaño; la grabación sigue en: ";
inline constexpr char kTextRecordingNoSoundPrefix[] =
    "El sonido cambió de formato; la grabación sigue sin sonido: ";
