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
