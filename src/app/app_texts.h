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
inline constexpr char kTextUsage[] =
    "Uso: veltrona <UDID> [--no-audio]\n"
    "  <UDID>       el UDID del iPhone/iPad: 8 caracteres, '-' y 16 mas, en mayusculas\n"
    "               (00008101-000A1B2C3D4E5F60), o 40 caracteres en minusculas\n"
    "  --no-audio   sin sonido\n"
    "  --record ARCHIVO      grabar desde el inicio (.mkv o .mp4)\n"
    "  --save-dir CARPETA    donde guardar capturas y grabaciones\n"
    "  --no-window  sin ventana (Linux; con --record graba hasta SIGINT/SIGTERM)\n"
    "  -h, --help   esta ayuda\n"
    "Teclas en la ventana:\n"
    "  M            silenciar / volver a oir el sonido\n"
    "  S            guardar la imagen (PNG)\n"
    "  R            empezar / terminar una grabacion\n";

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
